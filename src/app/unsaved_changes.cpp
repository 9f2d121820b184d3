#include "app/unsaved_changes.h"

#include "platform/dialogs.h"

namespace groovane {

bool mayCloseWith(const std::vector<UnsavedWork>& work)
{
    for (const UnsavedWork& piece : work) {
        if (!piece.isModified())
            continue;
        switch (dialogs().message(kApplicationTitle, "Save changes to " + piece.name + "?", MessageIcon::Question,
                                  MessageButtons::YesNoCancel)) {
        case MessageResult::No:
            continue;
        case MessageResult::Yes:
        case MessageResult::Ok:
            piece.save();
            if (piece.isModified())
                return false;
            continue;
        case MessageResult::Cancel:
            return false;
        }
    }
    return true;
}

} // namespace groovane
