// The edit history bound to the main window's views. The play list lives in its list box (song
// files and playback read it there), so each user action first reads the box into the list the
// history watches, makes its list changes there and shows them; undo and redo do the same and
// then show the grid's name and the list again. UI thread only.
#pragma once

#include "pattern/pattern_grid.h"
#include "song/edit_history.h"
#include "song/play_list.h"
#include "app/unsaved_changes.h"

#include <functional>
#include <vector>

namespace groovane {

// How the binding reaches the window's views.
struct EditViews {
    std::function<PlayList()> readList;               // the list box's entries, marks and selection
    std::function<void(const PlayList&)> showList;    // into the list box
    std::function<void(const std::string&)> showName; // the name cell into the name box
    SongTitleAccess title;
    // After every user action, undo and redo: the Undo and Redo items follow the history.
    std::function<void()> changed;
};

class EditBinding {
public:
    // The grid must outlive the binding. The views are set before the first action.
    explicit EditBinding(PatternGrid& grid, EditViews views = {});
    void setViews(EditViews views);
    EditBinding(const EditBinding&) = delete;
    EditBinding& operator=(const EditBinding&) = delete;

    EditHistory& history() { return history_; }
    const EditHistory& history() const { return history_; }

    // One user action, for the whole handler (see EditHistory::action); actions opened inside
    // one belong to it. Within an action the list changes only through editList.
    class Edit {
    public:
        Edit(EditBinding& binding, EditHistory::Merge merge) : around_(binding), action_(binding.history_.action(merge))
        {}

    private:
        // Reads the list box in before the action opens, and tells of the change once it closed.
        struct Around {
            explicit Around(EditBinding& binding);
            ~Around();
            EditBinding& binding;
        } around_;
        EditHistory::Action action_;
    };
    [[nodiscard]] Edit edit(EditHistory::Merge merge = EditHistory::Merge::Never) { return Edit(*this, merge); }

    // A change of the play list as one action (or within the open one), shown in the list box.
    void editList(const std::function<void(PlayList&)>& change);

    // Undo and Redo: false when nothing changed (nothing to take back, or a history that no
    // longer matched what the views hold and was forgotten).
    bool undo() { return restore(&EditHistory::undo); }
    bool redo() { return restore(&EditHistory::redo); }

    // The grid's and the song's unsaved changes as the close question names them (the name cell,
    // the song title), saved by `savePattern` and `saveSong`.
    std::vector<UnsavedWork> unsavedWork(std::function<void()> savePattern, std::function<void()> saveSong);

private:
    bool restore(bool (EditHistory::*step)());

    PatternGrid& grid_;
    EditViews views_;
    PlayList list_;
    EditHistory history_;
    int depth_ = 0; // actions open
};

} // namespace groovane
