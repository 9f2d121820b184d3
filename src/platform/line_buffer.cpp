#include "line_buffer.h"

#include "files.h"

namespace groovane {

std::vector<std::string> LineBuffer::splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current += c;
        }
    }
    if (!current.empty())
        lines.push_back(std::move(current));
    return lines;
}

std::string LineBuffer::joinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void LineBuffer::loadFromFile(const std::string& path)
{
    lines_ = splitLines(readFileBytes(path));
}

void LineBuffer::saveToFile(const std::string& path) const
{
    writeFileBytesAtomic(path, joinLines(lines_));
}

const std::string& LineBuffer::line(size_t index) const
{
    static const std::string empty;
    return index < lines_.size() ? lines_[index] : empty;
}

} // namespace groovane
