#include "pattern/pattern_library.h"

#include "platform/files.h"

#include <algorithm>

namespace groovane {

namespace {

// Word-like order: punctuation and other symbols first (by byte), then digits, then letters
// without regard to case, then bytes above ASCII.
int rank(unsigned char ch)
{
    if (ch >= 'a' && ch <= 'z')
        ch = static_cast<unsigned char>(ch - 'a' + 'A');
    if (ch >= 'A' && ch <= 'Z')
        return 0x200 + ch;
    if (ch >= '0' && ch <= '9')
        return 0x100 + ch;
    if (ch >= 0x80)
        return 0x300 + ch;
    return ch;
}

} // namespace

int compareLibraryNames(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ra = rank(static_cast<unsigned char>(a[i]));
        const int rb = rank(static_cast<unsigned char>(b[i]));
        if (ra != rb)
            return ra < rb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

PatternLibrary::PatternLibrary() : entries_{kBlankPattern} {}

int PatternLibrary::indexOf(const std::string& name) const
{
    const auto it = std::find(entries_.begin(), entries_.end(), name);
    return it == entries_.end() ? -1 : static_cast<int>(it - entries_.begin());
}

void PatternLibrary::scan(const std::string& folder)
{
    for (const auto& fileName : listFilesWithSuffix(folder, ".pat"))
        entries_.push_back(fileName.substr(0, fileName.size() - 4));
    sort();
}

void PatternLibrary::sort()
{
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const std::string& a, const std::string& b) { return compareLibraryNames(a, b) < 0; });
    sorted_ = true;
}

int PatternLibrary::add(const std::string& name)
{
    auto at = entries_.end();
    if (sorted_)
        at = std::upper_bound(entries_.begin(), entries_.end(), name,
                              [](const std::string& a, const std::string& b) { return compareLibraryNames(a, b) < 0; });
    const auto index = at - entries_.begin();
    entries_.insert(at, name);
    return static_cast<int>(index);
}

void PatternLibrary::removeAt(int index)
{
    if (index >= 0 && index < size())
        entries_.erase(entries_.begin() + index);
}

} // namespace groovane
