// The main window's views as the edit history reaches them: the play list box read into a play
// list and filled from one, the pattern name box and the song title box. UI thread only.
#pragma once

#include "app/edit_binding.h"
#include "song/play_list.h"

#include <functional>

class QLineEdit;

namespace groovane {

class ListBox;

// The play list as the box holds it: names, check marks, selection.
PlayList readPlayList(const ListBox& box);
// Fills the box with the list's entries, their check boxes and the selection.
void showPlayList(ListBox& box, const PlayList& list);

// The views of a window whose play list is `list`, pattern name box `nameBox` and song title
// box `titleBox`; `changed` runs after every action, undo and redo. They must outlive the views.
EditViews editViewsOf(ListBox& list, QLineEdit& nameBox, QLineEdit& titleBox, std::function<void()> changed);

} // namespace groovane
