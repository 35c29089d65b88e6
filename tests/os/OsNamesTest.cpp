// Every row of the coarse and detailed name tables, for each combination of the server and
// 64-bit flags.
#include "detection/OsIdentification.h"

#include <gtest/gtest.h>

#include <iterator>

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
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint32_t servicePack;
    const wchar_t* serverX64;
    const wchar_t* serverX86;
    const wchar_t* workstationX64;
    const wchar_t* workstationX86;
};

template <typename Name>
void ExpectRows(const NameRow* rows, size_t count, Name name)
{
    for (size_t i = 0; i < count; ++i) {
        const NameRow& row = rows[i];
        SCOPED_TRACE(testing::Message() << row.major << "." << row.minor << " build " << row.build << " SP"
                                        << row.servicePack);
        EXPECT_EQ(name(Os(row.major, row.minor, row.build, row.servicePack, true, true)), row.serverX64);
        EXPECT_EQ(name(Os(row.major, row.minor, row.build, row.servicePack, true, false)), row.serverX86);
        EXPECT_EQ(name(Os(row.major, row.minor, row.build, row.servicePack, false, true)), row.workstationX64);
        EXPECT_EQ(name(Os(row.major, row.minor, row.build, row.servicePack, false, false)), row.workstationX86);
    }
}

const NameRow kCoarseRows[] = {
    {11, 0, 22631, 0, L"Windows Server x64", L"Windows 11 x64", L"Windows 11 x64", L"Windows 11 x64"},
    {10, 0, 19045, 0, L"Windows Server x64", L"Windows 10 x86", L"Windows 10 x64", L"Windows 10 x86"},
    {6, 3, 9600, 0, L"Windows Server 2012 R2 x64", L"Windows 8.1 x86", L"Windows 8.1 x64", L"Windows 8.1 x86"},
    {6, 2, 9200, 0, L"Windows Server 2012 x64", L"Windows 8 x86", L"Windows 8 x64", L"Windows 8 x86"},
    {6, 1, 7601, 1, L"Windows Server 2008 R2 x64", L"Windows 7 x86", L"Windows 7 x64", L"Windows 7 x86"},
    {6, 0, 6002, 2, L"Windows Server 2008 x64", L"Windows Server 2008 x86", L"Windows Vista x64",
     L"Windows Vista x86"},
    {5, 2, 3790, 2, L"Windows Server 2003 x64", L"Windows Server 2003 x86", L"Windows XP x64", L"Windows XP x64"},
    {5, 1, 2600, 3, L"Windows XP x86", L"Windows XP x86", L"Windows XP x86", L"Windows XP x86"},
};

