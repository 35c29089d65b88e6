// Reading the Windows version from the registry of the test prefix. Each case writes the values
// the way a Windows release stores them; the prefix's own values are put back afterwards.
#include "detection/OsIdentification.h"
#include "platform/UniqueResource.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orvanta;

namespace {

const wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kProductOptions[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

// A value's type and bytes; REG_NONE stands for an absent value.
struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};
const Value kAbsent;

Value Dword(DWORD number)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
    return {REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof(number))};
}

// A REG_SZ, or with several strings a REG_MULTI_SZ (each string zero-terminated, one more zero).
Value Text(const std::vector<std::wstring>& strings)
{
    std::wstring text;
    for (const std::wstring& piece : strings)
        text += piece + L'\0';
    if (strings.size() > 1)
        text += L'\0';
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.data());
    return {strings.size() > 1 ? DWORD(REG_MULTI_SZ) : DWORD(REG_SZ),
            std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t))};
}
Value Text(const std::wstring& text)
{
    return Text(std::vector<std::wstring>{text});
}

struct Write {
    const wchar_t* key;
    const wchar_t* name;
    Value value;
};

UniqueKey OpenForWriting(const wchar_t* path)
{
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                        key.Put()) != ERROR_SUCCESS)
        key.Release();
    return key;
}

Value Read(const Write& where)
{
    const UniqueKey key = OpenForWriting(where.key);
    Value value;
    DWORD size = 0;
    if (!key || ::RegQueryValueExW(key.Get(), where.name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return kAbsent;
    value.data.resize(size);
    ::RegQueryValueExW(key.Get(), where.name, nullptr, &value.type, value.data.data(), &size);
    return value;
}

bool Apply(const Write& write)
{
    const UniqueKey key = OpenForWriting(write.key);
    if (!key)
        return false;
    if (write.value.type == REG_NONE) {
        const LSTATUS status = ::RegDeleteValueW(key.Get(), write.name);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    return ::RegSetValueExW(key.Get(), write.name, 0, write.value.type, write.value.data.data(),
                            static_cast<DWORD>(write.value.data.size())) == ERROR_SUCCESS;
}

class OsVersionRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenForWriting(kCurrentVersion)) << "the test prefix must let the tests write HKLM";
        for (const wchar_t* name : {L"CurrentMajorVersionNumber", L"CurrentMinorVersionNumber", L"CurrentVersion",
                                    L"CurrentBuildNumber", L"ReleaseId", L"CSDVersion"})
            saved_.push_back({kCurrentVersion, name, Read({kCurrentVersion, name, {}})});
        for (const wchar_t* name : {L"ProductType", L"ProductSuite"})
            saved_.push_back({kProductOptions, name, Read({kProductOptions, name, {}})});
    }
    void TearDown() override
    {
        for (const Write& value : saved_)
            Apply(value);
    }

    static OsVersionInfo ReadAfter(const std::vector<Write>& writes)
    {
        for (const Write& write : writes)
            EXPECT_TRUE(Apply(write)) << write.name;
        return ReadOsVersionInfo();
    }

    // A Windows 10 style version 10.0: the numbers as DWORDs (they win over the version text
    // "6.3" written beside them), the build as text.
    static std::vector<Write> Modern(const std::wstring& build)
    {
        return {{kCurrentVersion, L"CurrentMajorVersionNumber", Dword(10)},
                {kCurrentVersion, L"CurrentMinorVersionNumber", Dword(0)},
                {kCurrentVersion, L"CurrentVersion", Text(L"6.3")},
                {kCurrentVersion, L"CurrentBuildNumber", Text(build)},
                {kCurrentVersion, L"CSDVersion", kAbsent},
                {kCurrentVersion, L"ReleaseId", kAbsent},
                {kProductOptions, L"ProductType", Text(L"WinNT")},
                {kProductOptions, L"ProductSuite", kAbsent}};
    }

private:
    std::vector<Write> saved_;
};

} // namespace

