#include "qt_text.h"

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

QString fromWindows1252(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

bool isContinuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// Decodes bytes already known to be valid UTF-8. The toolkit's own decoder drops a leading
// byte-order mark, which would then be missing when the text goes back to bytes.
QString fromValidUtf8(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        char32_t c = *p++;
        if (c >= 0xF0)
            c &= 0x07;
        else if (c >= 0xE0)
            c &= 0x0F;
        else if (c >= 0xC0)
            c &= 0x1F;
        while (p < end && isContinuation(*p))
            c = (c << 6) | (*p++ & 0x3F);
        text.append(QChar::fromUcs4(c));
    }
    return text;
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const uint8_t lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int trailing = 0;
        // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
        uint8_t secondMin = 0x80, secondMax = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trailing = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailing = 2;
            if (lead == 0xE0)
                secondMin = 0xA0;
            else if (lead == 0xED)
                secondMax = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailing = 3;
            if (lead == 0xF0)
                secondMin = 0x90;
            else if (lead == 0xF4)
                secondMax = 0x8F;
        } else {
            return false;
        }
        if (end - p <= trailing || p[1] < secondMin || p[1] > secondMax)
            return false;
        for (int i = 2; i <= trailing; ++i)
            if (!isContinuation(p[i]))
                return false;
        p += trailing + 1;
    }
    return true;
}

QString toQString(std::string_view bytes)
{
    return isValidUtf8(bytes) ? fromValidUtf8(bytes) : fromWindows1252(bytes);
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
