#include "song/play_list.h"

#include "pattern/pattern_file.h"
#include "pattern/pattern_library.h"

#include <algorithm>
#include <utility>

namespace groovane {

void PlayList::select(int index)
{
    selected_ = (index >= 0 && index < size()) ? index : -1;
}

std::string PlayList::selectedName() const
{
    return selected_ >= 0 ? entries_[static_cast<size_t>(selected_)].name : std::string();
}

void PlayList::setTicked(int index, bool ticked)
{
    if (index >= 0 && index < size())
        entries_[static_cast<size_t>(index)].ticked = ticked;
}

void PlayList::append(const std::string& name)
{
    entries_.push_back({name, false});
}

bool PlayList::contains(const std::string& name) const
{
    for (const auto& entry : entries_)
        if (entry.name == name)
            return true;
    return false;
}

void PlayList::removeSelected(PatternLibrary& library)
{
    if (selected_ < 0)
        return;
    const std::string name = selectedName();
    if (!library.contains(name)) {
        if (name == kBlankPattern)
            return;
        // A name from a song that names no file of the working folder never reaches the
        // library, whose bin would delete what it names; the entry stays.
        checkPatternName(name);
        library.add(name);
    }
    entries_.erase(entries_.begin() + selected_);
    selected_ = -1;
}

void PlayList::moveSelected(Direction direction)
{
    if (selected_ < 0)
        return;
    const int other = direction == Direction::Up ? selected_ - 1 : selected_ + 1;
    if (other < 0 || other >= size())
        return;
    std::swap(entries_[static_cast<size_t>(selected_)], entries_[static_cast<size_t>(other)]);
    selected_ = other;
}

void PlayList::eraseWhere(bool (*shouldErase)(const PlayListEntry&, const std::string&), const std::string& name)
{
    std::vector<PlayListEntry> kept;
    kept.reserve(entries_.size());
    int newSelected = -1;
    for (int i = 0; i < size(); ++i) {
        const auto& entry = entries_[static_cast<size_t>(i)];
        if (shouldErase(entry, name))
            continue;
        if (i == selected_)
            newSelected = static_cast<int>(kept.size());
        kept.push_back(entry);
    }
    entries_ = std::move(kept);
    selected_ = newSelected;
}

void PlayList::deleteTicked()
{
    eraseWhere([](const PlayListEntry& entry, const std::string&) { return entry.ticked; }, {});
}

void PlayList::removeAll(const std::string& name)
{
    eraseWhere([](const PlayListEntry& entry, const std::string& n) { return entry.name == n; }, name);
}

void PlayList::assign(const std::vector<std::string>& names)
{
    entries_.clear();
    for (const auto& name : names)
        entries_.push_back({name, false});
    selected_ = -1;
}

void PlayList::clear()
{
    entries_.clear();
    selected_ = -1;
}

void PlayList::replaceEntries(int first, int count, const std::vector<PlayListEntry>& with)
{
    const auto begin = entries_.begin() + first;
    entries_.erase(begin, begin + count);
    entries_.insert(entries_.begin() + first, with.begin(), with.end());
    if (selected_ >= size())
        selected_ = -1;
}

std::vector<std::string> PlayList::namesFrom(int first) const
{
    std::vector<std::string> names;
    for (int entry = std::max(first, 0); entry < size(); ++entry)
        names.push_back(at(entry).name);
    return names;
}

} // namespace groovane
