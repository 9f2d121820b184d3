#include "platform/line_buffer.h"

#include "platform/exception.h"
#include "platform/files.h"

#include <limits>

namespace groovane {

TextLines::TextLines(std::string text) : text_(std::move(text))
{
    if (text_.size() > std::numeric_limits<uint32_t>::max())
        throw Exception("Text too large");
    size_t ends = 0;
    for (size_t i = 0; i < text_.size(); ++i)
        if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 == text_.size() || text_[i + 1] != '\n')))
            ++ends;
    starts_.reserve(ends + 1);
    // The line bytes move down over the ends they followed, in place.
    size_t out = 0;
    size_t lineStart = 0;
    for (size_t i = 0; i < text_.size(); ++i) {
        const char c = text_[i];
        if (c == '\r' || c == '\n') {
            starts_.push_back(static_cast<uint32_t>(lineStart));
            lineStart = out;
            if (c == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n')
                ++i;
        } else {
            text_[out++] = c;
        }
    }
    if (out > lineStart)
        starts_.push_back(static_cast<uint32_t>(lineStart));
    text_.resize(out);
    text_.shrink_to_fit();
}

TextLines::TextLines(const std::vector<std::string>& lines)
{
    size_t total = 0;
    for (const std::string& line : lines)
        total += line.size();
    if (total > std::numeric_limits<uint32_t>::max())
        throw Exception("Text too large");
    text_.reserve(total);
    starts_.reserve(lines.size());
    for (const std::string& line : lines)
        add(line);
}

void TextLines::add(std::string_view line)
{
    starts_.push_back(static_cast<uint32_t>(text_.size()));
    text_ += line;
}

std::string_view TextLines::operator[](size_t index) const
{
    const size_t start = starts_[index];
    const size_t end = index + 1 < starts_.size() ? starts_[index + 1] : text_.size();
    return std::string_view(text_).substr(start, end - start);
}

std::vector<std::string> TextLines::toStrings() const
{
    std::vector<std::string> lines;
    lines.reserve(size());
    for (size_t i = 0; i < size(); ++i)
        lines.emplace_back((*this)[i]);
    return lines;
}

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
    read_ = TextLines(readFileBytes(path));
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
