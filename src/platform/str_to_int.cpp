#include "platform/str_to_int.h"

#include "platform/exception.h"

namespace groovane {

std::optional<int32_t> tryStrToInt(const std::string& text)
{
    size_t i = 0;
    const size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == n)
        return std::nullopt;
    // Accumulate in 64 bits and give up as soon as the magnitude leaves the 32-bit range,
    // so an absurdly long digit string cannot overflow.
    int64_t value = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

int32_t strToInt(const std::string& text)
{
    if (auto v = tryStrToInt(text))
        return *v;
    throw EConvertError(formatMessage("'%s' is not a valid integer value", text));
}

} // namespace groovane
