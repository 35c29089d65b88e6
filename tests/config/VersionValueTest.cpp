#include "config/VersionValue.h"

#include <gtest/gtest.h>

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

TEST(VersionParse, DigitRunsAreComponents)
{
    EXPECT_EQ(Roundtrip(L"1.2.3"), L"1.2.3");
    EXPECT_EQ(Roundtrip(L"1,2,3"), L"1.2.3");
    EXPECT_EQ(Roundtrip(L"version 1 build 2 rev 3"), L"1.2.3");
    EXPECT_EQ(Roundtrip(L"7"), L"7.0");
    EXPECT_EQ(Roundtrip(L"1.2.3.4.5"), L"1.2.3.4");
    EXPECT_EQ(Roundtrip(L"abc"), L"<invalid>");
}

TEST(VersionParse, ComponentOverflowRule)
{
    VersionValue value;
    ASSERT_TRUE(ParseVersion(L"2147483649", value));
    EXPECT_EQ(value.components[0], 2147483649u);
    EXPECT_FALSE(ParseVersion(L"1.3000000000", value));
    EXPECT_TRUE(value.IsEmpty());
}

TEST(VersionFormat, TrailingZeroAnd65535ComponentsAreDropped)
{
    EXPECT_EQ(FormatVersion(Make(10, 0, 19041, 0)), L"10.0.19041");
    EXPECT_EQ(FormatVersion(Make(6, 2, 65535, 65535)), L"6.2");
    EXPECT_EQ(FormatVersion(Make(4, 65535, 0, 7)), L"4.65535.0.7");
    EXPECT_EQ(FormatVersion(Make(0, 0, 0, 0)), L"0.0.0.0");
}

TEST(VersionCompare, ComponentsCompareAsSigned)
{
    EXPECT_LT(Make(1, 2, 0, 0).Compare(Make(1, 10, 0, 0)), 0);
    // 2147483648 reads as negative, so it is lower than 1.
    EXPECT_LT(Make(2147483648u, 0, 0, 0).Compare(Make(1, 0, 0, 0)), 0);
}

TEST(VersionRange, BoundsAreInclusiveAndOptional)
{
    const std::vector<std::wstring> found{L"2.1"};
    EXPECT_TRUE(VersionInRange(L"2.1", L"2.1.0.0", found));
    EXPECT_TRUE(VersionInRange(L"2.0", L"", found));
    EXPECT_FALSE(VersionInRange(L"2.2", L"", found));
    EXPECT_FALSE(VersionInRange(L"", L"2.0.9", found));
}

TEST(VersionRange, EmptyListNeverMatchesAndUnparsableVersionsNeedNoBounds)
{
    EXPECT_FALSE(VersionInRange(L"", L"", {}));
    EXPECT_TRUE(VersionInRange(L"", L"", {L"not a version"}));
    EXPECT_FALSE(VersionInRange(L"1.0", L"", {L"not a version"}));
    EXPECT_TRUE(VersionInRange(L"1.0", L"", {L"junk", L"0.9", L"1.5"}));
}

TEST(ReferenceOperators, EachOperator)
{
    EXPECT_TRUE(ReferenceTest(L"Cbc", L"abcd"));
    EXPECT_TRUE(ReferenceTest(L"Dabc", L"abd"));
    EXPECT_FALSE(ReferenceTest(L"Dabc", L"abc"));
    EXPECT_TRUE(ReferenceTest(L"Ecd", L"abcd"));
    EXPECT_FALSE(ReferenceTest(L"ECD", L"abcd"));
    EXPECT_TRUE(ReferenceTest(L"G5", L"10"));
    EXPECT_TRUE(ReferenceTest(L"L10", L"5"));
    EXPECT_FALSE(ReferenceTest(L"Mabc", L"ABC"));
    EXPECT_TRUE(ReferenceTest(L"Sab", L"abc"));
    EXPECT_TRUE(ReferenceTest(L"Xzz", L"abc"));
    EXPECT_FALSE(ReferenceTest(L"X", L"abc"));
    EXPECT_FALSE(ReferenceTest(L"Qabc", L"abc"));
    EXPECT_FALSE(ReferenceTest(L"", L""));
}

TEST(ReferenceOperators, NumericOperatorsNeedDigitsOnly)
{
    EXPECT_FALSE(ReferenceTest(L"G100", L"0100"));
    EXPECT_FALSE(ReferenceTest(L"G-1", L"5"));
    EXPECT_FALSE(ReferenceTest(L"G1", L" 5"));
    EXPECT_TRUE(ReferenceTest(L"L1", L""));  // an empty text reads as 0
}