const NameRow kUnidentifiedRows[] = {
    {0, 0, 0, 0, L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified"},
    {4, 0, 1381, 6, L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified"},
    {5, 0, 2195, 4, L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified"},
    {5, 3, 0, 0, L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified"},
    {6, 4, 9841, 0, L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified"},
    {10, 1, 19045, 0, L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified"},
    {11, 1, 22631, 0, L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified"},
    {12, 0, 30000, 0, L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified", L"OsNotIdentified"},
};

const NameRow kWindows11DetailedRows[] = {
    {11, 0, 22000, 0, L"Windows 11 version 21H2 x64", L"Windows 11 version 21H2 x64",
     L"Windows 11 version 21H2 x64", L"Windows 11 version 21H2 x64"},
    {11, 0, 22621, 0, L"Windows 11 version 22H2 x64", L"Windows 11 version 22H2 x64",
     L"Windows 11 version 22H2 x64", L"Windows 11 version 22H2 x64"},
    {11, 0, 22631, 0, L"Windows 11 version 23H2 x64", L"Windows 11 version 23H2 x64",
     L"Windows 11 version 23H2 x64", L"Windows 11 version 23H2 x64"},
    {11, 0, 26100, 0, L"Windows Server x64", L"Windows 11 x64", L"Windows 11 x64", L"Windows 11 x64"},
    {11, 0, 22001, 0, L"Windows Server x64", L"Windows 11 x64", L"Windows 11 x64", L"Windows 11 x64"},
};

// One Windows 10 build: the server name, then the version name in each architecture.
#define W10(build, serverName, version)                                                              \
    {10, 0, build, 0, serverName, L"Windows 10 version " version L" x86",                            \
     L"Windows 10 version " version L" x64", L"Windows 10 version " version L" x86"}

const NameRow kWindows10DetailedRows[] = {
    W10(10240, L"Windows 10 version 1507 x64", L"1507"),
    W10(10586, L"Windows 10 version 1511 x64", L"1511"),
    W10(14393, L"Windows Server 2016 x64", L"1607"),
    W10(15063, L"Windows 10 version 1703 x64", L"1703"),
    W10(16299, L"Windows 10 version 1709 x64", L"1709"),
    W10(17134, L"Windows 10 version 1803 x64", L"1803"),
    W10(17763, L"Windows Server 2019 x64", L"1809"),
    W10(18362, L"Windows 10 version 1903 x64", L"1903"),
    W10(18363, L"Windows 10 version 1909 x64", L"1909"),
    W10(19041, L"Windows 10 version 2004 x64", L"2004"),
    W10(19042, L"Windows 10 version 20H2 x64", L"20H2"),
    W10(19043, L"Windows 10 version 21H1 x64", L"21H1"),
    W10(19044, L"Windows 10 version 21H2 x64", L"21H2"),
    W10(19045, L"Windows 10 version 22H2 x64", L"22H2"),
    W10(20348, L"Windows Server 2022 x64", L"21H2"),
    {10, 0, 19046, 0, L"Windows Server x64", L"Windows 10 x86", L"Windows 10 x64", L"Windows 10 x86"},
    {10, 0, 0, 0, L"Windows Server x64", L"Windows 10 x86", L"Windows 10 x64", L"Windows 10 x86"},
    // Windows 11 builds read as 10.0 are not Windows 11 names: only the registry reading raises the major.
    {10, 0, 22631, 0, L"Windows Server x64", L"Windows 10 x86", L"Windows 10 x64", L"Windows 10 x86"},
};

#undef W10

const NameRow kWindows6And5DetailedRows[] = {
    {6, 3, 9600, 0, L"Windows Server 2012 R2 x64", L"Windows 8.1 x86", L"Windows 8.1 x64", L"Windows 8.1 x86"},
    {6, 3, 9600, 1, L"Windows Server 2012 R2 x64", L"Windows 8.1 x86", L"Windows 8.1 x64", L"Windows 8.1 x86"},
    {6, 2, 9200, 0, L"Windows Server 2012 x64", L"Windows 8 x86", L"Windows 8 x64", L"Windows 8 x86"},
    {6, 2, 9200, 2, L"Windows Server 2012 x64", L"Windows 8 x86", L"Windows 8 x64", L"Windows 8 x86"},
    {6, 1, 7600, 0, L"Windows Server 2008 R2 RTM x64", L"Windows 7 RTM x86", L"Windows 7 RTM x64",
     L"Windows 7 RTM x86"},
    {6, 1, 7601, 1, L"Windows Server 2008 R2 SP1 x64", L"Windows 7 SP1 x86", L"Windows 7 SP1 x64",
     L"Windows 7 SP1 x86"},
    {6, 1, 7601, 2, L"Windows Server 2008 R2 x64", L"Windows 7 x86", L"Windows 7 x64", L"Windows 7 x86"},
    {6, 0, 6000, 0, L"Windows Server 2008 RTM x64", L"Windows Server 2008 RTM x86", L"Windows Vista RTM x64",
     L"Windows Vista RTM x86"},
    {6, 0, 6001, 1, L"Windows Server 2008 RTM x64", L"Windows Server 2008 RTM x86", L"Windows Vista SP1 x64",
     L"Windows Vista SP1 x86"},
    {6, 0, 6002, 2, L"Windows Server 2008 SP2 x64", L"Windows Server 2008 SP2 x86", L"Windows Vista SP2 x64",
     L"Windows Vista SP2 x86"},
    {6, 0, 6003, 3, L"Windows Server 2008 x64", L"Windows Server 2008 x86", L"Windows Vista x64",
     L"Windows Vista x86"},
    {5, 2, 3790, 0, L"Windows Server 2003 x64", L"Windows Server 2003 x86", L"Windows XP x64", L"Windows XP x64"},
    {5, 2, 3790, 1, L"Windows Server 2003 SP1 x64", L"Windows Server 2003 SP1 x86", L"Windows XP SP1 x64",
     L"Windows XP SP1 x64"},
    {5, 2, 3790, 2, L"Windows Server 2003 SP2 x64", L"Windows Server 2003 SP2 x86", L"Windows XP SP2 x64",
     L"Windows XP SP2 x64"},
    {5, 2, 3790, 3, L"Windows Server 2003 x64", L"Windows Server 2003 x86", L"Windows XP x64", L"Windows XP x64"},
    {5, 1, 2600, 0, L"Windows XP x86", L"Windows XP x86", L"Windows XP x86", L"Windows XP x86"},
    {5, 1, 2600, 1, L"Windows XP SP1 x86", L"Windows XP SP1 x86", L"Windows XP SP1 x86", L"Windows XP SP1 x86"},
    {5, 1, 2600, 2, L"Windows XP SP2 x86", L"Windows XP SP2 x86", L"Windows XP SP2 x86", L"Windows XP SP2 x86"},
    {5, 1, 2600, 3, L"Windows XP SP3 x86", L"Windows XP SP3 x86", L"Windows XP SP3 x86", L"Windows XP SP3 x86"},
    {5, 1, 2600, 4, L"Windows XP x86", L"Windows XP x86", L"Windows XP x86", L"Windows XP x86"},
    // "Service Pack 1a" ends in a letter: 'a' - '0' is 49, an unlisted service pack.
    {6, 1, 7601, 49, L"Windows Server 2008 R2 x64", L"Windows 7 x86", L"Windows 7 x64", L"Windows 7 x86"},
};

} // namespace

TEST(CoarseOsName, EveryTableRowForEachServerAndArchitectureCombination)
{
    ExpectRows(kCoarseRows, std::size(kCoarseRows), CoarseOsName);
}

TEST(CoarseOsName, UnknownVersionsAreNotIdentified)
{
    ExpectRows(kUnidentifiedRows, std::size(kUnidentifiedRows), CoarseOsName);
    EXPECT_EQ(CoarseOsName(OsVersionInfo()), L"OsNotIdentified");
}

TEST(DetailedOsName, Windows11BuildsNeverEndInX86)
{
    ExpectRows(kWindows11DetailedRows, std::size(kWindows11DetailedRows), DetailedOsName);
}

TEST(DetailedOsName, Windows10BuildsTakeTheServerNameOnlyWhenServerAnd64Bit)
{
    ExpectRows(kWindows10DetailedRows, std::size(kWindows10DetailedRows), DetailedOsName);
}

TEST(DetailedOsName, Windows6And5NamesFollowTheServicePack)
{
    ExpectRows(kWindows6And5DetailedRows, std::size(kWindows6And5DetailedRows), DetailedOsName);
}

TEST(DetailedOsName, UnknownVersionsAreNotIdentified)
{
    ExpectRows(kUnidentifiedRows, std::size(kUnidentifiedRows), DetailedOsName);
    EXPECT_EQ(DetailedOsName(OsVersionInfo()), L"OsNotIdentified");
}

TEST(DetailedOsName, DesignExamples)
{
    EXPECT_EQ(DetailedOsName(Os(10, 0, 20348, 0, true, true)), L"Windows Server 2022 x64");
    EXPECT_EQ(DetailedOsName(Os(10, 0, 20348, 0, false, true)), L"Windows 10 version 21H2 x64");
    EXPECT_EQ(DetailedOsName(Os(10, 0, 14393, 0, true, false)), L"Windows 10 version 1607 x86");
}

TEST(IsWindows10OrLater, ComparesMajorThenMinor)
{
    EXPECT_TRUE(IsWindows10OrLater(Os(10, 0, 0, 0, false, false)));
    EXPECT_TRUE(IsWindows10OrLater(Os(10, 0, 19045, 0, true, true)));
    EXPECT_TRUE(IsWindows10OrLater(Os(10, 1, 0, 0, false, false)));
    EXPECT_TRUE(IsWindows10OrLater(Os(11, 0, 22000, 0, false, true)));
    EXPECT_FALSE(IsWindows10OrLater(Os(9, 9, 99999, 9, false, false)));
    EXPECT_FALSE(IsWindows10OrLater(Os(6, 3, 9600, 0, false, true)));
    EXPECT_FALSE(IsWindows10OrLater(OsVersionInfo()));
}
