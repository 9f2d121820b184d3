// Bytes from files shown in the toolkit and back: UTF-8 where the bytes are UTF-8, Windows-1252
// where they are not, and the bytes themselves back while the text is unchanged.
#include "platform/qt_text.h"

#include <QList>

#include <gtest/gtest.h>

#include <set>
#include <utility>

using namespace groovane;

TEST(QtText, OnlyWellFormedUtf8ReadsAsUtf8)
{
    const std::pair<const char*, char32_t> utf8[] = {{"\xC3\xA9", 0xE9},
                                                     {"\xE2\x82\xAC", 0x20AC},
                                                     {"\xF0\x9D\x84\x9E", 0x1D11E},
                                                     {"\xF4\x8F\xBF\xBF", 0x10FFFF},
                                                     {"\xEF\xBB\xBF", 0xFEFF},
                                                     {"\xEF\xBF\xBF", 0xFFFF}};
    for (const auto& [bytes, character] : utf8)
        EXPECT_EQ(toQString(bytes).toUcs4(), QList<uint>{uint(character)}) << bytes;
    // Overlong forms, surrogates, values past U+10FFFF, stray and cut-short sequences: one
    // Windows-1252 character per byte.
    for (const char* other : {"\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF0\x80\x80\x80",
                              "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\x80", "\xE2\x82", "\xC3"})
        EXPECT_EQ(toQString(other).size(), qsizetype(std::string_view(other).size())) << other;
    EXPECT_EQ(toQString("\xE2\x28\xAC"), QString::fromUtf8("â(¬"));
    EXPECT_EQ(toQString(std::string("a\0b", 3)).size(), 3);
}

TEST(QtText, BytesThatAreNotUtf8ShowAsWindows1252OneCharacterEach)
{
    EXPECT_EQ(toQString("Caf\xE9"), QString::fromUtf8("Café"));
    EXPECT_EQ(toQString("Caf\xC3\xA9"), QString::fromUtf8("Café"));
    EXPECT_EQ(toQString("\x80\x9F\xA0\xFF"), QString::fromUtf8("€Ÿ\u00A0ÿ"));
    // A UTF-8 folder name and a Windows-1252 pattern name in one message both read right.
    EXPECT_EQ(toQString("/home/Jos\xC3\xA9/Caf\xE9.pat"), QString::fromUtf8("/home/José/Café.pat"));
    EXPECT_EQ(toQString("\xF0\x9D\x84\x9E\xE2\x82"), QString::fromUtf8("𝄞â‚"));
    EXPECT_EQ(toQString("\xEF\xBB\xBF"
                        "a")
                  .size(),
              2)
        << "a leading byte-order mark is kept";

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
    for (const std::string& bytes : {std::string("Caf\xE9"), std::string("Caf\xC3\xA9"),
                                     std::string("\xEF\xBB\xBF"
                                                 "bom"),
                                     std::string("\x81\x8D\x8F\x90\x9D"), std::string("a\0b\xE9", 4),
                                     std::string("\xEF\xBF\xBF"), std::string("")}) {
        EXPECT_EQ(keptOrTyped(toQString(bytes), bytes), bytes);
    }
    // UTF-8 goes back as itself even where nothing kept the bytes.
    for (const char* utf8 : {"Caf\xC3\xA9",
                             "\xEF\xBB\xBF"
                             "bom",
                             "\xF0\x9D\x84\x9E"})
        EXPECT_EQ(fromQString(toQString(utf8)), utf8);
    EXPECT_EQ(keptOrTyped(QString::fromUtf8("Café 2"), "Caf\xE9"), "Caf\xC3\xA9 2");
    EXPECT_EQ(keptOrTyped(QString::fromUtf8("Café"), ""), "Caf\xC3\xA9");
}
