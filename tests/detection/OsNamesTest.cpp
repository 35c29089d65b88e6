// Representative rows of the coarse and detailed name tables, for each combination of the
// server and 64-bit flags.
#include "detection/OsIdentification.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

OsVersionInfo Os(uint32_t major, uint32_t minor, uint32_t build, uint32_t servicePack, bool server, bool wow64)
{
    OsVersionInfo info;
    info.major = major;
    info.minor = minor;
    info.build = build;
    info.servicePack = servicePack;
    info.server = server;
    info.productType = server ? 3 : 1;
    info.wow64 = wow64;
    return info;
}

// The expected name for each of the four flag combinations.
struct NameRow {
    uint32_t major, minor, build, servicePack;
    const wchar_t* serverX64;
    const wchar_t* serverX86;
    const wchar_t* workstationX64;
    const wchar_t* workstationX86;
};

template <typename Name>
void ExpectRows(std::initializer_list<NameRow> rows, Name name)
{
    for (const NameRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.major << "." << row.minor << " build " << row.build << " SP"
                                        << row.servicePack);
        EXPECT_EQ(name(Os(row.major, row.minor, row.build, row.servicePack, true, true)), row.serverX64);
        EXPECT_EQ(name(Os(row.major, row.minor, row.build, row.servicePack, true, false)), row.serverX86);
        EXPECT_EQ(name(Os(row.major, row.minor, row.build, row.servicePack, false, true)), row.workstationX64);
        EXPECT_EQ(name(Os(row.major, row.minor, row.build, row.servicePack, false, false)), row.workstationX86);
    }
}

const wchar_t kNone[] = L"OsNotIdentified";

} // namespace

TEST(OsNames, CoarseNamesFollowVersionServerAndArchitectureWindows11NeverEndsInX86)
{
    ExpectRows({{11, 0, 22631, 0, L"Windows Server x64", L"Windows 11 x64", L"Windows 11 x64", L"Windows 11 x64"},
                {10, 0, 19045, 0, L"Windows Server x64", L"Windows 10 x86", L"Windows 10 x64", L"Windows 10 x86"},
                {6, 1, 7601, 1, L"Windows Server 2008 R2 x64", L"Windows 7 x86", L"Windows 7 x64", L"Windows 7 x86"},
                {5, 2, 3790, 2, L"Windows Server 2003 x64", L"Windows Server 2003 x86", L"Windows XP x64",
                 L"Windows XP x64"},
                {5, 1, 2600, 3, L"Windows XP x86", L"Windows XP x86", L"Windows XP x86", L"Windows XP x86"}},
               CoarseOsName);

    ExpectRows({{11, 0, 22000, 0, L"Windows 11 version 21H2 x64", L"Windows 11 version 21H2 x64",
                 L"Windows 11 version 21H2 x64", L"Windows 11 version 21H2 x64"},
                {11, 0, 22631, 0, L"Windows 11 version 23H2 x64", L"Windows 11 version 23H2 x64",
                 L"Windows 11 version 23H2 x64", L"Windows 11 version 23H2 x64"},
                {11, 0, 22001, 0, L"Windows Server x64", L"Windows 11 x64", L"Windows 11 x64", L"Windows 11 x64"}},
               DetailedOsName);
}

TEST(OsNames, UnknownVersionsAreNotIdentifiedAndWindows10OrLaterComparesMajorThenMinor)
{
    for (const auto& name : {CoarseOsName, DetailedOsName}) {
        ExpectRows({{0, 0, 0, 0, kNone, kNone, kNone, kNone},
                    {5, 0, 2195, 4, kNone, kNone, kNone, kNone},
                    {6, 4, 9841, 0, kNone, kNone, kNone, kNone},
                    {10, 1, 19045, 0, kNone, kNone, kNone, kNone},
                    {12, 0, 30000, 0, kNone, kNone, kNone, kNone}},
                   name);
    }

    EXPECT_TRUE(IsWindows10OrLater(Os(10, 0, 0, 0, false, false)));
    EXPECT_TRUE(IsWindows10OrLater(Os(11, 0, 22000, 0, false, true)));
    EXPECT_FALSE(IsWindows10OrLater(Os(9, 9, 99999, 9, false, false)));
    EXPECT_FALSE(IsWindows10OrLater(OsVersionInfo()));
}

TEST(DetailedOsName, Windows10BuildsTakeServerNamesOnlyWhenServerAnd64BitOlderOnesFollowTheServicePack)
{
    ExpectRows({{10, 0, 10240, 0, L"Windows 10 version 1507 x64", L"Windows 10 version 1507 x86",
                 L"Windows 10 version 1507 x64", L"Windows 10 version 1507 x86"},
                {10, 0, 20348, 0, L"Windows Server 2022 x64", L"Windows 10 version 21H2 x86",
                 L"Windows 10 version 21H2 x64", L"Windows 10 version 21H2 x86"},
                {10, 0, 19046, 0, L"Windows Server x64", L"Windows 10 x86", L"Windows 10 x64", L"Windows 10 x86"},
                // Windows 11 builds read as 10.0 are not Windows 11 names: only the registry reading raises the major.
                {10, 0, 22631, 0, L"Windows Server x64", L"Windows 10 x86", L"Windows 10 x64", L"Windows 10 x86"}},
               DetailedOsName);

    ExpectRows({{6, 3, 9600, 1, L"Windows Server 2012 R2 x64", L"Windows 8.1 x86", L"Windows 8.1 x64",
                 L"Windows 8.1 x86"},
                {6, 1, 7600, 0, L"Windows Server 2008 R2 RTM x64", L"Windows 7 RTM x86", L"Windows 7 RTM x64",
                 L"Windows 7 RTM x86"},
                {6, 0, 6001, 1, L"Windows Server 2008 RTM x64", L"Windows Server 2008 RTM x86",
                 L"Windows Vista SP1 x64", L"Windows Vista SP1 x86"},
                {5, 2, 3790, 1, L"Windows Server 2003 SP1 x64", L"Windows Server 2003 SP1 x86", L"Windows XP SP1 x64",
                 L"Windows XP SP1 x64"},
                {5, 1, 2600, 4, L"Windows XP x86", L"Windows XP x86", L"Windows XP x86", L"Windows XP x86"},
                // "Service Pack 1a" ends in a letter: 'a' - '0' is 49, an unlisted service pack.
                {6, 1, 7601, 49, L"Windows Server 2008 R2 x64", L"Windows 7 x86", L"Windows 7 x64", L"Windows 7 x86"}},
               DetailedOsName);
}

