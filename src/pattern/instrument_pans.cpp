#include "pattern/instrument_pans.h"

#include "pattern/instruments.h"
#include "platform/str_to_int.h"

namespace groovane {

void applyPanFileLines(const TextLines& lines, const WritePan& setPan)
{
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
        const auto index = static_cast<size_t>(slot);
        const int32_t pan = strToInt(index < lines.size() ? std::string(lines[index]) : std::string());
        setPan(instrumentNames()[index], pan);
    }
}

std::vector<std::string> panFileLines(const ReadPan& panOf)
{
    std::vector<std::string> lines;
    lines.reserve(kPanFileLines);
    lines.push_back("0"); // the empty entry of the instrument list
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot)
        lines.push_back(std::to_string(panOf(instrumentNames()[static_cast<size_t>(slot)])));
    return lines;
}

} // namespace groovane
