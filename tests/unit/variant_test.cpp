#include <gtest/gtest.h>

#include "tests/support/error_of.h"

#include "host/error_mode.h"
#include "host/automation.h"

using host::Variant;

namespace {

using testing_support::errorOf;

TEST(VariantComparison, NumbersStringsAndEmptyCompareNumerically) {
    EXPECT_EQ(host::equalsInteger(Variant(0), 0), true);
    EXPECT_EQ(host::equalsInteger(Variant(3), 0), false);
    EXPECT_EQ(host::equalsInteger(Variant(0.0), 0), true);
    EXPECT_EQ(host::equalsInteger(Variant(L" 0 "), 0), true);
    EXPECT_EQ(host::equalsInteger(Variant(L"43"), 43), true);
    EXPECT_EQ(host::equalsInteger(Variant(), 0), true);
    EXPECT_EQ(host::equalsInteger(Variant(true), -1), true);
    EXPECT_EQ(host::lessOrEqualInteger(Variant(1), 1), true);
    EXPECT_EQ(host::lessOrEqualInteger(Variant(2), 1), false);
    EXPECT_EQ(host::lessOrEqualInteger(Variant(-5), 1), true);
}

TEST(VariantComparison, NullGivesNullAndTheWrongKindsRaiseTypeMismatch) {
    EXPECT_EQ(host::equalsInteger(Variant::null(), 0), std::nullopt);
    EXPECT_EQ(errorOf([] { (void)host::equalsInteger(Variant(L"zero"), 0); }), host::hresult::typeMismatch);
    EXPECT_EQ(errorOf([] { (void)host::equalsInteger(Variant(L""), 0); }), host::hresult::typeMismatch);
    EXPECT_EQ(errorOf([] { (void)host::equalsInteger(Variant(host::Object()), 0); }), host::hresult::typeMismatch);
    EXPECT_EQ(errorOf([] { (void)host::equalsInteger(Variant::missing(), 0); }), host::hresult::typeMismatch);
}

TEST(VariantText, ConvertsAsAutomationDoes) {
    EXPECT_EQ(Variant(L"DODuruda_Vored.Connect").toText(), L"DODuruda_Vored.Connect");
    EXPECT_EQ(Variant(1).toText(), L"1");
    EXPECT_EQ(Variant(1.5).toText(), L"1.5");
    EXPECT_EQ(Variant(1e20).toText(), L"1E+20");
    EXPECT_EQ(Variant(true).toText(), L"True");
    EXPECT_EQ(Variant().toText(), L"");
    EXPECT_EQ(errorOf([] { (void)Variant::null().toText(); }), host::hresult::invalidUseOfNull);
    EXPECT_EQ(errorOf([] { (void)Variant(host::Object()).toText(); }), host::hresult::typeMismatch);
}

TEST(ErrorModes, AConditionThatFailsToEvaluateCountsAsHolding) {
    EXPECT_TRUE(host::holdsOrFailsToEvaluate([] { return true; }));
    EXPECT_FALSE(host::holdsOrFailsToEvaluate([] { return false; }));
    EXPECT_TRUE(host::holdsOrFailsToEvaluate([]() -> bool { throw host::Error(host::hresult::fail); }));
    int steps = 0;
    host::resumeNext([&] {
        ++steps;
        throw host::Error(host::hresult::fail);
    });
    host::resumeNext([&] { ++steps; });
    EXPECT_EQ(steps, 2);
}

TEST(ErrorModes, AndFollowsThreeValuedLogic) {
    using host::tristateAnd;
    const host::Tristate null;
    EXPECT_EQ(tristateAnd(true, true), true);
    EXPECT_EQ(tristateAnd(true, false), false);
    EXPECT_EQ(tristateAnd(null, false), false);
    EXPECT_EQ(tristateAnd(false, null), false);
    EXPECT_EQ(tristateAnd(true, null), null);
    EXPECT_FALSE(host::holds(tristateAnd(null, null)));
}

}  // namespace
