// The main window's sound: the kit's sound component and wave list, the output format, and
// Play Instrument.
#include "sequence_window.h"

#include "handler_guard.h"
#include "pattern_editing.h"
#include "qt_text.h"
#include "wave.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>

namespace groovane {

void TSequence::setUpSound()
{
    DXSound1.SetOptions(soGlobalFocus | soExclusive);
    DXSound1.OnInitialize = [this](TCustomDXSound&) { DXSound1Initialize(this); };
    DXWaveList1.SetDXSound(&DXSound1);
    // The component opens itself once when the window has been built, before the start-up work
    // has chosen a format; failures at this point pass silently.
    DXSound1.Loaded();

    onClicked(BitBtn11, &TSequence::BitBtn11Click);
    onTriggered(PlayInstrument1, &TSequence::BitBtn11Click);
}

void TSequence::DXSound1Initialize(QObject*)
{
    WaveFormatEx format{};
    MakePCMWaveFormat(format, OutputRate, OutputBits, 2);
    // The device keeps its previous format when it refuses this one; nothing to report.
    if (TDirectSoundBuffer* primary = DXSound1.Primary())
        primary->SetFormat(format);
}

void TSequence::BitBtn11Click(QObject*)
{
    Trigger.trigger(auditionSlot(fromQString(ComboBox1->currentText())));
}

} // namespace groovane
