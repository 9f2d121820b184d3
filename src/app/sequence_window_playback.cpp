// The main window's playback handlers: Play Pattern, the pattern timer's tick, Stop, and the
// kit library. Rows, the pattern's end and the instrument look-up live in PatternPlayback and
// InstrumentTrigger; these handlers read the controls, call them and set the buttons and timers.
#include "sequence_window.h"

#include "dialogs.h"
#include "kit_loading.h"
#include "tempo_rule.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QSlider>

namespace groovane {

void TSequence::setUpPlayback()
{
    // Not guarded here: an error of a tick reaches the idle driver, which shows it.
    DXTimer2.OnTimer = [this](TDXTimer&, int lagCount) { DXTimer2Timer(nullptr, lagCount); };
    onClicked(BitBtn3, &TSequence::BitBtn3Click);
    onTriggered(Play2, &TSequence::BitBtn3Click);
    onClicked(BitBtn4, &TSequence::BitBtn4Click);
    onTriggered(Stop2, &TSequence::BitBtn4Click);
    onTriggered(SoundLibrary1, &TSequence::SoundLibrary1Click);
}

void TSequence::setSampleSlots(SampleSlots* samples)
{
    Trigger.setSampleSlots(samples ? *samples : noSampleSlots_);
}

void TSequence::BitBtn3Click(QObject*)
{
    PlayState.clear();
    BitBtn3->setEnabled(false);
    BitBtn12->setEnabled(false);
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
        BitBtn3->setEnabled(true);
        BitBtn12->setEnabled(true);
    }
}

void TSequence::BitBtn4Click(QObject*)
{
    Trigger.stopSampleSlots();
    PlayState = "Stop";
    BitBtn3->setEnabled(true);
    BitBtn12->setEnabled(true);
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

} // namespace groovane
