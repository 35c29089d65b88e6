#include "config/VersionValue.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace orvanta;

namespace {

std::wstring Roundtrip(const std::wstring& text)
{
    VersionValue value;
    if (!ParseVersion(text, value))
        return L"<invalid>";
    return FormatVersion(value);
}

VersionValue Make(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    VersionValue value;
    value.components = {a, b, c, d};
    return value;
}

} // namespace

TEST(VersionParse, DigitRunsAreComponentsAndOverflowMakesItInvalid)
{
    EXPECT_EQ(Roundtrip(L"1.2.3"), L"1.2.3");
    EXPECT_EQ(Roundtrip(L"1,2,3"), L"1.2.3");
    EXPECT_EQ(Roundtrip(L"version 1 build 2 rev 3"), L"1.2.3");
    EXPECT_EQ(Roundtrip(L"7"), L"7.0");
    EXPECT_EQ(Roundtrip(L"1.2.3.4.5"), L"1.2.3.4");
    EXPECT_EQ(Roundtrip(L"abc"), L"<invalid>");

    VersionValue value;
    ASSERT_TRUE(ParseVersion(L"2147483649", value));
    EXPECT_EQ(value.components[0], 2147483649u);
    EXPECT_FALSE(ParseVersion(L"1.3000000000", value));
    EXPECT_TRUE(value.IsEmpty());
}

TEST(VersionFormat, TrailingZeroAnd65535ComponentsAreDroppedAndComponentsCompareAsSigned)
{
    EXPECT_EQ(FormatVersion(Make(10, 0, 19041, 0)), L"10.0.19041");
    EXPECT_EQ(FormatVersion(Make(6, 2, 65535, 65535)), L"6.2");
    EXPECT_EQ(FormatVersion(Make(4, 65535, 0, 7)), L"4.65535.0.7");
    EXPECT_EQ(FormatVersion(Make(0, 0, 0, 0)), L"0.0.0.0");

    EXPECT_LT(Make(1, 2, 0, 0).Compare(Make(1, 10, 0, 0)), 0);
    // 2147483648 reads as negative, so it is lower than 1.
    EXPECT_LT(Make(2147483648u, 0, 0, 0).Compare(Make(1, 0, 0, 0)), 0);
}

TEST(VersionRange, BoundsAreInclusiveAndOptionalEmptyListsNeverMatch)
{
    const std::vector<std::wstring> found{L"2.1"};
    EXPECT_TRUE(VersionInRange(L"2.1", L"2.1.0.0", found));
    EXPECT_TRUE(VersionInRange(L"2.0", L"", found));
    EXPECT_FALSE(VersionInRange(L"2.2", L"", found));
    EXPECT_FALSE(VersionInRange(L"", L"2.0.9", found));

    // Unparsable versions pass only without bounds.
    EXPECT_FALSE(VersionInRange(L"", L"", {}));
    EXPECT_TRUE(VersionInRange(L"", L"", {L"not a version"}));
    EXPECT_FALSE(VersionInRange(L"1.0", L"", {L"not a version"}));
    EXPECT_TRUE(VersionInRange(L"1.0", L"", {L"junk", L"0.9", L"1.5"}));
}

TEST(ReferenceOperators, EachOperatorNumericOnesNeedDigitsOnly)
{
    // Numeric operators take digits only; an empty text reads as 0.
    const std::tuple<const wchar_t*, const wchar_t*, bool> cases[] = {
        {L"Cbc", L"abcd", true}, {L"Dabc", L"abd", true}, {L"Dabc", L"abc", false}, {L"Ecd", L"abcd", true},
        {L"ECD", L"abcd", false}, {L"G5", L"10", true}, {L"L10", L"5", true}, {L"Mabc", L"ABC", false},
        {L"Sab", L"abc", true}, {L"Xzz", L"abc", true}, {L"X", L"abc", false}, {L"Qabc", L"abc", false},
        {L"", L"", false}, {L"G100", L"0100", false}, {L"G-1", L"5", false}, {L"G1", L" 5", false},
        {L"L1", L"", true},
    };
    for (const auto& [reference, text, holds] : cases)
        EXPECT_EQ(ReferenceTest(reference, text), holds) << reference << " " << text;
}
