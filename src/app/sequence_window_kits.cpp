// The main window's kit commands of the Edit menu: the kit volume control, the kit list and the
// kit maker, reached through the callbacks the program sets when it creates those windows, and
// taking a kit that the kit maker has saved into use.
#include "app/sequence_window.h"

#include "platform/dialogs.h"
#include "kits/kit_loading.h"

#include <QAction>

namespace groovane {

void TSequence::connectKitHandlers()
{
    onTriggered(KitVolumeControl1, &TSequence::KitVolumeControl1Click);
    onTriggered(KitList1, &TSequence::KitList1Click);
    onTriggered(KitMake, &TSequence::KitMakeClick);
}

void TSequence::KitMakeClick(QObject*)
{
    if (showKitMaker)
        showKitMaker();
    KitTemplate = 1;
    if (dialogs().message("Question", "Do you wish to template the current drum kit?", MessageIcon::Question,
                          MessageButtons::YesNo) == MessageResult::No)
        KitTemplate = 0;
    if (prepareKitMaker)
        prepareKitMaker(KitTemplate == 1);
}

void TSequence::KitVolumeControl1Click(QObject*)
{
    if (showKitVolumeControl)
        showKitVolumeControl();
}

void TSequence::KitList1Click(QObject*)
{
    if (showKitList)
        showKitList();
}

void TSequence::useNewKit(const std::string& fileName)
{
    loadKitAsSaved(DXWaveList1.Items(), fileName);
}

} // namespace groovane
