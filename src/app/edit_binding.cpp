#include "app/edit_binding.h"

#include <utility>

namespace groovane {

EditBinding::EditBinding(PatternGrid& grid, EditViews views)
    : grid_(grid),
      views_(std::move(views)),
      history_(grid, list_,
               {[this] { return views_.title.read ? views_.title.read() : std::string(); },
                [this](const std::string& title) {
                    if (views_.title.write)
                        views_.title.write(title);
                }})
{}

void EditBinding::setViews(EditViews views)
{
    views_ = std::move(views);
}

EditBinding::Edit::Around::Around(EditBinding& b) : binding(b)
{
    // The user's check marks and selection since the last action are where this one starts. An
    // action inside the open one finds the list as that one keeps it: reading the box again for
    // each would cost a song of many patterns a read of the whole list per pattern it passes
    // through the grid (the name box's change).
    if (binding.depth_ == 0)
        binding.list_ = binding.views_.readList();
    ++binding.depth_;
}

EditBinding::Edit::Around::~Around()
{
    if (--binding.depth_ == 0 && binding.views_.changed)
        binding.views_.changed();
}

void EditBinding::editList(const std::function<void(PlayList&)>& change)
{
    const auto action = edit();
    change(list_);
    views_.showList(list_);
}

std::vector<UnsavedWork> EditBinding::unsavedWork(std::function<void()> savePattern, std::function<void()> saveSong)
{
    const std::string& pattern = grid_.cell(0, 0);
    const std::string song = views_.title.read ? views_.title.read() : std::string();
    return {{pattern.empty() ? "the pattern" : pattern, [this] { return history_.isGridModified(); },
             std::move(savePattern)},
            {song.empty() ? "the song" : song, [this] { return history_.isSongModified(); }, std::move(saveSong)}};
}

bool EditBinding::restore(bool (EditHistory::*step)())
{
    list_ = views_.readList();
    const std::string name = grid_.cell(0, 0);
    const bool done = (history_.*step)();
    if (done) {
        // The list first: showing the name starts an action (the name box's change), which reads
        // the list box; it changes nothing, as the name cell already holds the name. A step that
        // left the name alone leaves the box as it is (its first "Name" is shown only).
        views_.showList(list_);
        if (grid_.cell(0, 0) != name)
            views_.showName(grid_.cell(0, 0));
    }
    if (views_.changed)
        views_.changed();
    return done;
}

} // namespace groovane
