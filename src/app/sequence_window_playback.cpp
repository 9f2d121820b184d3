// The main window's playback handlers: Play Pattern and Play Song, their timers' ticks, Stop,
// and the kit library. Rows, markers, the ends of patterns and songs and the instrument look-up
// live in PatternPlayback, SongPlayback, the step list and InstrumentTrigger; these handlers read
// the controls, call them and set the buttons, timers and tempo display.
#include "app/sequence_window.h"

#include "app/playhead_display.h"
#include "platform/sound_system.h"
#include "platform/dialogs.h"
#include "kits/kit_loading.h"
#include "render/render_sounds.h"
#include "song/tempo_rule.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

namespace groovane {

void TSequence::setUpPlayback()
{
    // Not guarded here: an error of a tick reaches the idle driver, which shows it.
    playheads_ = std::make_unique<PlayheadDisplay>(*StringGrid1, *SongList, SoundSystem::instance());
    DXTimer1.OnTimer = [this](TDXTimer&, int lagCount) { DXTimer1Timer(nullptr, lagCount); };
    DXTimer2.OnTimer = [this](TDXTimer&, int lagCount) { DXTimer2Timer(nullptr, lagCount); };
    onCommand(BitBtn3, Play2, &TSequence::BitBtn3Click);
    onCommand(BitBtn12, Stop1, &TSequence::BitBtn12Click);
    onCommand(BitBtn4, Stop2, &TSequence::BitBtn4Click);
    onCommand(Rendor, Rendor_to_wav, &TSequence::RendorClick);
    onTriggered(SoundLibrary1, &TSequence::SoundLibrary1Click);
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
    const int row = Pattern.PatternRow;
    const bool goesOn = stoppingOnError([this] { return Pattern.tick(endless->isChecked()); });
    playheads_->recordPatternRow(row, Pattern.PatternLength);
    if (!goesOn) {
        playheads_->finishAfterTick(StepInterval);
        DXTimer2.setEnabled(false);
        setPlayButtonsEnabled(true);
    }
}

void TSequence::setPlayButtonsEnabled(bool enabled)
{
    BitBtn3->setEnabled(enabled);
    BitBtn12->setEnabled(enabled);
}

bool TSequence::prepareSongFromSelection(const std::function<void()>& beforeReading)
{
    setPlayButtonsEnabled(false);
    MusicPad.clear();
    const PlayList list = readSongList();
    if (list.size() == 0) {
        setPlayButtonsEnabled(true);
        return false;
    }
    const int start = songFirstEntry_ = std::max(list.selected(), 0);
    if (beforeReading)
        beforeReading();
    // A song that cannot be read leaves the one that may be playing as it was.
    MainPlay = buildSongStepList(list.namesFrom(start));
    MusicPad.clear();
    SongList->setCurrentRow(start - 1);
    if (Global->isChecked())
        Delay->setValue(TempoPosition);
    PlayState.clear();
    return true;
}

void TSequence::BitBtn12Click(QObject*)
{
    if (isRendering_ || !prepareSongFromSelection())
        return;
    Song.start();
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
    const SongTick tick = stoppingOnError([&] { return Song.tick(settings); });
    if (tick.tempoPosition) {
        // The slider and read-out follow the song; StepInterval is the pattern timer's and stays.
        Delay->setValue(*tick.tempoPosition);
        showTempoReadout(Delay->value());
        DXTimer1.setInterval(static_cast<uint32_t>(stepIntervalMs(Delay->value())));
    }
    playheads_->recordSongRow(MainPlay, tick.rowLine, songFirstEntry_);
    if (tick.isSongEnd) {
        playheads_->finishAfterTick(stepIntervalMs(Delay->value()));
        MainPlay.clear();
        setPlayButtonsEnabled(true);
        SongList->setCurrentRow(0);
        DXTimer1.setEnabled(false);
    }
}

void TSequence::stopSong()
{
    isRenderStopRequested_ = isRendering_;
    PlayState = "Stop";
    playheads_->stop();
    setPlayButtonsEnabled(true);
    DXTimer1.setEnabled(false);
    MainPlay.clear();
}

void TSequence::BitBtn4Click(QObject*)
{
    // A render in progress hears of the Stop even if a sample slot fails to stop.
    isRenderStopRequested_ = isRendering_;
    Trigger.stopSampleSlots();
    stopSong();
    DXTimer2.setEnabled(false);
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
    try {
        if (!prepareSongFromSelection([this] { exportKitSounds(DXWaveList1.Items(), BaseFolder); }))
            return;
    } catch (...) {
        setPlayButtonsEnabled(true);
        throw;
    }
    if (!runRender)
        return;
    isRendering_ = true;
    isRenderStopRequested_ = false;
    const ScopeExit renderEnded([this] { isRendering_ = false; });
    runRender();
}

} // namespace groovane
