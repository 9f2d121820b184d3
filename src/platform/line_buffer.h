// The program's line buffer: whole text files are loaded into it, read line by line and
// emptied. Lines are written ended by CR LF; a lone CR or a lone LF ends a line when reading.
// Bytes are kept as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace groovane {

// The lines of a text file as it was read: the bytes of all lines once, their ends dropped, and
// where each line starts. A line costs its bytes and four more, so a file of empty lines costs a
// few times its size, never dozens of bytes a line. Any thread.
class TextLines {
public:
    TextLines() = default;
    // Splits text as LineBuffer::splitLines does.
    explicit TextLines(std::string text);
    // Lines made in memory (a writer's, a test's).
    TextLines(const std::vector<std::string>& lines);

    size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    std::string_view operator[](size_t index) const;
    // Bytes held, for checking what a file costs.
    size_t storageBytes() const { return text_.capacity() + starts_.capacity() * sizeof(uint32_t); }
    std::vector<std::string> toStrings() const;

private:
    void add(std::string_view line);

    std::string text_;
    std::vector<uint32_t> starts_;
};

class LineBuffer {
public:
    // Splits text into lines. A final line without an end counts; an end at the very end of the
    // text makes no extra empty line.
    static std::vector<std::string> splitLines(const std::string& text);
    // Joins lines, each followed by CR LF.
    static std::string joinLines(const std::vector<std::string>& lines);

    // Reads a text file into read() (lines() is what the buffer writes). Raises EFileError
    // "Cannot open file %s" when the file cannot be read, is no regular file or is larger than
    // kMaxTextFileBytes.
    void loadFromFile(const std::string& path);
    const TextLines& read() const { return read_; }
    TextLines takeRead() { return std::move(read_); }
    // Replaces the file safely; raises EFileError "Cannot create file %s" on failure.
    void saveToFile(const std::string& path) const;

    // The line at `index`, or empty text when the buffer has no such line.
    const std::string& line(size_t index) const;
    std::vector<std::string>& lines() { return lines_; }
    const std::vector<std::string>& lines() const { return lines_; }
    void add(const std::string& line) { lines_.push_back(line); }
    void clear()
    {
        lines_.clear();
        read_ = TextLines();
    }
    size_t count() const { return lines_.size(); }

private:
    std::vector<std::string> lines_;
    TextLines read_;
};

} // namespace groovane
