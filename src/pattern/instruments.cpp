#include "pattern/instruments.h"

#include "platform/files.h"

namespace groovane {

const std::array<std::string, 25>& instrumentNames()
{
    static const std::array<std::string, 25> names = {
        "",        "Kick",    "Short Kick", "Snare",   "ClsHiat", "OpHiat",  "Tom1",    "Tom2", "Cymbol1",
        "Cymbol2", "Rimshot", "Shaker",     "Block",   "Congo",   "Cowbell", "Crack",   "Tamb", "Sample1",
        "Sample2", "Sample3", "Sample4",    "Sample5", "Sample6", "Sample7", "Sample8",
    };
    return names;
}

namespace {

// Index of the first list entry equal to `text` without regard to case, or -1.
int findInstrument(const std::string& text)
{
    const auto& names = instrumentNames();
    for (size_t i = 0; i < names.size(); ++i)
        if (equalsIgnoreCase(text, names[i]))
            return static_cast<int>(i);
    return -1;
}

} // namespace

int instrumentSlot(const std::string& text)
{
    const int slot = findInstrument(text);
    return slot < 0 ? 0 : slot;
}

int auditionSlot(const std::string& text)
{
    const int slot = findInstrument(text);
    return slot < 0 ? kLastKitSlot : slot;
}

} // namespace groovane
