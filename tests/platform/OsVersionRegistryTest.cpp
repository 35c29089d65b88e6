// Reading the Windows version from the registry of the test prefix. The tests write the values
// the way each Windows release stores them and put the prefix's own values back afterwards.
#include "detection/OsIdentification.h"
#include "platform/UniqueResource.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace orvanta;

namespace {

const wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kProductOptions[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

UniqueKey OpenForWriting(const wchar_t* path)
{
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                        key.Put()) != ERROR_SUCCESS)
        key.Release();
    return key;
}

// One registry value as it was before the test, written back (or deleted again) at scope end.
class SavedValue {
public:
    SavedValue(const wchar_t* keyPath, const wchar_t* name) : keyPath_(keyPath), name_(name)
    {
        const UniqueKey key = OpenForWriting(keyPath);
        DWORD size = 0;
        if (!key || ::RegQueryValueExW(key.Get(), name, nullptr, &type_, nullptr, &size) != ERROR_SUCCESS)
            return;
        data_.resize(size);
        existed_ = ::RegQueryValueExW(key.Get(), name, nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
        data_.resize(size);
    }
    ~SavedValue()
    {
        const UniqueKey key = OpenForWriting(keyPath_.c_str());
        if (!key)
            return;
        if (existed_)
            ::RegSetValueExW(key.Get(), name_.c_str(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
        else
            ::RegDeleteValueW(key.Get(), name_.c_str());
    }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

private:
    std::wstring keyPath_;
    std::wstring name_;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
    bool existed_ = false;
};

bool SetValue(const wchar_t* keyPath, const wchar_t* name, DWORD type, const void* data, size_t size)
{
    const UniqueKey key = OpenForWriting(keyPath);
    return key && ::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data),
                                   static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool SetDword(const wchar_t* keyPath, const wchar_t* name, DWORD value)
{
    return SetValue(keyPath, name, REG_DWORD, &value, sizeof(value));
}

// A REG_SZ, or with several strings a REG_MULTI_SZ (each string zero-terminated, one more zero).
bool SetString(const wchar_t* keyPath, const wchar_t* name, const std::wstring& value)
{
    return SetValue(keyPath, name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
}
bool SetString(const wchar_t* keyPath, const wchar_t* name, const std::vector<std::wstring>& strings)
{
    std::wstring data;
    for (const std::wstring& text : strings)
        data += text + L'\0';
    data += L'\0';
    return SetValue(keyPath, name, REG_MULTI_SZ, data.c_str(), data.size() * sizeof(wchar_t));
}

bool DeleteValue(const wchar_t* keyPath, const wchar_t* name)
{
    const UniqueKey key = OpenForWriting(keyPath);
    if (!key)
        return false;
    const LSTATUS status = ::RegDeleteValueW(key.Get(), name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

class OsVersionRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenForWriting(kCurrentVersion)) << "the test prefix must let the tests write HKLM";
        for (const wchar_t* name : {L"CurrentMajorVersionNumber", L"CurrentMinorVersionNumber", L"CurrentVersion",
                                    L"CurrentBuildNumber", L"ReleaseId", L"CSDVersion"})
            saved_.push_back(std::make_unique<SavedValue>(kCurrentVersion, name));
        for (const wchar_t* name : {L"ProductType", L"ProductSuite"})
            saved_.push_back(std::make_unique<SavedValue>(kProductOptions, name));
    }
    void TearDown() override { saved_.clear(); }

    // A Windows 10 style version 10.0: the numbers as DWORDs, the build as text.
    static void WriteModernVersion(const std::wstring& build)
    {
        ASSERT_TRUE(SetDword(kCurrentVersion, L"CurrentMajorVersionNumber", 10));
        ASSERT_TRUE(SetDword(kCurrentVersion, L"CurrentMinorVersionNumber", 0));
        ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentVersion", L"6.3"));
        ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentBuildNumber", build));
        ASSERT_TRUE(DeleteValue(kCurrentVersion, L"CSDVersion"));
    }

private:
    std::vector<std::unique_ptr<SavedValue>> saved_;
};

} // namespace

TEST(OsVersionInfo, ProcessWideRecordMatchesTheRegistry)
{
    const OsVersionInfo& cached = GetOsVersionInfo();
    const OsVersionInfo fresh = ReadOsVersionInfo();
    EXPECT_EQ(cached.major, fresh.major);
    EXPECT_EQ(cached.build, fresh.build);
    EXPECT_EQ(cached.server, fresh.server);
    EXPECT_EQ(&GetOsVersionInfo(), &cached);
    EXPECT_NE(cached.major, 0u) << "a Wine prefix always names its Windows version";
#if defined(_WIN64)
    EXPECT_TRUE(cached.wow64);
#endif
}

TEST_F(OsVersionRegistryTest, Windows11ReportsMajor10AndBecomes11FromBuild22000)
{
    // The DWORD major wins over the version text "6.3" written beside it.
    WriteModernVersion(L"22631");
    OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 11u);
    EXPECT_EQ(info.minor, 0u);
    EXPECT_EQ(info.build, 22631u);
    info.wow64 = true;
    EXPECT_EQ(DetailedOsName(info), L"Windows 11 version 23H2 x64");

    WriteModernVersion(L"21999");
    EXPECT_EQ(ReadOsVersionInfo().major, 10u);
}

TEST_F(OsVersionRegistryTest, ServerProductTypeAndSuiteNames)
{
    WriteModernVersion(L"20348");
    ASSERT_TRUE(SetString(kCurrentVersion, L"ReleaseId", L"2009"));
    ASSERT_TRUE(SetString(kProductOptions, L"ProductType", L"ServerNT"));
    ASSERT_TRUE(SetString(kProductOptions, L"ProductSuite",
                               {L"Enterprise", L"Terminal Server", L"enterprise", L"Terminal Server ", L"Unknown",
                                L"DataCenter", L"Compute Server"}));
    OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.releaseId, 2009u);
    EXPECT_EQ(info.productType, 3);
    EXPECT_TRUE(info.server);
    EXPECT_EQ(info.suiteMask, 0x0002 | 0x0010 | 0x0080 | 0x4000);
    info.wow64 = true;
    EXPECT_EQ(DetailedOsName(info), L"Windows Server 2022 x64");
}

