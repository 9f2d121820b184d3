// The main window's playback handlers: Play Pattern and Play Song, their timers' ticks, Stop,
// and the kit library. Rows, markers, the ends of patterns and songs and the instrument look-up
// live in PatternPlayback, SongPlayback, the step list and InstrumentTrigger; these handlers read
// the controls, call them and set the buttons, timers and tempo display.
#include "sequence_window.h"

#include "byte_stream.h"
#include "dialogs.h"
#include "files.h"
#include "pattern_editing.h"
#include "scratch_files.h"
#include "kit_loading.h"
#include "qt_text.h"
#include "render_sounds.h"
#include "tempo_rule.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

namespace groovane {

void TSequence::setUpPlayback()
{
    // Not guarded here: an error of a tick reaches the idle driver, which shows it.
    DXTimer1.OnTimer = [this](TDXTimer&, int lagCount) { DXTimer1Timer(nullptr, lagCount); };
    DXTimer2.OnTimer = [this](TDXTimer&, int lagCount) { DXTimer2Timer(nullptr, lagCount); };
    onClicked(BitBtn3, &TSequence::BitBtn3Click);
    onClicked(BitBtn12, &TSequence::BitBtn12Click);
    onTriggered(Stop1, &TSequence::BitBtn12Click);
    onTriggered(Play2, &TSequence::BitBtn3Click);
    onClicked(BitBtn4, &TSequence::BitBtn4Click);
    onTriggered(Stop2, &TSequence::BitBtn4Click);
    onTriggered(SoundLibrary1, &TSequence::SoundLibrary1Click);
    onClicked(Rendor, &TSequence::RendorClick);
    onTriggered(Rendor_to_wav, &TSequence::RendorClick);
}

void TSequence::setSampleSlots(SampleSlots* samples)
{
    Trigger.setSampleSlots(samples ? *samples : noSampleSlots_);
}

void TSequence::BitBtn3Click(QObject*)
{
    // The menu items stay live while a render lets window messages through; playing then would
    // start a timer under the render and hide a later Stop from it.
    if (isRendering_)
        return;
    PlayState.clear();
    setPlayButtonsEnabled(false);
    Pattern.start();
    DXTimer2.setInterval(static_cast<uint32_t>(StepInterval));
    DXTimer2.setEnabled(true);
}

void TSequence::DXTimer2Timer(QObject*, int)
{
    // The slider acts on pattern playback from the next tick on; the read-out stays.
    StepInterval = stepIntervalMs(Delay->value());
    DXTimer2.setInterval(static_cast<uint32_t>(StepInterval));
    bool goesOn = false;
    try {
        goesOn = Pattern.tick(endless->isChecked());
    } catch (...) {
        // The next tick would be due the moment the error box closed and fail the same way, so
        // Stop could never be reached: playback stops first and the message shows once.
        BitBtn4Click(this);
        throw;
    }
    if (!goesOn) {
        DXTimer2.setEnabled(false);
        setPlayButtonsEnabled(true);
    }
}

void TSequence::setPlayButtonsEnabled(bool enabled)
{
    BitBtn3->setEnabled(enabled);
    BitBtn12->setEnabled(enabled);
}

void TSequence::BitBtn12Click(QObject*)
{
    if (isRendering_)
        return;
    setPlayButtonsEnabled(false);
    MusicPad.clear();
    const PlayList list = readSongList();
    if (list.size() == 0) {
        setPlayButtonsEnabled(true);
        return;
    }
    const int start = std::max(list.selected(), 0);
    const std::vector<std::string> names = list.namesFrom(start);
    // A song that cannot be read leaves the one that may be playing as it was.
    MainPlay = buildSongStepList(names);
    MusicPad.clear();

    SongList->setCurrentRow(start - 1);
    if (Global->isChecked())
        Delay->setValue(TempoPosition);
    Song.start();
    PlayState.clear();
    // The first row comes after the interval the song timer already has.
    DXTimer1.setEnabled(true);
}

void TSequence::DXTimer1Timer(QObject*, int)
{
    SongTickSettings settings;
    settings.isEndless = Noend->isChecked();
    if (Global->isChecked())
        settings.globalTempo = TempoPosition;
    settings.isStopRequested = PlayState == "Stop";
    SongTick tick;
    try {
        tick = Song.tick(settings);
    } catch (...) {
        // As for a pattern: the failing row would fail again at every tick, so the song stops
        // first and the message shows once.
        BitBtn4Click(this);
        throw;
    }
    if (tick.tempoPosition) {
        // The slider and read-out follow the song; StepInterval is the pattern timer's and stays.
        Delay->setValue(*tick.tempoPosition);
        const int position = Delay->value();
        Label6->setText(toQString(tempoReadout(position)));
        Label6->adjustSize();
        DXTimer1.setInterval(static_cast<uint32_t>(stepIntervalMs(position)));
    }
    if (tick.isSongEnd) {
        MainPlay.clear();
        setPlayButtonsEnabled(true);
        SongList->setCurrentRow(0);
        DXTimer1.setEnabled(false);
    }
}

void TSequence::BitBtn4Click(QObject*)
{
    isRenderStopRequested_ = isRendering_;
    Trigger.stopSampleSlots();
    PlayState = "Stop";
    setPlayButtonsEnabled(true);
    DXTimer1.setEnabled(false);
    DXTimer2.setEnabled(false);
    MainPlay.clear();
}

void TSequence::SoundLibrary1Click(QObject*)
{
    FileDialogOptions options;
    options.filter = "dxg|*.dxg";
    options.initialFolder = BaseFolder;
    const std::optional<std::string> chosen = dialogs().openFile(options);
    if (!chosen || isBareKitExtension(*chosen))
        return;
    loadKitKeepingSettings(DXWaveList1.Items(), *chosen);
}

RenderSounds TSequence::renderSounds() const
{
    return renderSoundsOf(DXWaveList1.Items(), songSlots, BaseFolder);
}

void TSequence::RendorClick(QObject*)
{
    if (isRendering_)
        return;
    // A render while a song plays would append to the list the song walks.
    BitBtn4Click(this);
    setPlayButtonsEnabled(false);
    MusicPad.clear();
    const PlayList list = readSongList();
    if (list.size() == 0) {
        setPlayButtonsEnabled(true);
        return;
    }
    const int start = std::max(list.selected(), 0);
    try {
        exportKitSounds(DXWaveList1.Items(), BaseFolder);
        MainPlay = buildSongStepList(list.namesFrom(start));
    } catch (...) {
        setPlayButtonsEnabled(true);
        throw;
    }
    MusicPad.clear();
    SongList->setCurrentRow(start - 1);
    if (Global->isChecked())
        Delay->setValue(TempoPosition);
    PlayState.clear();
    if (!runRender)
        return;
    isRendering_ = true;
    isRenderStopRequested_ = false;
    try {
        runRender();
    } catch (...) {
        isRendering_ = false;
        throw;
    }
    isRendering_ = false;
}

} // namespace groovane
