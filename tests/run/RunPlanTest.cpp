#include "config/Config.h"
#include "install/ExtractionContext.h"
#include "platform/Strings.h"
#include "platform/TempFolder.h"
#include "run/Jobs.h"
#include "run/RunPlan.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using testing_support::ContainsLine;
using testing_support::TempDir;

namespace {

const wchar_t kRoot[] = L"Software\\OrvantaRunPlanTest";

NativeMachine Arm64()
{
    return NativeMachine{true, true, 0xAA64};
}

NativeMachine NoIsWow64Process2()
{
    return NativeMachine{false, false, 0};
}

class RunPlanTest : public ::testing::Test {
protected:
    void SetUp() override { config.downloadFolder = dir.Path() + L"\\downloads\\"; }

    // A prerequisite whose one search looks for HKCU\Software\OrvantaRunPlanTest\<name>.
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

    // A new plan over the prerequisites added so far, searched.
    RunPlan& SearchAll(NativeMachineProbe probe = &QueryNativeMachine)
    {
        plan = std::make_unique<RunPlan>(config);
        plan->SearchAll(probe);
        return *plan;
    }
    PrereqDecision Decision(size_t index) const { return plan->Entry(index).decision; }
    bool Selected(size_t index) const { return plan->Entry(index).selected; }

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
    std::unique_ptr<RunPlan> plan;
};

} // namespace

TEST_F(RunPlanTest, DecisionsFollowTheSourceKindAndAreLogged)
{
    Add(L"Present");
    Add(L"FromPackage");
    Add(L"FromUrl", L"", SourceUrl);
    Add(L"FromSite", L"", SourceOpenSite);
    Install(L"Present");
    SearchAll();

    EXPECT_EQ(Decision(0), AcceptableFound);
    EXPECT_EQ(Decision(1), InstallFromPackage);
    EXPECT_EQ(Decision(2), Download);
    EXPECT_EQ(Decision(3), OpenSite);
    EXPECT_FALSE(Selected(0));
    EXPECT_TRUE(Selected(1));

    const auto log = Log();
    EXPECT_TRUE(ContainsLine(log, L"Search result:No acceptable version found. It must be downloaded."));
    EXPECT_FALSE(ContainsLine(log, L"Prerequisite selected for install:Present"));
}

TEST_F(RunPlanTest, WrongOperatingSystemIsExcludedForGood)
{
    PrereqInfo& prereq = Add(L"Excluded");
    // Every name this machine can have is listed as excluded for both platforms.
    const std::wstring everything =
        L"Windows 7 x64, Windows 7 x86, Windows 10 x64, Windows 10 x86, Windows 8.1 x64, Windows 8 x64";
    prereq.WinNTVersions = everything;
    prereq.WinNT64Versions = everything;
    SearchAll();
    EXPECT_EQ(Decision(0), OsNotSupported);
    EXPECT_TRUE(ContainsLine(Log(), L"Wrong OS or Os language for:Excluded"));
    EXPECT_FALSE(ContainsLine(Log(), L"Searching for:Excluded"));

    config.prerequisites[0].WinNTVersions.clear();
    config.prerequisites[0].WinNT64Versions.clear();
    plan->Search(0, false);
    EXPECT_EQ(Decision(0), OsNotSupported) << "once excluded, always excluded";
}

TEST_F(RunPlanTest, ProcessorLetters)
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
        SearchAll(c.probe);
        EXPECT_EQ(Decision(0), c.onlyArm);
        EXPECT_EQ(Decision(1), c.notArm);
        if (c.probe == &QueryNativeMachine) {
            EXPECT_FALSE(ContainsLine(Log(), L"Searching for:OnlyArm")) << "an unsupported one is not searched";
        }
    }
}

TEST_F(RunPlanTest, RecheckDeselectsWhatIsNowInstalledButASkippedSearchKeepsItsDecision)
{
    Add(L"Skipped", L"i");
    Add(L"First");
    Add(L"Second");
    Install(L"Skipped");  // would be found if it were searched
    SearchAll();
    EXPECT_EQ(Decision(0), InstallFromPackage);
    EXPECT_TRUE(ContainsLine(Log(), L"Searching for:Skipped"));
    Install(L"First");
    plan->Recheck();
    EXPECT_EQ(Decision(0), InstallFromPackage);
    EXPECT_TRUE(Selected(0));
    EXPECT_EQ(Decision(1), AcceptableFound);
    EXPECT_FALSE(Selected(1));
    EXPECT_TRUE(Selected(2));
}