TEST_F(OsVersionRegistryTest, OtherProductTypesAreServersOfType2)
{
    ASSERT_TRUE(SetString(kProductOptions, L"ProductType", L"LanmanNT"));
    EXPECT_EQ(ReadOsVersionInfo().productType, 2);
    EXPECT_TRUE(ReadOsVersionInfo().server);
    ASSERT_TRUE(DeleteValue(kProductOptions, L"ProductType"));
    EXPECT_EQ(ReadOsVersionInfo().productType, 1);
    EXPECT_FALSE(ReadOsVersionInfo().server);
}

TEST_F(OsVersionRegistryTest, OlderSystemsGiveTheVersionAsTextAndAServicePack)
{
    ASSERT_TRUE(DeleteValue(kCurrentVersion, L"CurrentMajorVersionNumber"));
    ASSERT_TRUE(DeleteValue(kCurrentVersion, L"CurrentMinorVersionNumber"));
    ASSERT_TRUE(DeleteValue(kCurrentVersion, L"ReleaseId"));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentVersion", L"6.1"));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentBuildNumber", L"7601"));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CSDVersion", L"Service Pack 1"));
    ASSERT_TRUE(SetString(kProductOptions, L"ProductType", L"WinNT"));
    ASSERT_TRUE(DeleteValue(kProductOptions, L"ProductSuite"));

    OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 6u);
    EXPECT_EQ(info.minor, 1u);
    EXPECT_EQ(info.build, 7601u);
    EXPECT_EQ(info.servicePack, 1u);
    EXPECT_EQ(info.servicePackText, L"Service Pack 1");
    EXPECT_EQ(info.releaseId, 1507u);
    EXPECT_EQ(info.suiteMask, 0);
    info.wow64 = false;
    EXPECT_EQ(DetailedOsName(info), L"Windows 7 SP1 x86");
}

TEST_F(OsVersionRegistryTest, MalformedValuesLeaveTheirDefaults)
{
    // A major number stored as text is not a DWORD; a version text of other than three characters
    // gives nothing; a build number is read up to its first non-digit.
    ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentMajorVersionNumber", L"10"));
    ASSERT_TRUE(DeleteValue(kCurrentVersion, L"CurrentMinorVersionNumber"));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentVersion", L"10.0"));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentBuildNumber", L"19045abc"));
    ASSERT_TRUE(SetString(kCurrentVersion, L"ReleaseId", L"none"));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CSDVersion", L""));
    ASSERT_TRUE(SetString(kProductOptions, L"ProductType", L""));
    OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 0u);
    EXPECT_EQ(info.minor, 0u);
    EXPECT_EQ(info.build, 19045u);
    EXPECT_EQ(info.releaseId, 0u);
    EXPECT_EQ(info.servicePack, 0u);
    EXPECT_TRUE(info.server);
}

TEST_F(OsVersionRegistryTest, OversizedValuesAreIgnoredWithoutHarm)
{
    WriteModernVersion(L"19045");
    ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentBuildNumber", std::wstring(70000, L'7')));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CSDVersion", L"Service Pack " + std::wstring(5000, L'x') + L"3"));
    ASSERT_TRUE(SetString(kProductOptions, L"ProductType", std::wstring(20000, L'S')));
    ASSERT_TRUE(SetString(kProductOptions, L"ProductSuite",
                               std::vector<std::wstring>(200, L"Enterprise Enterprise")));
    const OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 10u);
    EXPECT_LE(info.servicePackText.size(), 128u);
    EXPECT_EQ(info.suiteMask, 0);
}
