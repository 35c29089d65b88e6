#include "config/Config.h"
#include "install/InterbootStore.h"
#include "run/PrerequisiteRun.h"
#include "run/RunPlan.h"
#include "run/UserInterface.h"
#include "install/ExtractionContext.h"
#include "platform/ProgressSink.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvanta;
using testing_support::ContainsLine;

namespace {

struct FakeStages final : InstallStages {
    explicit FakeStages(RebootFlags flags, std::vector<std::wstring>& calls) : flags(flags), calls(calls) {}
    void SetSilent(bool silent) override { calls.push_back(silent ? L"silent" : L"basic"); }
    uint32_t Run(ProgressSink* sink, DownloadQuestions*) override
    {
        calls.push_back(sink != nullptr ? L"stages+sink" : L"stages");
        return 0;
    }
    void Stop() override { calls.push_back(L"stop"); }
    RebootFlags Reboot() const override { return flags; }
    ~FakeStages() override { calls.push_back(L"discarded"); }

    RebootFlags flags;
    std::vector<std::wstring>& calls;
};

// Searches for real (the fixture's prerequisite is never found) and plays the stages with the
// given reboot flags.
struct FakeRun final : PrerequisiteRun {
    void SearchAll(RunPlan& plan) override
    {
        calls.push_back(L"search");
        plan.SearchAll();
    }
    std::unique_ptr<InstallStages> BuildStages(RunPlan&, ExtractionContext&, InterbootStore& store) override
    {
        calls.push_back(L"build");
        store.SetNumber(L"RetFirst", 3010);
        return std::make_unique<FakeStages>(reboot, calls);
    }
    void Recheck(RunPlan&) override { calls.push_back(L"recheck"); }
    bool MandatoryCheck(RunPlan&) override
    {
        calls.push_back(L"mandatory");
        return mandatoryOk;
    }

    RebootFlags reboot;
    bool mandatoryOk = true;
    std::vector<std::wstring> calls;
};

// Records the windows it would show. Its dialog ends as `end` says without running the stages
// (a cancel before the first stage, or no dialog at all); the real dialogs run them in tests/ui.
struct FakeUi final : UserInterface {
    explicit FakeUi(std::vector<std::wstring>& calls) : calls(calls) {}
    void SetTitle(const std::wstring& title) override { calls.push_back(L"title:" + title); }
    void ShowStatus(const std::wstring& text) override { calls.push_back(L"status:" + text); }
    void CloseStatus() override { calls.push_back(L"close"); }
    int32_t RunProgressDialog(StageWorker&) override
    {
        calls.push_back(L"dialog");
        return end;
    }

    std::vector<std::wstring>& calls;
    int32_t end = ProgressNotShown;
};

class InstallSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        config.general.options = ParseGeneralOptions(L"q");
        config.prerequisites.resize(1);
        config.prerequisites[0].name = L"First";
        config.prerequisites[0].RetValPropName = L"RetFirst";
        config.prerequisites[0].Operator = 1;  // "or" over no searches: not found
    }

    std::vector<std::wstring> Log() const { return log.Lines(); }
    bool KeyKept() const { return testing_support::RegistryKeyExists(HKEY_CURRENT_USER, L"InterbootContext"); }

    testing_support::ScratchKeys keys{{L"InterbootContext"}};
    testing_support::LogCapture log;
    ChainerConfig config;
    ExtractionContext extraction;
    FakeRun run;
    FakeUi ui{run.calls};
};

} // namespace

TEST_F(InstallSequenceTest, WithoutPrerequisitesOrAModeNothingIsInstalled)
{
    ChainerConfig empty = config;
    empty.prerequisites.clear();
    ASSERT_TRUE(testing_support::SetRegistryString(HKEY_CURRENT_USER, L"InterbootContext", L"Old", L"1"));
    EXPECT_EQ(ExitCodeFor(InstallPrerequisites(empty, extraction, run).end), 0);
    EXPECT_TRUE(run.calls.empty());
    EXPECT_FALSE(KeyKept());

    config.general.options = ParseGeneralOptions(L"");  // neither quiet nor basic
    EXPECT_EQ(ExitCodeFor(InstallPrerequisites(config, extraction, run).end), 0);
    EXPECT_EQ(std::count(run.calls.begin(), run.calls.end(), L"stages"), 0);
    for (const std::wstring& line : Log())
        EXPECT_EQ(line.find(L"Starting installing"), std::wstring::npos);
}