TEST_F(OsVersionRegistryTest, ReleasesAsTheyStoreTheirVersion)
{
    std::vector<Write> server = Modern(L"20348");
    server.insert(server.end(), {{kCurrentVersion, L"ReleaseId", Text(L"2009")},
                                 {kProductOptions, L"ProductType", Text(L"ServerNT")},
                                 {kProductOptions, L"ProductSuite",
                                  Text({L"Enterprise", L"Terminal Server", L"enterprise", L"Terminal Server ",
                                        L"Unknown", L"DataCenter", L"Compute Server"})}});
    const std::vector<Write> windows7{{kCurrentVersion, L"CurrentMajorVersionNumber", kAbsent},
                                      {kCurrentVersion, L"CurrentMinorVersionNumber", kAbsent},
                                      {kCurrentVersion, L"ReleaseId", kAbsent},
                                      {kCurrentVersion, L"CurrentVersion", Text(L"6.1")},
                                      {kCurrentVersion, L"CurrentBuildNumber", Text(L"7601")},
                                      {kCurrentVersion, L"CSDVersion", Text(L"Service Pack 1")},
                                      {kProductOptions, L"ProductType", Text(L"WinNT")},
                                      {kProductOptions, L"ProductSuite", kAbsent}};
    // The names these versions get are tests/detection/OsNamesTest.cpp.
    const struct {
        std::vector<Write> writes;
        uint32_t major, minor, build, servicePack, releaseId;
        int productType, suiteMask;
    } cases[] = {
        // Windows 11 still reports major 10; the reading makes it 11 from build 22000 on.
        {Modern(L"22631"), 11, 0, 22631, 0, 1507, 1, 0},
        {Modern(L"21999"), 10, 0, 21999, 0, 1507, 1, 0},
        {server, 10, 0, 20348, 0, 2009, 3, 0x0002 | 0x0010 | 0x0080 | 0x4000},
        // Older systems give the version as text and a service pack; without a release id the
        // reading keeps 1507.
        {windows7, 6, 1, 7601, 1, 1507, 1, 0},
    };
    for (const auto& c : cases) {
        const OsVersionInfo info = ReadAfter(c.writes);
        SCOPED_TRACE(testing::Message() << "build " << c.build);
        EXPECT_EQ(info.major, c.major);
        EXPECT_EQ(info.minor, c.minor);
        EXPECT_EQ(info.build, c.build);
        EXPECT_EQ(info.servicePack, c.servicePack);
        EXPECT_EQ(info.releaseId, c.releaseId);
        EXPECT_EQ(info.productType, c.productType);
        EXPECT_EQ(info.server, c.productType != 1);
        EXPECT_EQ(info.suiteMask, c.suiteMask);
    }
    EXPECT_EQ(ReadAfter(windows7).servicePackText, L"Service Pack 1");
}

TEST_F(OsVersionRegistryTest, MalformedOrOversizedValuesLeaveTheirDefaultsAndOtherProductTypesAreServers)
{
    // A major number stored as text is not a DWORD; a version text of other than three characters
    // gives nothing; a build number is read up to its first non-digit.
    const OsVersionInfo info = ReadAfter({{kCurrentVersion, L"CurrentMajorVersionNumber", Text(L"10")},
                                          {kCurrentVersion, L"CurrentMinorVersionNumber", kAbsent},
                                          {kCurrentVersion, L"CurrentVersion", Text(L"10.0")},
                                          {kCurrentVersion, L"CurrentBuildNumber", Text(L"19045abc")},
                                          {kCurrentVersion, L"ReleaseId", Text(L"none")},
                                          {kCurrentVersion, L"CSDVersion", Text(L"")},
                                          {kProductOptions, L"ProductType", Text(L"")}});
    EXPECT_EQ(info.major, 0u);
    EXPECT_EQ(info.minor, 0u);
    EXPECT_EQ(info.build, 19045u);
    EXPECT_EQ(info.releaseId, 0u);
    EXPECT_EQ(info.servicePack, 0u);
    EXPECT_TRUE(info.server);

    // Other product types are servers of type 2; none is a workstation.
    const OsVersionInfo lanman = ReadAfter({{kProductOptions, L"ProductType", Text(L"LanmanNT")}});
    EXPECT_EQ(lanman.productType, 2);
    EXPECT_TRUE(lanman.server);
    EXPECT_EQ(ReadAfter({{kProductOptions, L"ProductType", kAbsent}}).productType, 1);

    // Oversized values are ignored without harm.
    std::vector<Write> writes = Modern(L"19045");
    writes.insert(writes.end(),
                  {{kCurrentVersion, L"CurrentBuildNumber", Text(std::wstring(70000, L'7'))},
                   {kCurrentVersion, L"CSDVersion", Text(L"Service Pack " + std::wstring(5000, L'x') + L"3")},
                   {kProductOptions, L"ProductType", Text(std::wstring(20000, L'S'))},
                   {kProductOptions, L"ProductSuite", Text(std::vector<std::wstring>(200, L"Enterprise Enterprise"))}});
    const OsVersionInfo oversized = ReadAfter(writes);
    EXPECT_EQ(oversized.major, 10u);
    EXPECT_LE(oversized.servicePackText.size(), 128u);
    EXPECT_EQ(oversized.suiteMask, 0);
}
