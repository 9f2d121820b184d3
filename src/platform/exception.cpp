#include "platform/exception.h"

namespace groovane {

namespace {

constexpr size_t kShownHead = 120;
constexpr size_t kShownTail = 40;
constexpr size_t kMessageHead = 600;
constexpr size_t kMessageTail = 200;
const std::string kEllipsis = "\xE2\x80\xA6";

bool continuesCharacter(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// `text` with its middle left out when it is longer than head + tail (plus the room "…"
// takes), the cuts moved back onto the start of a UTF-8 sequence.
std::string shortened(const std::string& text, size_t head, size_t tail)
{
    if (text.size() <= head + tail + 1)
        return text;
    size_t headEnd = head;
    while (headEnd > 0 && continuesCharacter(text[headEnd]))
        --headEnd;
    size_t tailStart = text.size() - tail;
    while (tailStart > headEnd && continuesCharacter(text[tailStart]))
        --tailStart;
    return text.substr(0, headEnd) + kEllipsis + text.substr(tailStart);
}

} // namespace

std::string shownText(const std::string& text)
{
    std::string shown = shortened(text, kShownHead, kShownTail);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return shown;
}

std::string formatMessage(const std::string& templ, const std::string& rawArg)
{
    const std::string arg = shownText(rawArg);
    std::string out;
    out.reserve(templ.size() + arg.size());
    bool filled = false;
    for (size_t i = 0; i < templ.size(); ++i) {
        if (!filled && templ[i] == '%' && i + 1 < templ.size() && (templ[i + 1] == 's' || templ[i + 1] == 'd')) {
            out += arg;
            ++i;
            filled = true;
        } else {
            out += templ[i];
        }
    }
    return out;
}

std::string formatMessage(const std::string& templ, long long arg)
{
    return formatMessage(templ, std::to_string(arg));
}

std::string exceptionMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

std::string errorBoxText(const std::string& fullMessage)
{
    const std::string message = shortened(fullMessage, kMessageHead, kMessageTail);
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

} // namespace groovane