TEST_F(InstallSequenceTest, SilentRunRunsTheStagesInOrderThenChecks)
{
    config.general.options = ParseGeneralOptions(L"qb");  // quiet wins
    const InstallOutcome outcome = InstallPrerequisites(config, extraction, run);
    EXPECT_EQ(ExitCodeFor(outcome.end), 0);
    EXPECT_FALSE(outcome.RebootPending());
    EXPECT_EQ(run.calls, (std::vector<std::wstring>{L"search", L"build", L"silent", L"stages", L"recheck",
                                                    L"mandatory", L"discarded"}));
    EXPECT_FALSE(KeyKept());  // the stored return code goes with the key
}

TEST_F(InstallSequenceTest, RebootStateAndMandatoryCheckDecideTheResultAndTheKey)
{
    // A required reboot skips the checks; an outstanding one keeps the stored codes for the next run.
    const std::wstring summary = L"After running prerequisites we have:  Reboot was required=";
    const struct {
        bool required, refused, inProgress, mandatoryOk;
        int result;
        std::vector<std::wstring> lines;  // the reboot summary; "Reboot in Progress" only where listed
    } cases[] = {
        {false, false, false, false, 1, {summary + L"false"}},
        {true, false, false, false, -1,
         {summary + L"true", L"  Reboot was refused=false", L"  Reboot in Progress=false"}},
        {true, true, false, true, 0, {summary + L"true", L"  Reboot was refused=true"}},
        {false, false, true, true, -1, {summary + L"false"}},
    };
    for (const auto& c : cases) {
        keys.Delete();
        const size_t logged = Log().size();
        FakeRun fake;
        fake.reboot = RebootFlags{c.required, c.refused, c.inProgress};
        fake.mandatoryOk = c.mandatoryOk;
        const InstallOutcome outcome = InstallPrerequisites(config, extraction, fake);
        SCOPED_TRACE(testing::Message() << c.required << c.refused << c.inProgress << c.mandatoryOk);
        EXPECT_EQ(ExitCodeFor(outcome.end), c.result);
        EXPECT_EQ(outcome.RebootPending(), c.result == -1);
        EXPECT_EQ(KeyKept(), c.result == -1);
        EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), L"recheck"), c.required ? 0 : 1);
        const std::vector<std::wstring> all = Log();
        const std::vector<std::wstring> lines(all.begin() + logged, all.end());
        for (const std::wstring& line : c.lines)
            EXPECT_TRUE(ContainsLine(lines, line)) << line;
        const bool progressLogged = std::any_of(lines.begin(), lines.end(), [](const std::wstring& line) {
            return line.find(L"Reboot in Progress") != std::wstring::npos;
        });
        EXPECT_EQ(progressLogged, c.lines.size() == 3);
    }
}

TEST_F(InstallSequenceTest, DialogEndsGiveTheExitCode)
{
    // A canceled dialog (2), or one that could not be shown (0), is followed by the checks: a
    // mandatory prerequisite still missing fails the run.
    const struct {
        int32_t end;
        bool mandatoryOk;
        int32_t result;
        int checksAfterDialog;
    } cases[] = {
        {ProgressDone, false, 0, 0},          {ProgressMandatoryMissing, true, 1, 0},
        {ProgressCanceledOrRebooting, true, 0, 2}, {ProgressCanceledOrRebooting, false, 1, 2},
        {ProgressNotShown, false, 1, 2},
    };
    config.general.options = ParseGeneralOptions(L"b");
    for (const auto& c : cases) {
        run.calls.clear();
        run.mandatoryOk = c.mandatoryOk;
        ui.end = c.end;
        EXPECT_EQ(ExitCodeFor(InstallPrerequisites(config, extraction, run, &ui).end), c.result) << c.end;
        const auto dialog = std::find(run.calls.begin(), run.calls.end(), L"dialog");
        ASSERT_NE(dialog, run.calls.end());
        EXPECT_EQ(std::count(dialog, run.calls.end(), L"recheck") + std::count(dialog, run.calls.end(), L"mandatory"),
                  c.checksAfterDialog)
            << c.end;
    }
    EXPECT_TRUE(ContainsLine(Log(), L"Starting installing prerequisites in basic UI mode."));
}
