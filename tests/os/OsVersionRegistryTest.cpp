// Reading the Windows version from the registry of the test prefix. The tests write the values
// the way each Windows release stores them and put the prefix's own values back afterwards.
#include "detection/OsIdentification.h"
#include "platform/core/UniqueResource.h"

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

bool SetString(const wchar_t* keyPath, const wchar_t* name, const std::wstring& value)
{
    return SetValue(keyPath, name, REG_SZ, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
}

// The strings, each with its terminating zero, and one more zero at the end.
bool SetMultiString(const wchar_t* keyPath, const wchar_t* name, const std::vector<std::wstring>& strings)
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

    // A Windows 10 style version: the numbers as DWORDs, the build as text.
    static void WriteModernVersion(DWORD major, DWORD minor, const std::wstring& build)
    {
        ASSERT_TRUE(SetDword(kCurrentVersion, L"CurrentMajorVersionNumber", major));
        ASSERT_TRUE(SetDword(kCurrentVersion, L"CurrentMinorVersionNumber", minor));
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
    EXPECT_EQ(cached.minor, fresh.minor);
    EXPECT_EQ(cached.build, fresh.build);
    EXPECT_EQ(cached.servicePack, fresh.servicePack);
    EXPECT_EQ(cached.servicePackText, fresh.servicePackText);
    EXPECT_EQ(cached.server, fresh.server);
    EXPECT_EQ(&GetOsVersionInfo(), &cached);
    EXPECT_NE(cached.major, 0u) << "a Wine prefix always names its Windows version";
#if defined(_WIN64)
    EXPECT_TRUE(cached.wow64);
#endif
}

TEST_F(OsVersionRegistryTest, Windows11ReportsMajor10AndBecomes11FromBuild22000)
{
    WriteModernVersion(10, 0, L"22631");
    OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 11u);
    EXPECT_EQ(info.minor, 0u);
    EXPECT_EQ(info.build, 22631u);
    EXPECT_EQ(info.servicePack, 0u);
    EXPECT_TRUE(info.servicePackText.empty());
    EXPECT_TRUE(IsWindows10OrLater(info));
    info.wow64 = true;
    EXPECT_EQ(CoarseOsName(info), L"Windows 11 x64");
    EXPECT_EQ(DetailedOsName(info), L"Windows 11 version 23H2 x64");

    WriteModernVersion(10, 0, L"21999");
    info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 10u);
    EXPECT_EQ(info.build, 21999u);
}

TEST_F(OsVersionRegistryTest, ServerProductTypeAndSuiteNames)
{
    WriteModernVersion(10, 0, L"20348");
    ASSERT_TRUE(SetString(kCurrentVersion, L"ReleaseId", L"2009"));
    ASSERT_TRUE(SetString(kProductOptions, L"ProductType", L"ServerNT"));
    ASSERT_TRUE(SetMultiString(kProductOptions, L"ProductSuite",
                               {L"Enterprise", L"Terminal Server", L"enterprise", L"Terminal Server ", L"Unknown",
                                L"DataCenter", L"Compute Server"}));
    OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 10u);
    EXPECT_EQ(info.build, 20348u);
    EXPECT_EQ(info.releaseId, 2009u);
    EXPECT_EQ(info.productType, 3);
    EXPECT_TRUE(info.server);
    EXPECT_EQ(info.suiteMask, 0x0002 | 0x0010 | 0x0080 | 0x4000);
    info.wow64 = true;
    EXPECT_EQ(DetailedOsName(info), L"Windows Server 2022 x64");
    EXPECT_EQ(CoarseOsName(info), L"Windows Server x64");
}

TEST_F(OsVersionRegistryTest, EverySuiteNameSetsItsBit)
{
    ASSERT_TRUE(SetMultiString(kProductOptions, L"ProductSuite",
                               {L"Small Business", L"Enterprise", L"BackOffice", L"CommunicationServer",
                                L"Terminal Server", L"Small Business(Restricted)", L"EmbeddedNT", L"DataCenter",
                                L"Personal", L"Blade", L"Embedded(Restricted)", L"Security Appliance",
                                L"Storage Server", L"Compute Server"}));
    EXPECT_EQ(ReadOsVersionInfo().suiteMask, 0x7EFF);
}

TEST_F(OsVersionRegistryTest, OtherProductTypesAreServersOfType2)
{
    ASSERT_TRUE(SetString(kProductOptions, L"ProductType", L"LanmanNT"));
    OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.productType, 2);
    EXPECT_TRUE(info.server);

    ASSERT_TRUE(SetString(kProductOptions, L"ProductType", L"WinNT"));
    info = ReadOsVersionInfo();
    EXPECT_EQ(info.productType, 1);
    EXPECT_FALSE(info.server);

    ASSERT_TRUE(DeleteValue(kProductOptions, L"ProductType"));
    info = ReadOsVersionInfo();
    EXPECT_EQ(info.productType, 1);
    EXPECT_FALSE(info.server);
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
    EXPECT_FALSE(IsWindows10OrLater(info));
    info.wow64 = false;
    EXPECT_EQ(DetailedOsName(info), L"Windows 7 SP1 x86");

    ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentVersion", L"5.2"));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CSDVersion", L"Service Pack 2"));
    info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 5u);
    EXPECT_EQ(info.minor, 2u);
    EXPECT_EQ(info.servicePack, 2u);
}

TEST_F(OsVersionRegistryTest, DwordVersionWinsOverTheText)
{
    ASSERT_TRUE(SetDword(kCurrentVersion, L"CurrentMajorVersionNumber", 10));
    ASSERT_TRUE(SetDword(kCurrentVersion, L"CurrentMinorVersionNumber", 0));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentVersion", L"6.3"));
    const OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 10u);
    EXPECT_EQ(info.minor, 0u);
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
    EXPECT_TRUE(info.servicePackText.empty());
    EXPECT_TRUE(info.server);
    EXPECT_EQ(CoarseOsName(info), L"OsNotIdentified");
    EXPECT_EQ(DetailedOsName(info), L"OsNotIdentified");
}

TEST_F(OsVersionRegistryTest, OversizedValuesAreIgnoredWithoutHarm)
{
    WriteModernVersion(10, 0, L"19045");
    ASSERT_TRUE(SetString(kCurrentVersion, L"CurrentBuildNumber", std::wstring(70000, L'7')));
    ASSERT_TRUE(SetString(kCurrentVersion, L"CSDVersion", L"Service Pack " + std::wstring(5000, L'x') + L"3"));
    ASSERT_TRUE(SetString(kProductOptions, L"ProductType", std::wstring(20000, L'S')));
    ASSERT_TRUE(SetMultiString(kProductOptions, L"ProductSuite",
                               std::vector<std::wstring>(200, L"Enterprise Enterprise")));
    const OsVersionInfo info = ReadOsVersionInfo();
    EXPECT_EQ(info.major, 10u);
    EXPECT_LE(info.servicePackText.size(), 128u);
    EXPECT_EQ(info.suiteMask, 0);
}
