#include "platform/qt_text.h"

#include <array>
#include <cstdint>

namespace groovane {

namespace {

// Windows-1252 from 0x80 to 0x9F; the rest of the upper half is Latin-1. The unassigned values
// keep their own number.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t windows1252(uint8_t b)
{
    return b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b);
}

bool isContinuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at p, or 0 when the bytes there are none. The
// second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
int sequenceLength(const uint8_t* p, const uint8_t* end)
{
    const uint8_t lead = *p;
    if (lead < 0x80)
        return 1;
    int length = 0;
    uint8_t secondMin = 0x80, secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            secondMin = 0xA0;
        else if (lead == 0xED)
            secondMax = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            secondMin = 0x90;
        else if (lead == 0xF4)
            secondMax = 0x8F;
    } else {
        return 0;
    }
    if (end - p < length || p[1] < secondMin || p[1] > secondMax)
        return 0;
    for (int i = 2; i < length; ++i)
        if (!isContinuation(p[i]))
            return 0;
    return length;
}

char32_t decodeSequence(const uint8_t* p, int length)
{
    static constexpr uint8_t kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = p[0] & kLeadBits[length];
    for (int i = 1; i < length; ++i)
        c = (c << 6) | (p[i] & 0x3F);
    return c;
}

} // namespace

QString toQString(std::string_view bytes)
{
    // Decoded here rather than by the toolkit, whose decoder would drop a leading byte-order
    // mark and give one replacement character for a byte that is not UTF-8.
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const int length = sequenceLength(p, end);
        if (length == 0) {
            text.append(QChar(windows1252(*p++)));
        } else {
            text.append(QChar::fromUcs4(decodeSequence(p, length)));
            p += length;
        }
    }
    return text;
}

std::string fromQString(const QString& text)
{
    return text.toUtf8().toStdString();
}

std::string keptOrTyped(const QString& shown, const std::string& bytes)
{
    return shown == toQString(bytes) ? bytes : fromQString(shown);
}

} // namespace groovane
