#include "config/Config.h"
#include "install/InterbootStore.h"
#include "run/PrerequisiteRun.h"
#include "install/ExtractionContext.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orvanta;
using testing_support::ContainsLine;

namespace {

struct FakeStages final : InstallStages {
    explicit FakeStages(RebootFlags flags, std::vector<std::wstring>& calls) : flags(flags), calls(calls) {}
    void SetSilent(bool silent) override { calls.push_back(silent ? L"silent" : L"basic"); }
    void Prepare() override { calls.push_back(L"prepare"); }
    void RunDownloadStage(bool) override { calls.push_back(L"download"); }
    void RunOpenSiteStage(bool) override { calls.push_back(L"opensite"); }
    void RunInstallStage(bool) override { calls.push_back(L"install"); }
    RebootFlags Reboot() const override { return flags; }
    ~FakeStages() override { calls.push_back(L"discarded"); }

    RebootFlags flags;
    std::vector<std::wstring>& calls;
};

// Decides every prerequisite as `decision` and plays the stages with the given reboot flags.
struct FakeRun final : PrerequisiteRun {
    void SearchAll(ChainerConfig& config) override
    {
        calls.push_back(L"search");
        for (PrereqInfo& prereq : config.prerequisites)
            prereq.decision = decision;
    }
    std::unique_ptr<InstallStages> BuildStages(ChainerConfig&, ExtractionContext&, InterbootStore& store) override
    {
        calls.push_back(L"build");
        store.SetNumber(L"RetFirst", 3010);
        return std::make_unique<FakeStages>(reboot, calls);
    }
    void Recheck(ChainerConfig&) override { calls.push_back(L"recheck"); }
    bool MandatoryCheck(ChainerConfig&) override
    {
        calls.push_back(L"mandatory");
        return mandatoryOk;
    }

    PrereqDecision decision = InstallFromPackage;
    RebootFlags reboot;
    bool mandatoryOk = true;
    std::vector<std::wstring> calls;
};

class InstallSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext");
        config.general.Options = L"q";
        config.prerequisites.resize(1);
        config.prerequisites[0].name = L"First";
        config.prerequisites[0].RetValPropName = L"RetFirst";
    }
    void TearDown() override { testing_support::DeleteRegistryTree(HKEY_CURRENT_USER, L"InterbootContext"); }

    std::vector<std::wstring> Log() const { return log.Lines(); }
    bool KeyKept() const { return testing_support::RegistryKeyExists(HKEY_CURRENT_USER, L"InterbootContext"); }

    testing_support::LogCapture log;
    ChainerConfig config;
    ExtractionContext extraction;
    FakeRun run;
};

} // namespace

TEST_F(InstallSequenceTest, NoPrerequisitesEndsAtOnceAndDeletesTheKey)
{
    config.prerequisites.clear();
    ASSERT_TRUE(testing_support::SetRegistryString(HKEY_CURRENT_USER, L"InterbootContext", L"Old", L"1"));
    const InstallOutcome outcome = InstallPrerequisites(config, extraction, run);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(run.calls.empty());
    EXPECT_FALSE(KeyKept());
}

TEST_F(InstallSequenceTest, NothingToInstallIsLogged)
{
    run.decision = AcceptableFound;
    EXPECT_EQ(InstallPrerequisites(config, extraction, run).result, 0);
    EXPECT_EQ(run.calls, std::vector<std::wstring>{L"search"});
    EXPECT_TRUE(ContainsLine(Log(), L"No prerequisite must be installed."));
}

TEST_F(InstallSequenceTest, SilentRunRunsTheStagesInOrderThenChecks)
{
    const InstallOutcome outcome = InstallPrerequisites(config, extraction, run);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.rebootPending);
    EXPECT_EQ(run.calls, (std::vector<std::wstring>{L"search", L"build", L"silent", L"prepare", L"download",
                                                    L"opensite", L"install", L"recheck", L"mandatory",
                                                    L"discarded"}));
    const auto log = Log();
    EXPECT_TRUE(ContainsLine(log, L"Starting installing prerequisites in silent mode."));
    EXPECT_TRUE(ContainsLine(log, L"After running prerequisites we have:  Reboot was required=false"));
    // The stored return code reaches the configuration, then the key goes.
    EXPECT_TRUE(config.prerequisites[0].hasReturnCode);
    EXPECT_EQ(config.prerequisites[0].returnCode, 3010);
    EXPECT_FALSE(KeyKept());
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
        InstallSequenceTest::TearDown();
        const size_t logged = Log().size();
        FakeRun fake;
        fake.reboot = RebootFlags{c.required, c.refused, c.inProgress};
        fake.mandatoryOk = c.mandatoryOk;
        const InstallOutcome outcome = InstallPrerequisites(config, extraction, fake);
        SCOPED_TRACE(testing::Message() << c.required << c.refused << c.inProgress << c.mandatoryOk);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(outcome.rebootPending, c.result == -1);
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

TEST_F(InstallSequenceTest, WithoutQuietOrBasicNothingIsInstalledOrLogged)
{
    config.general.Options = L"";
    EXPECT_EQ(InstallPrerequisites(config, extraction, run).result, 0);
    EXPECT_EQ(std::count(run.calls.begin(), run.calls.end(), L"install"), 0);
    for (const std::wstring& line : Log())
        EXPECT_EQ(line.find(L"Starting installing"), std::wstring::npos);
}

TEST_F(InstallSequenceTest, QuietWinsOverBasicAndBasicModeIsLoggedAsSuch)
{
    config.general.Options = L"qb";
    InstallPrerequisites(config, extraction, run);
    config.general.Options = L"b";
    InstallPrerequisites(config, extraction, run);
    const auto log = Log();
    EXPECT_TRUE(ContainsLine(log, L"Starting installing prerequisites in silent mode."));
    EXPECT_TRUE(ContainsLine(log, L"Starting installing prerequisites in basic UI mode."));
}
