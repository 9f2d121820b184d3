// The main window's sound: the kit's sound component and wave list, the output format and sound
// focus of the Play menu, and Play Instrument.
#include "app/sequence_window.h"

#include "platform/handler_guard.h"
#include "pattern/instruments.h"
#include "platform/qt_text.h"
#include "sound/wave.h"

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

    onCommand(BitBtn11, PlayInstrument1, &TSequence::BitBtn11Click);

    onTriggered(set1, &TSequence::set1Click);
    onTriggered(set2, &TSequence::set2Click);
    onTriggered(set3, &TSequence::set3Click);
    onTriggered(set4, &TSequence::set4Click);
    // The menu has already inverted the check mark when the item runs; FocusClick inverts it
    // itself, so the mark is put back first.
    connect(Focus, &QAction::triggered, this, guarded([this] {
                Focus->setChecked(!Focus->isChecked());
                FocusClick(Focus);
            }));
}

void TSequence::DXSound1Initialize(QObject*)
{
    WaveFormatEx format{};
    MakePCMWaveFormat(format, OutputRate, OutputBits, 2);
    // The device keeps its previous format when it refuses this one; nothing to report.
    if (TDirectSoundBuffer* primary = DXSound1.Primary())
        primary->SetFormat(format);
}

void TSequence::chooseOutputFormat(QAction* item, uint32_t rate, int32_t bits)
{
    for (QAction* a : {set1, set2, set3, set4})
        a->setChecked(a == item);
    OutputRate = rate;
    OutputBits = bits;
    // Closes the device and opens it again: the primary takes the new format and the kit's
    // wave list makes its buffers again, with the focus flags in force now.
    DXSound1.Initialize();
}

void TSequence::set1Click(QObject*)
{
    chooseOutputFormat(set1, 44100, 16);
}

void TSequence::set2Click(QObject*)
{
    chooseOutputFormat(set2, 44100, 8);
}

void TSequence::set3Click(QObject*)
{
    chooseOutputFormat(set3, 22050, 16);
}

void TSequence::set4Click(QObject*)
{
    chooseOutputFormat(set4, 22050, 8);
}

void TSequence::FocusClick(QObject*)
{
    Focus->setChecked(!Focus->isChecked());
    if (Focus->isChecked())
        DXSound1.SetOptions(DXSound1.Options() | soGlobalFocus);
    else
        DXSound1.SetOptions(DXSound1.Options() & ~soGlobalFocus);
}

void TSequence::BitBtn11Click(QObject*)
{
    Trigger.trigger(auditionSlot(fromQString(ComboBox1->currentText())));
}

} // namespace groovane
