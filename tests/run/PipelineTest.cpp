#include "config/Config.h"
#include "run/Pipeline.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using testing_support::ContainsLine;
using testing_support::TempDir;

namespace {

const wchar_t kRoot[] = L"Software\\OrvantaPipelineTest";

NativeMachine Arm64()
{
    return NativeMachine{true, true, 0xAA64};
}

NativeMachine NoIsWow64Process2()
{
    return NativeMachine{false, false, 0};
}

class PipelineTest : public ::testing::Test {
protected:
    void SetUp() override { config.downloadFolder = dir.Path() + L"\\downloads\\"; }

    // A prerequisite whose one search looks for HKCU\Software\OrvantaPipelineTest\<name>.
    PrereqInfo& Add(const std::wstring& name, const std::wstring& options = L"",
                    PrereqSourceKind kind = SourceSetupFile, const std::wstring& parent = L"")
    {
        PrereqInfo prereq;
        prereq.name = name;
        prereq.options = ParsePrereqOptions(options);
        prereq.sourceKind = kind;
        prereq.source = kind == SourceSetupFile ? name + L".exe" : L"http://127.0.0.1:1/" + name + L".exe";
        prereq.ParentPrereq = parent;
        PrereqSearch search;
        search.SearchType = 5;
        search.SearchString = L"HKCU\\" + std::wstring(kRoot) + L"\\" + name;
        prereq.searches.push_back(search);
        config.prerequisites.push_back(prereq);
        return config.prerequisites.back();
    }

    void Install(const std::wstring& name)
    {
        ASSERT_TRUE(testing_support::SetRegistryString(HKEY_CURRENT_USER, std::wstring(kRoot) + L"\\" + name, L"",
                                                       L"x"));
    }

    std::vector<std::wstring> Log() const { return log.Lines(); }

    size_t CountLines(const std::wstring& line) const
    {
        const auto log = Log();
        return static_cast<size_t>(std::count(log.begin(), log.end(), line));
    }

    testing_support::ScratchKeys keys{{kRoot}};
    testing_support::LogCapture log;
    TempDir dir;
    ChainerConfig config;
};

} // namespace

TEST_F(PipelineTest, DecisionsFollowTheSourceKindAndAreLogged)
{
    Add(L"Present");
    Add(L"FromPackage");
    Add(L"FromUrl", L"", SourceUrl);
    Add(L"FromSite", L"", SourceOpenSite);
    Install(L"Present");
    SearchAllPrerequisites(config);

    EXPECT_EQ(config.prerequisites[0].decision, AcceptableFound);
    EXPECT_EQ(config.prerequisites[1].decision, InstallFromPackage);
    EXPECT_EQ(config.prerequisites[2].decision, Download);
    EXPECT_EQ(config.prerequisites[3].decision, OpenSite);
    EXPECT_FALSE(config.prerequisites[0].selected);
    EXPECT_TRUE(config.prerequisites[1].selected);

    const auto log = Log();
    EXPECT_TRUE(ContainsLine(log, L"Search result:No acceptable version found. It must be downloaded."));
    EXPECT_FALSE(ContainsLine(log, L"Prerequisite selected for install:Present"));
}

TEST_F(PipelineTest, WrongOperatingSystemIsExcludedForGood)
{
    PrereqInfo& prereq = Add(L"Excluded");
    // Every name this machine can have is listed as excluded for both platforms.
    const std::wstring everything =
        L"Windows 7 x64, Windows 7 x86, Windows 10 x64, Windows 10 x86, Windows 8.1 x64, Windows 8 x64";
    prereq.WinNTVersions = everything;
    prereq.WinNT64Versions = everything;
    SearchAllPrerequisites(config);
    EXPECT_EQ(config.prerequisites[0].decision, OsNotSupported);
    EXPECT_TRUE(ContainsLine(Log(), L"Wrong OS or Os language for:Excluded"));
    EXPECT_FALSE(ContainsLine(Log(), L"Searching for:Excluded"));

    config.prerequisites[0].WinNTVersions.clear();
    config.prerequisites[0].WinNT64Versions.clear();
    SearchPrerequisite(config, 0, false);
    EXPECT_EQ(config.prerequisites[0].decision, OsNotSupported) << "once excluded, always excluded";
}

TEST_F(PipelineTest, ProcessorLetters)
{
    // Wine reports an x64 machine; without IsWow64Process2 the machine counts as not ARM.
    const struct {
        NativeMachineProbe probe;
        PrereqDecision onlyArm;
        PrereqDecision notArm;
    } cases[] = {{&QueryNativeMachine, OsNotSupported, InstallFromPackage},
                 {&Arm64, InstallFromPackage, OsNotSupported},
                 {&NoIsWow64Process2, OsNotSupported, InstallFromPackage}};
    for (const auto& c : cases) {
        config.prerequisites.clear();
        Add(L"OnlyArm", L"d");
        Add(L"NotArm", L"c");
        SearchAllPrerequisites(config, c.probe);
        EXPECT_EQ(config.prerequisites[0].decision, c.onlyArm);
        EXPECT_EQ(config.prerequisites[1].decision, c.notArm);
        if (c.probe == &QueryNativeMachine) {
            EXPECT_FALSE(ContainsLine(Log(), L"Searching for:OnlyArm")) << "an unsupported one is not searched";
        }
    }
}

