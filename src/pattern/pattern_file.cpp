#include "pattern/pattern_file.h"

#include "platform/exception.h"
#include "platform/files.h"
#include "pattern/pattern_editing.h"
#include "platform/str_to_int.h"

#include <cstdio>

namespace groovane {

namespace {

constexpr int kLengthLine = 2;
constexpr int kLengthColumn = 2;

// A line the file lacks, also before its start, reads as empty text.
std::string_view lineOrEmpty(const TextLines& lines, long long index)
{
    if (index < 0 || static_cast<unsigned long long>(index) >= lines.size())
        return {};
    return lines[static_cast<size_t>(index)];
}

} // namespace

std::string patternFilePath(const std::string& folder, const std::string& name)
{
    checkPatternName(name);
    return joinPath(folder, name + ".pat");
}

void checkPatternName(const std::string& name)
{
    const auto refuse = [&name](const std::string& why) {
        throw Exception("'" + shownText(name) + "' is not a valid pattern name: " + why);
    };
    for (const char c : name) {
        if (c == '/' || c == '\\')
            refuse("it holds \"" + std::string(1, c) +
                   "\"; \"/\" and \"\\\" separate folders, and a pattern is a file in the working folder");
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", byte);
            refuse(std::string("it holds the control character ") + code +
                   ", which no file name in the working folder may hold");
        }
    }
    if (name == "." || name == "..")
        refuse("\".\" and \"..\" name folders, not files");
}

int patternLengthForSave(const PatternGrid& grid)
{
    const int length = strToInt(grid.cell(kLengthColumn, 0));
    checkPatternLength(length);
    return length;
}

std::vector<std::string> patternFileLines(const PatternGrid& grid, int length, int tempoPosition, int loopCount)
{
    std::vector<std::string> lines;
    const int lastRow = length + 2;
    if (lastRow >= 0)
        lines.reserve(static_cast<size_t>(lastRow + 1) * PatternGrid::kColumnCount + 2);
    for (int row = 0; row <= lastRow; ++row)
        for (int column = 0; column < PatternGrid::kColumnCount; ++column)
            lines.push_back(grid.cell(column, row));
    lines.push_back(std::to_string(tempoPosition));
    lines.push_back(std::to_string(loopCount));
    return lines;
}

int PatternFileReader::length() const
{
    return strToInt(std::string(lineOrEmpty(lines_, kLengthLine)));
}

void PatternFileReader::loadCells(PatternGrid& grid) const
{
    const int length = this->length();
    checkPatternLength(length);
    const int lastRow = length + 2;
    grid.setRowCount(lastRow);
    for (int row = 0; row <= lastRow; ++row)
        for (int column = 0; column < PatternGrid::kColumnCount; ++column)
            grid.setCell(
                column, row,
                std::string(lineOrEmpty(lines_, static_cast<long long>(row) * PatternGrid::kColumnCount + column)));
}

std::string_view PatternFileReader::line(size_t index) const
{
    return lineOrEmpty(lines_, static_cast<long long>(index));
}

long long PatternFileReader::settingsLine() const
{
    return (static_cast<long long>(length()) + 3) * PatternGrid::kColumnCount;
}

int PatternFileReader::tempoPosition() const
{
    return strToInt(std::string(lineOrEmpty(lines_, settingsLine())));
}

int PatternFileReader::loopCount() const
{
    return strToInt(std::string(lineOrEmpty(lines_, settingsLine() + 1)));
}

} // namespace groovane
