// A package folder may be a Downloads folder that holds DLLs named like system DLLs. The chainer
// started from it must load none of them, through a whole run: searches (registry, file version,
// Windows Installer), a download over HTTP and an installation.
//
// Wine prefers its built-in DLLs; this program runs with WINEDLLOVERRIDES=<planted names>=n,b
// (CMakeLists.txt, scripts/wine-run.sh), which makes Wine look in a program's folder first, as
// Windows does for every name that is not on its KnownDLLs list.
#include "ChainerPackage.h"
#include "DownloadTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// The planted names, comma separated; none is a KnownDLL, so Windows looks for each beside the
// program before System32. The same list is the program's native-first override.
std::vector<std::wstring> PlantedNames()
{
    std::vector<std::wstring> names;
    const std::wstring list = EnvironmentValue(L"ORVANTA_PLANTED_DLLS") + L",";
    for (size_t start = 0, comma = list.find(L','); comma != std::wstring::npos;
         start = comma + 1, comma = list.find(L',', start)) {
        if (comma > start)
            names.push_back(list.substr(start, comma - start));
    }
    return names;
}

const wchar_t kHelperKey[] = L"Software\\OrvantaPlanting";

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

std::string Narrow(const std::vector<std::wstring>& names)
{
    std::string text;
    for (const std::wstring& name : names)
        text += std::string(name.begin(), name.end()) + " ";
    return text;
}

class DllPlanting : public ::testing::Test {
protected:
    ScratchKeys keys{{L"InterbootContext", kHelperKey}};

    // Copies the marker DLL beside the chainer under every planted name.
    void PlantMarkerDlls() const
    {
        const std::wstring markerDll = EnvironmentValue(L"ORVANTA_MARKER_DLL");
        const std::vector<std::wstring> names = PlantedNames();
        ASSERT_GE(names.size(), 20u);
        for (const std::wstring& name : names)
            ASSERT_TRUE(::CopyFileW(markerDll.c_str(), package.PathOf(name + L".dll").c_str(), FALSE))
                << Narrow({name});
    }

    // "Helper" (mandatory): the test helper downloaded from the test server, installed when the
    // file version search finds the versioned program and the registry value is missing.
    // "Probe": found through its second search after a Windows Installer search finds nothing.
    void WritePackage(const std::wstring& url, size_t size) const
    {
        const std::wstring versioned = EnvironmentValue(L"ORVANTA_VERSIONED");
        package.WriteIni({
            L"[GeneralOptions]", L"Options=q", L"DownloadFolder=[SETUPEXEDIR]downloads",
            L"[PREREQUISITES]", L"App1=Helper", L"App2=Probe",
            L"[Helper]", L"Url=" + url, L"ExactSize=" + std::to_wstring(size),
            L"CommandLine=--set HKCU\\Software\\OrvantaPlanting\\Helper\\Version=1.5 --exit 0", L"Options=m",
            L"SearchType1=0", L"SearchString1=" + versioned, L"VerMin1=1.0",
            L"SearchType2=2", L"SearchString2=HKCU\\Software\\OrvantaPlanting\\Helper\\Version", L"VerMin2=1.0",
            L"[Probe]", L"SetupFile=probe-setup.exe", L"Operator=1",
            L"SearchType1=3", L"SearchString1={0F1E2D3C-4B5A-4697-8877-665544332211}", L"VerMin1=1.0",
            L"SearchType2=5", L"SearchString2=HKCU\\Software",
            L"[PREREQ_CHAINER]", L"LogFile=" + package.LogPath(),
        });
    }

    ChainerPackage package;
    TempDir markers;
};

} // namespace

TEST_F(DllPlanting, ChainerLoadsNoDllFromItsOwnFolder)
{
    REQUIRE_TEST_SERVERS();
    const std::wstring base = download_testing::Servers().NginxUrl(L"");
    const std::string helper = ReadBytes(EnvironmentValue(L"ORVANTA_TESTHELPER"));
    ASSERT_FALSE(helper.empty());
    ASSERT_TRUE(download_testing::ServeFile(L"planting-helper.exe", helper));
    WritePackage(base + L"planting-helper.exe", helper.size());
    ASSERT_NO_FATAL_FAILURE(PlantMarkerDlls());

    // Inherited by the chainer and everything it starts.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"ORVANTA_MARKER_DIR", markers.Path().c_str()));
    {
        // The marker DLL leaves its trace wherever it is loaded, so no trace means not loaded.
        const HMODULE probe = ::LoadLibraryW(EnvironmentValue(L"ORVANTA_MARKER_DLL").c_str());
        ASSERT_NE(probe, nullptr);
        ::FreeLibrary(probe);
        ASSERT_TRUE(FileExists(markers / L"markerdll.dll.marker"));
        ASSERT_TRUE(::DeleteFileW((markers / L"markerdll.dll.marker").c_str()));
    }
    EXPECT_EQ(package.RunForExitCode(), 0u);
    const std::vector<std::wstring> traces = FilesIn(markers.Path());
    EXPECT_TRUE(traces.empty()) << "loaded from the package folder: " << Narrow(traces);
    const auto lines = package.LogLines();
    EXPECT_TRUE(ContainsLine(lines, L"Downloaded file was accepted."));
    EXPECT_TRUE(ContainsLine(lines, L"Return code of launched file:0"));
    std::wstring version;
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\OrvantaPlanting\\Helper", L"Version", version));
    EXPECT_EQ(version, L"1.5");
}