TEST_F(PipelineTest, RecheckDeselectsWhatIsNowInstalledButASkippedSearchKeepsItsDecision)
{
    Add(L"Skipped", L"i");
    Add(L"First");
    Add(L"Second");
    Install(L"Skipped");  // would be found if it were searched
    SearchAllPrerequisites(config);
    EXPECT_EQ(config.prerequisites[0].decision, InstallFromPackage);
    EXPECT_TRUE(ContainsLine(Log(), L"Searching for:Skipped"));
    Install(L"First");
    RecheckPrerequisites(config);
    EXPECT_EQ(config.prerequisites[0].decision, InstallFromPackage);
    EXPECT_TRUE(config.prerequisites[0].selected);
    EXPECT_EQ(config.prerequisites[1].decision, AcceptableFound);
    EXPECT_FALSE(config.prerequisites[1].selected);
    EXPECT_TRUE(config.prerequisites[2].selected);
}

TEST_F(PipelineTest, SelectingAChildPullsItsParentIn)
{
    Add(L"Parent");
    Add(L"Child", L"", SourceSetupFile, L"Parent");
    SearchAllPrerequisites(config);
    EXPECT_TRUE(config.prerequisites[0].selected);
    EXPECT_TRUE(config.prerequisites[1].selected);

    SetSelected(config, 0, false);
    EXPECT_FALSE(config.prerequisites[1].selected) << "children follow their parent";
    EXPECT_EQ(CountLines(L"Prerequisite selected for install:Child"), 2u) << "logged at every change";

    SetSelected(config, 1, true);
    EXPECT_TRUE(config.prerequisites[0].selected);

    // An installed parent stays out; parent cycles and unknown parents end.
    config.prerequisites.clear();
    Add(L"Installed");
    Add(L"Child", L"", SourceSetupFile, L"Installed");
    Add(L"A", L"", SourceSetupFile, L"B");
    Add(L"B", L"", SourceSetupFile, L"A");
    Add(L"C", L"", SourceSetupFile, L"Nobody");
    Install(L"Installed");
    SearchAllPrerequisites(config);
    std::vector<bool> selected;
    for (const PrereqInfo& prereq : config.prerequisites)
        selected.push_back(prereq.selected);
    EXPECT_EQ(selected, (std::vector<bool>{false, true, true, true, true}));
}

TEST_F(PipelineTest, EffectiveDecisionOfFoundButSelectedPrerequisites)
{
    Add(L"Package");
    Add(L"Url", L"", SourceUrl);
    Add(L"Site", L"", SourceOpenSite);
    for (PrereqInfo& prereq : config.prerequisites) {
        prereq.decision = AcceptableFound;
        prereq.selected = true;
    }
    EXPECT_EQ(EffectiveDecision(config, 0), InstallFromPackage);
    EXPECT_EQ(EffectiveDecision(config, 1), Download);
    EXPECT_EQ(EffectiveDecision(config, 2), OpenSite);

    // With its download already on disk the URL prerequisite is installed from there.
    ASSERT_EQ(::CreateDirectoryW((dir.Path() + L"\\downloads").c_str(), nullptr), TRUE);
    ASSERT_TRUE(testing_support::WriteBytes(dir.Path() + L"\\downloads\\Url.exe", "MZ"));
    EXPECT_EQ(EffectiveDecision(config, 1), AlreadyDownloaded);
    config.prerequisites[1].ExactSize = 3;
    EXPECT_EQ(EffectiveDecision(config, 1), Download) << "a size mismatch is no finished download";

    config.prerequisites[2].selected = false;
    EXPECT_EQ(EffectiveDecision(config, 2), NotSelected);
}

TEST_F(PipelineTest, MandatoryChildIsCheckedItselfWhenItsParentIsFound)
{
    // The parent's installer worked: finding it deselects the child, in either order of the list,
    // and the child still counts only when its own search finds it.
    for (const bool parentFirst : {true, false}) {
        for (const bool childInstalled : {false, true}) {
            keys.Delete();
            config.prerequisites.clear();
            if (parentFirst)
                Add(L"Parent");
            Add(L"Child", L"m", SourceSetupFile, L"Parent");
            if (!parentFirst)
                Add(L"Parent");
            SearchAllPrerequisites(config);
            Install(L"Parent");
            if (childInstalled)
                Install(L"Child");
            RecheckPrerequisites(config);
            EXPECT_EQ(MandatoryCheck(config), childInstalled)
                << "parent first: " << parentFirst << ", child installed: " << childInstalled;
        }
    }
}
