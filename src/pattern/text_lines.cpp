#include "text_lines.h"

namespace groovane {

std::vector<std::string> splitTextLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        const char ch = bytes[i];
        if (ch != '\r' && ch != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(bytes, start, i - start);
        // CR LF is one ending; a CR or LF on its own is one too.
        i += (ch == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < bytes.size())
        lines.emplace_back(bytes, start, bytes.size() - start);
    return lines;
}

std::string joinTextLines(const std::vector<std::string>& lines)
{
    size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + 2;
    std::string bytes;
    bytes.reserve(total);
    for (const auto& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

const std::string& lineOrEmpty(const std::vector<std::string>& lines, long long index)
{
    static const std::string empty;
    if (index < 0 || static_cast<unsigned long long>(index) >= lines.size())
        return empty;
    return lines[static_cast<size_t>(index)];
}

} // namespace groovane
