// The main window's way to the eight sample slots: the sample buttons and the Import menu.
#include "app/sequence_window.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>

namespace groovane {

void TSequence::connectSampleHandlers()
{
    // The buttons' names and captions differ: the captions read 1..8 along the two rows.
    const struct {
        QPushButton* button;
        Handler handler;
    } buttons[8] = {{Button1, &TSequence::Sample1Click}, {Button2, &TSequence::Sample2Click},
                    {Button3, &TSequence::Sample3Click}, {Button4, &TSequence::Sample4Click},
                    {Button8, &TSequence::Sample5Click}, {Button6, &TSequence::Sample6Click},
                    {Button5, &TSequence::Sample7Click}, {Button7, &TSequence::Sample8Click}};
    for (size_t k = 0; k < 8; ++k) {
        onClicked(buttons[k].button, buttons[k].handler);
        onTriggered(SampleItems[k], buttons[k].handler);
    }
}

void TSequence::showSampleSlot(int slot)
{
    if (showSampleWindow)
        showSampleWindow(slot);
    ComboBox1->setEditText(QString("Sample%1").arg(slot));
}

void TSequence::Sample1Click(QObject*)
{
    showSampleSlot(1);
}
void TSequence::Sample2Click(QObject*)
{
    showSampleSlot(2);
}
void TSequence::Sample3Click(QObject*)
{
    showSampleSlot(3);
}
void TSequence::Sample4Click(QObject*)
{
    showSampleSlot(4);
}
void TSequence::Sample5Click(QObject*)
{
    showSampleSlot(5);
}
void TSequence::Sample6Click(QObject*)
{
    showSampleSlot(6);
}
void TSequence::Sample7Click(QObject*)
{
    showSampleSlot(7);
}
void TSequence::Sample8Click(QObject*)
{
    showSampleSlot(8);
}

} // namespace groovane
