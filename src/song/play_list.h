// The play list: the ordered pattern names that make a song, each with a check mark, and the
// selection (one entry or none). The same name may stand in it any number of times, and nothing
// checks that a pattern file exists for a name until the pattern is loaded. The check marks serve
// only the bin command that deletes ticked entries; they are not saved and do not affect playback.
//
// The commands here are the list's own rules; the main window mirrors the entries into its check
// list box. UI thread only.
#pragma once

#include <string>
#include <vector>

namespace groovane {

class PatternLibrary;

struct PlayListEntry {
    std::string name;
    bool ticked = false;
};

class PlayList {
public:
    enum class Direction { Up, Down };

    const std::vector<PlayListEntry>& entries() const { return entries_; }
    int size() const { return static_cast<int>(entries_.size()); }
    const PlayListEntry& at(int index) const { return entries_.at(static_cast<size_t>(index)); }

    // Selected index, -1 for none.
    int selected() const { return selected_; }
    // The names of the entries from `first` to the last, in order (a song played or rendered from
    // that entry).
    std::vector<std::string> namesFrom(int first) const;
    // Selects an entry; an index outside the list clears the selection.
    void select(int index);
    // The selected entry's name, or empty text when nothing is selected.
    std::string selectedName() const;

    void setTicked(int index, bool ticked);

    // Appends an unticked entry; the selection stays.
    void append(const std::string& name);

    // True when some entry equals `name` exactly (letter case counts).
    bool contains(const std::string& name) const;

    // Remove: the selected entry goes, and its name goes into the library (in its sorted place)
    // unless the library already holds it. A "<Blank>" entry that the library lacks stays where
    // it is. Nothing selected: nothing happens. Leaves no selection when an entry was removed.
    // A name that would go into the library but names no file of the working folder raises
    // checkPatternName's error, and nothing changes.
    void removeSelected(PatternLibrary& library);

    // Move: exchanges the selected entry with its neighbour and selects the neighbour's place.
    // The check mark moves with its entry. Nothing at the ends or without a selection.
    void moveSelected(Direction direction);

    // Deletes every ticked entry, keeping the order of the rest; names do not go back to the
    // library. A selected entry that stays keeps its selection.
    void deleteTicked();

    // Deletes every entry equal to `name` exactly.
    void removeAll(const std::string& name);

    // Replaces the whole list (a song file's names), unticked and without a selection.
    void assign(const std::vector<std::string>& names);

    void clear();

    // Replaces `count` entries from `first` on by `with`, marks included; the selection is left
    // to the caller. Undo and redo of the edit history write the list back through this.
    void replaceEntries(int first, int count, const std::vector<PlayListEntry>& with);

private:
    void eraseWhere(bool (*shouldErase)(const PlayListEntry&, const std::string&), const std::string& name);

    std::vector<PlayListEntry> entries_;
    int selected_ = -1;
};

} // namespace groovane
