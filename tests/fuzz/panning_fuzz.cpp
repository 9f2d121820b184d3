// The instrument-pan file reader. A file that reads sets all 16 kit pans, and the file written
// for those pans reads back as the same pans; a file refused at a line has set exactly the pans
// before that line, and the line is indeed not a decimal integer.
#include "fuzz_target.h"

#include "platform/exception.h"
#include "pattern/instrument_pans.h"
#include "platform/line_buffer.h"
#include "pattern/instruments.h"
#include "platform/str_to_int.h"

#include <map>
#include <string>
#include <vector>

GROOVANE_FUZZ_TARGET(panning)
{
    using namespace groovane;
    const std::vector<std::string> lines = LineBuffer::splitLines(input);
    std::vector<std::pair<std::string, int32_t>> applied;
    const auto record = [&](const std::string& instrument, int32_t pan) { applied.emplace_back(instrument, pan); };
    try {
        applyPanFileLines(lines, record);
    } catch (const EConvertError&) {
        const size_t failing = applied.size() + 1;
        FUZZ_CHECK(failing <= static_cast<size_t>(kLastKitSlot), "panning");
        FUZZ_CHECK(failing >= lines.size() || !tryStrToInt(lines[failing]), "panning");
        for (size_t i = 0; i < applied.size(); ++i)
            FUZZ_CHECK(applied[i].first == instrumentNames()[i + 1] && applied[i].second == strToInt(lines[i + 1]),
                       "panning");
        return;
    }
    FUZZ_CHECK(applied.size() == static_cast<size_t>(kLastKitSlot), "panning");
    std::map<std::string, int32_t> pans(applied.begin(), applied.end());
    const std::vector<std::string> saved =
        panFileLines([&](const std::string& instrument) { return pans.at(instrument); });
    FUZZ_CHECK(saved.size() == static_cast<size_t>(kPanFileLines) && saved[0] == "0", "panning");
    std::vector<std::pair<std::string, int32_t>> reread;
    applyPanFileLines(LineBuffer::splitLines(LineBuffer::joinLines(saved)),
                      [&](const std::string& instrument, int32_t pan) { reread.emplace_back(instrument, pan); });
    FUZZ_CHECK(reread == applied, "panning");
}
