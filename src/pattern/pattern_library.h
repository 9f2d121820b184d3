// The pattern library list: the names of the pattern files in the base folder, shown in the main
// window's library box. Its first entry, "<Blank>", stands for no pattern and is never a file.
// The start-up scan adds the names in directory order and then switches the list to sorted
// order; from then on every added name lands in its case-insensitive alphabetical place.
// Names are compared exactly (letter case counts) when the program asks whether one is listed.
#pragma once

#include <string>
#include <vector>

namespace groovane {

// The library's design-time entry.
inline constexpr const char* kBlankPattern = "<Blank>";

// The order of the sorted list: letters compare without regard to case, and symbols sort before
// digits and digits before letters, so "<Blank>" comes ahead of every name that begins with a
// letter or a digit. Negative, zero or positive as a sorts before, with or after b. Any thread.
int compareLibraryNames(const std::string& a, const std::string& b);

class PatternLibrary {
public:
    // The list as the window is designed: "<Blank>" alone, not yet sorted.
    PatternLibrary();

    const std::vector<std::string>& entries() const { return entries_; }
    int size() const { return static_cast<int>(entries_.size()); }
    const std::string& at(int index) const { return entries_.at(static_cast<size_t>(index)); }
    bool isSorted() const { return sorted_; }

    // Index of the first entry equal to `name` exactly, or -1.
    int indexOf(const std::string& name) const;
    bool contains(const std::string& name) const { return indexOf(name) >= 0; }

    // Start-up scan: adds every entry of `folder` whose name ends in ".pat" (any letter case, any
    // kind of entry) less its last four characters, then switches to sorted order. An unreadable
    // folder adds nothing. UI thread (touches the disk).
    void scan(const std::string& folder);

    // Sorts the entries and keeps them sorted from now on.
    void sort();

    // Adds a name: in its sorted place once the list is sorted (after entries that compare
    // equal), at the end before that. Returns its index. No check for duplicates.
    int add(const std::string& name);

    void removeAt(int index);

private:
    std::vector<std::string> entries_;
    bool sorted_ = false;
};

} // namespace groovane
