// The packages' reading of Office's bitness values.
#include <gtest/gtest.h>

#include "installer/checks/office_bitness.h"

namespace {

using zeltra::setup::Bitness;
using zeltra::setup::bitnessNamed;
using zeltra::setup::otherOfficeFound;

TEST(OfficeBitness, TheValuesNameBitnessInAnyCase) {
    EXPECT_EQ(bitnessNamed(L"x64"), Bitness::x64);
    EXPECT_EQ(bitnessNamed(L"X64"), Bitness::x64);
    EXPECT_EQ(bitnessNamed(L"x86"), Bitness::x86);
    EXPECT_EQ(bitnessNamed(L"X86"), Bitness::x86);
}

TEST(OfficeBitness, AnyOtherTextNamesNone) {
    for (const std::wstring text : {L"", L"x32", L"amd64", L"x64 ", L" x86", L"x86x64", L"64"})
        EXPECT_EQ(bitnessNamed(text), std::nullopt) << std::string(text.begin(), text.end());
}

TEST(OfficeBitness, OfficeOfTheOtherBitnessIsFoundAmongAnyValues) {
    EXPECT_TRUE(otherOfficeFound(Bitness::x64, {L"x86"}));
    EXPECT_TRUE(otherOfficeFound(Bitness::x86, {L"x64"}));
    EXPECT_TRUE(otherOfficeFound(Bitness::x86, {L"x86", L"", L"X64"})) << "one value of the other bitness is enough";
}

TEST(OfficeBitness, NoOfficeOrOfficeOfTheSameBitnessIsNoReasonToRefuse) {
    EXPECT_FALSE(otherOfficeFound(Bitness::x64, {}));
    EXPECT_FALSE(otherOfficeFound(Bitness::x64, {L"x64", L"X64"}));
    EXPECT_FALSE(otherOfficeFound(Bitness::x86, {L"x86"}));
    EXPECT_FALSE(otherOfficeFound(Bitness::x86, {L"unknown", L""})) << "values that name no bitness are left aside";
}

}  // namespace
