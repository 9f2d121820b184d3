// Bytes from files shown in the toolkit and back: UTF-8 where the bytes are UTF-8, Windows-1252
// where they are not, and the bytes themselves back while the text is unchanged.
#include "qt_text.h"

#include <gtest/gtest.h>

#include <set>

using namespace groovane;

TEST(QtText, Utf8IsValidOnlyInItsShortestWellFormedShape)
{
    for (const char* valid : {"", "Kick", "Caf\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E", "\xF4\x8F\xBF\xBF",
                              "\xEF\xBB\xBF" "bom", "\xEF\xBF\xBF"})
        EXPECT_TRUE(isValidUtf8(valid)) << valid;
    for (const char* invalid : {"Caf\xE9", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF0\x80\x80\x80",
                                "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\x80", "\xE2\x82", "\xC3", "\xE2\x28\xAC"})
        EXPECT_FALSE(isValidUtf8(invalid)) << invalid;
    EXPECT_TRUE(isValidUtf8(std::string("a\0b", 3)));
}

TEST(QtText, BytesThatAreNotUtf8ShowAsWindows1252OneCharacterEach)
{
    EXPECT_EQ(toQString("Caf\xE9"), QString::fromUtf8("Café"));
    EXPECT_EQ(toQString("Caf\xC3\xA9"), QString::fromUtf8("Café"));
    EXPECT_EQ(toQString("\x80\x9F\xA0\xFF"), QString::fromUtf8("€Ÿ\u00A0ÿ"));
    // One invalid byte makes the whole text Windows-1252, valid sequences in it too.
    EXPECT_EQ(toQString("\xC3\xA9\xE9"), QString::fromUtf8("Ã©é"));

    // Every byte value, the unassigned ones included, gets a character of its own.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += char(b);
    const QString shown = toQString(all);
    ASSERT_EQ(shown.size(), 255);
    std::set<char16_t> distinct;
    for (QChar c : shown)
        distinct.insert(c.unicode());
    EXPECT_EQ(distinct.size(), 255u);
    EXPECT_EQ(shown.left(127), QString::fromLatin1(all.data(), 127));
    EXPECT_EQ(shown[0x81 - 1], QChar(0x81));
}

TEST(QtText, UneditedTextGoesBackAsItsBytesAndEditedTextAsUtf8)
{
    for (const std::string& bytes :
         {std::string("Caf\xE9"), std::string("Caf\xC3\xA9"), std::string("\xEF\xBB\xBF" "bom"), std::string("\x81\x8D\x8F\x90\x9D"),
          std::string("a\0b\xE9", 4), std::string("\xEF\xBF\xBF"), std::string("")}) {
        EXPECT_EQ(keptOrTyped(toQString(bytes), bytes), bytes);
        // Qt reads UTF-8 as this file does, so UTF-8 survives even a path that forgets the bytes.
        if (isValidUtf8(bytes)) {
            EXPECT_EQ(fromQString(toQString(bytes)), bytes);
        }
    }
    EXPECT_EQ(keptOrTyped(QString::fromUtf8("Café 2"), "Caf\xE9"), "Caf\xC3\xA9 2");
    EXPECT_EQ(keptOrTyped(QString::fromUtf8("Café"), ""), "Caf\xC3\xA9");
}