TEST_F(RunPlanTest, SelectingAChildPullsItsParentIn)
{
    Add(L"Parent");
    Add(L"Child", L"", SourceSetupFile, L"Parent");
    SearchAll();
    EXPECT_TRUE(Selected(0));
    EXPECT_TRUE(Selected(1));

    plan->SetSelected(0, false);
    EXPECT_FALSE(Selected(1)) << "children follow their parent";
    EXPECT_EQ(CountLines(L"Prerequisite selected for install:Child"), 2u) << "logged at every change";

    plan->SetSelected(1, true);
    EXPECT_TRUE(Selected(0));

    // An installed parent stays out; parent cycles and unknown parents end.
    config.prerequisites.clear();
    Add(L"Installed");
    Add(L"Child", L"", SourceSetupFile, L"Installed");
    Add(L"A", L"", SourceSetupFile, L"B");
    Add(L"B", L"", SourceSetupFile, L"A");
    Add(L"C", L"", SourceSetupFile, L"Nobody");
    Install(L"Installed");
    SearchAll();
    std::vector<bool> selected;
    for (size_t index = 0; index < config.prerequisites.size(); ++index)
        selected.push_back(Selected(index));
    EXPECT_EQ(selected, (std::vector<bool>{false, true, true, true, true}));
}

TEST_F(RunPlanTest, ActionsOfFoundButSelectedPrerequisitesAndOfPresentDownloads)
{
    Add(L"Package");
    Add(L"Url", L"", SourceUrl);
    Add(L"Site", L"", SourceOpenSite);
    Add(L"Unselected", L"", SourceUrl);
    for (const wchar_t* name : {L"Package", L"Url", L"Site", L"Unselected"})
        Install(name);
    // Found, then pulled in (as a child pulls in its parent): installed from their sources.
    const auto pullIn = [this]() -> RunPlan& {
        RunPlan& found = SearchAll();
        for (size_t index = 0; index < 3; ++index)
            found.SetSelected(index, true);
        return found;
    };
    EXPECT_EQ(pullIn().Actions(), (std::vector<PlannedAction>{PlannedAction::InstallFromPackage, PlannedAction::Download,
                                                              PlannedAction::OpenSite, PlannedAction::None}));

    // With its download already on disk the URL prerequisite is installed from there, once its
    // size matches.
    ASSERT_EQ(::CreateDirectoryW((dir.Path() + L"\\downloads").c_str(), nullptr), TRUE);
    ASSERT_TRUE(testing_support::WriteBytes(dir.Path() + L"\\downloads\\Url.exe", "MZ"));
    EXPECT_EQ(pullIn().Actions()[1], PlannedAction::InstallDownloaded);
    config.prerequisites[1].ExactSize = 3;
    EXPECT_EQ(pullIn().Actions()[1], PlannedAction::Download) << "a size mismatch is no finished download";

    // Not found: the decision of the search gives the action, decided once.
    keys.Delete();
    RunPlan& missing = SearchAll();
    const std::vector<PlannedAction> first = missing.Actions();
    EXPECT_EQ(first[0], PlannedAction::InstallFromPackage);
    EXPECT_EQ(first[3], PlannedAction::Download);
    missing.SetSelected(3, false);
    EXPECT_EQ(missing.Actions(), first);
}

TEST_F(RunPlanTest, MandatoryChildIsCheckedItselfWhenItsParentIsFound)
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
            SearchAll();
            Install(L"Parent");
            if (childInstalled)
                Install(L"Child");
            plan->Recheck();
            EXPECT_EQ(plan->MandatoryCheck(), childInstalled)
                << "parent first: " << parentFirst << ", child installed: " << childInstalled;
        }
    }
}

TEST_F(RunPlanTest, JobsCarryWhatTheLayersBelowNeed)
{
    Add(L"Never");
    Add(L"After", L"mr");
    Add(L"WhenFound", L"Rr");
    Add(L"Fetched", L"R", SourceUrl).CommandLine = L"/log [TempFolder]x.log";
    config.prerequisites[3].Folder = L"sub?setup.exe";
    ExtractionContext extraction;
    extraction.SetModule(L"C:\\pkg\\setup.exe", L"C:\\pkg\\");
    const std::vector<PlannedAction> actions{PlannedAction::InstallFromPackage, PlannedAction::InstallFromPackage,
                                             PlannedAction::InstallFromPackage, PlannedAction::Download};
    const StageJobs jobs = MakeStageJobs(config, actions, extraction);

    ASSERT_EQ(jobs.installs.size(), 4u);
    EXPECT_EQ(jobs.installs[0].file, L"C:\\pkg\\Never.exe");
    EXPECT_EQ(jobs.installs[0].rebootMode, RebootNever);
    EXPECT_EQ(jobs.installs[1].rebootMode, RebootAfterSuccess);
    EXPECT_EQ(jobs.installs[2].rebootMode, RebootWhenFoundInstalled);
    EXPECT_EQ(jobs.installs[3].rebootMode, RebootNever) << "R alone restarts nothing";
    // A download is started from where it lands, its command line's references expanded.
    ASSERT_EQ(jobs.downloads.size(), 1u);
    EXPECT_EQ(jobs.installs[3].download, 0);
    EXPECT_EQ(jobs.installs[3].file, config.downloadFolder + L"sub\\setup.exe");
    EXPECT_EQ(jobs.installs[3].commandLine, L"/log " + WithTrailingBackslash(GetTempFolder()) + L"x.log");
    EXPECT_EQ(jobs.downloads[0].url, config.prerequisites[3].source);
    EXPECT_FALSE(jobs.downloads[0].mandatory);
}
