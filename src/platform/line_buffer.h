// The program's line buffer: whole text files are loaded into it, read line by line and
// emptied. Lines are written ended by CR LF; a lone CR or a lone LF ends a line when reading.
// Bytes are kept as they are.
#pragma once

#include <string>
#include <vector>

namespace groovane {

class LineBuffer {
public:
    // Splits text into lines. A final line without an end counts; an end at the very end of the
    // text makes no extra empty line.
    static std::vector<std::string> splitLines(const std::string& text);
    // Joins lines, each followed by CR LF.
    static std::string joinLines(const std::vector<std::string>& lines);

    // Raises EFileError "Cannot open file %s" when the file cannot be read.
    void loadFromFile(const std::string& path);
    // Replaces the file safely; raises EFileError "Cannot create file %s" on failure.
    void saveToFile(const std::string& path) const;

    // The line at `index`, or empty text when the buffer has no such line.
    const std::string& line(size_t index) const;
    std::vector<std::string>& lines() { return lines_; }
    const std::vector<std::string>& lines() const { return lines_; }
    void add(const std::string& line) { lines_.push_back(line); }
    void clear() { lines_.clear(); }
    size_t count() const { return lines_.size(); }

private:
    std::vector<std::string> lines_;
};

} // namespace groovane
