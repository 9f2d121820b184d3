// The question on closing the program: what would be lost is named and the user chooses to save
// it, to let it go, or to keep the program open.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace groovane {

// One piece of the user's work the program may hold unsaved.
struct UnsavedWork {
    std::string name; // as the question names it
    std::function<bool()> isModified;
    std::function<void()> save;
};

// Asks "Save changes to <name>?" (Yes, No, Cancel) for each piece of work with unsaved changes,
// in order; Yes saves it. True when the program may close: every question was answered No, or
// Yes with the work saved. Cancel, and a save that leaves the work unsaved (its file dialog
// cancelled, no name to save under), keep it open: false, and the questions stop there. An
// error of a save passes on, which keeps the program open too. Nothing is asked when nothing
// is modified.
bool mayCloseWith(const std::vector<UnsavedWork>& work);

} // namespace groovane
