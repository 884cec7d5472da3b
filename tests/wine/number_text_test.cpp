// Doubles as text and back in the DLL go through Automation's conversions, as Visual Basic's do.
#include <gtest/gtest.h>

#include "host/error.h"
#include "host/number_text.h"
#include "host/variant.h"

namespace {

TEST(AutomationNumberText, WritesAndReadsDoublesAsAutomationDoes) {
    EXPECT_EQ(host::doubleText(1.5), L"1.5");
    EXPECT_EQ(host::doubleText(-0.25), L"-0.25");
    EXPECT_EQ(host::doubleText(1e20), L"1E+20");
    EXPECT_EQ(host::Variant(2.0).toText(), L"2");

    EXPECT_EQ(host::parseDouble(L" 42 "), 42.0);
    EXPECT_EQ(host::parseDouble(L"4.5e1"), 45.0);
    EXPECT_EQ(host::parseDouble(L"forty"), std::nullopt);
    EXPECT_EQ(host::parseDouble(L""), std::nullopt);
    // A numeric string compares with a number by its value; other text does not compare.
    EXPECT_EQ(host::compareWithInteger(host::Variant(L"0"), 0), 0);
    EXPECT_EQ(host::compareWithInteger(host::Variant(L"1.5"), 1), 1);
    EXPECT_THROW(host::compareWithInteger(host::Variant(L"none"), 0), host::Error);
}

TEST(AutomationNumberText, WritesIntegersAndCodesWithoutTheCLibrary) {
    EXPECT_EQ(host::decimalText(0), L"0");
    EXPECT_EQ(host::decimalText(-2147483648LL), L"-2147483648");
    EXPECT_EQ(host::decimalText(INT64_MIN), L"-9223372036854775808");
    EXPECT_EQ(host::hexText(0x8007000E), "0x8007000E");
    EXPECT_EQ(host::hexText(0xF, 2), "0x0F");
}

}  // namespace
