// The integer conversion against a second, independent reading of the same rule: an optional
// sign, then decimal digits whose value fits 32 bits. A text read as a number writes back in
// its shortest form and reads as the same number; every other text raises the conversion error
// naming the text as messages show it.
#include "fuzz_target.h"

#include "platform/exception.h"
#include "platform/str_to_int.h"

#include <cstdint>
#include <optional>
#include <string>

namespace {

// The rule worked on the digits as text, without any arithmetic that could overflow.
std::optional<int64_t> referenceValue(const std::string& text)
{
    size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    for (size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9')
            return std::nullopt;
    std::string digits =
        text.substr(text.find_first_not_of('0', i) == std::string::npos ? text.size() : text.find_first_not_of('0', i));
    if (digits.empty())
        return 0;
    const std::string limit = negative ? "2147483648" : "2147483647";
    if (digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit))
        return std::nullopt;
    const int64_t magnitude = std::stoll(digits);
    return negative ? -magnitude : magnitude;
}

} // namespace

GROOVANE_FUZZ_TARGET(str_to_int)
{
    using namespace groovane;
    const std::optional<int64_t> expected = referenceValue(input);
    const std::optional<int32_t> value = tryStrToInt(input);
    FUZZ_CHECK(value.has_value() == expected.has_value(), "str_to_int");
    if (value) {
        FUZZ_CHECK(*value == *expected, "str_to_int");
        FUZZ_CHECK(strToInt(input) == *value, "str_to_int");
        FUZZ_CHECK(tryStrToInt(std::to_string(*value)) == value, "str_to_int");
        return;
    }
    bool raised = false;
    try {
        strToInt(input);
    } catch (const EConvertError& e) {
        // The message names the text as every message shows a name: control characters (a zero
        // byte among them) as "?", a very long text by its two ends.
        const std::string message = "'" + shownText(input) + "' is not a valid integer value";
        raised = e.what() == message;
    }
    FUZZ_CHECK(raised, "str_to_int");
}
