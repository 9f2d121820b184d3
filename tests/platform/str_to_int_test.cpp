#include "platform/exception.h"
#include "platform/str_to_int.h"

#include <gtest/gtest.h>

using namespace groovane;

TEST(StrToInt, AcceptsSignedDecimalsAcrossTheWhole32BitRange)
{
    EXPECT_EQ(strToInt("0"), 0);
    EXPECT_EQ(strToInt("16"), 16);
    EXPECT_EQ(strToInt("-2000"), -2000);
    EXPECT_EQ(strToInt("+7"), 7);
    EXPECT_EQ(strToInt("007"), 7);
    EXPECT_EQ(strToInt("2147483647"), INT32_MAX);
    EXPECT_EQ(strToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, RejectsEverythingElseWithTheTextInTheMessage)
{
    for (const std::string bad : {"", " ", "1x", "x1", " 16", "16 ", "1 6", "-", "+", "2147483648", "-2147483649",
                                  "99999999999999999999999", "$10", "0x10", "1.5"}) {
        EXPECT_FALSE(tryStrToInt(bad).has_value()) << bad;
        try {
            strToInt(bad);
            ADD_FAILURE() << "no error for '" << bad << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + bad + "' is not a valid integer value");
        }
    }
}

TEST(FormatMessage, FillsTheOnePlaceholder)
{
    EXPECT_EQ(formatMessage("Cannot open file %s", "Rock_kit.dxg"), "Cannot open file Rock_kit.dxg");
    EXPECT_EQ(formatMessage("Wave '%s' not found", "Kick"), "Wave 'Kick' not found");
    EXPECT_EQ(formatMessage("Sample%d", 5LL), "Sample5");
    EXPECT_EQ(formatMessage("no placeholder", "x"), "no placeholder");
}
