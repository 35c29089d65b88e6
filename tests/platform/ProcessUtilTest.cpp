// Process look-ups against real chains of test-helper processes. Each helper reports its id
// and signals a named event once it runs, then sleeps a bounded time; a reaper ends them all.
#include "ChildProcesses.h"
#include "TestSupport.h"

#include "platform/ProcessUtil.h"
#include "platform/UniqueResource.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvanta;
using namespace install_tests;
using testing_support::Gate;
using testing_support::StartedProcess;
using testing_support::TempDir;

namespace {

constexpr DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

std::vector<uint32_t> Sorted(std::vector<uint32_t> ids)
{
    std::sort(ids.begin(), ids.end());
    return ids;
}

// "--spawn" argument text that makes the grandchild report into `report`, signal `ready` and sleep.
std::wstring GrandchildArguments(const std::wstring& report, const Gate& ready)
{
    return L"--spawn \"--report \\\"" + report + L"\\\" --signal " + ready.Name() + L" --sleep 30000\"";
}

} // namespace

TEST(GetProcessCommandLine, NothingOfUnreadableProcesses)
{
    EXPECT_EQ(ProcessUtil::GetProcessCommandLine(nullptr), L"");
    const UniqueHandle limited(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ::GetCurrentProcessId()));
    ASSERT_TRUE(limited);
    EXPECT_EQ(ProcessUtil::GetProcessCommandLine(limited.Get()), L"");
}

TEST(EnumerateProcesses, OffersEveryProcessWithSnapshotDataAndCommandLineAndParentIds)
{
    Gate ready(L"OrvantaEnumerated");
    // The command line is read exactly, with its quotes, blanks and characters beyond ASCII.
    const std::wstring marker = L"--marker-" + ready.Name();
    const std::wstring commandLine = HelperCommandLine(L"--signal " + ready.Name() + L" --sleep 30000 " + marker +
                                                       L" \"quoted arg\"  two\tspaces \u00e9\u4e2d");
    StartedProcess child(commandLine);
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(ready.WaitOpen());

    std::vector<ProcessEntry> seen;
    const std::vector<uint32_t> matches = ProcessUtil::EnumerateProcesses([&](const ProcessEntry& entry) {
        seen.push_back(entry);
        return entry.commandLine.find(marker) != std::wstring::npos;
    });

    ASSERT_EQ(matches, std::vector<uint32_t>{child.Id()});
    const auto childEntry =
        std::find_if(seen.begin(), seen.end(), [&](const ProcessEntry& e) { return e.processId == child.Id(); });
    ASSERT_NE(childEntry, seen.end());
    EXPECT_EQ(childEntry->parentProcessId, ::GetCurrentProcessId());
    EXPECT_EQ(childEntry->exeFile, L"testhelper.exe");
    EXPECT_EQ(childEntry->commandLine, commandLine);
    const auto ownEntry = std::find_if(seen.begin(), seen.end(),
                                       [](const ProcessEntry& e) { return e.processId == ::GetCurrentProcessId(); });
    ASSERT_NE(ownEntry, seen.end());
    EXPECT_EQ(ownEntry->commandLine, std::wstring(::GetCommandLineW()));

    EXPECT_EQ(ProcessUtil::GetParentProcessId(child.Id()), ::GetCurrentProcessId());
    EXPECT_EQ(ProcessUtil::GetParentProcessId(0xFFFFFFF0u), 0u);
}

TEST(GetProcessTree, HoldsTheRootAndItsLivingDescendantsAlsoOnceTheRootEnded)
{
    // The second child only starts its grandchild and ends; its handle keeps its id from being reused.
    for (const bool rootEnds : {false, true}) {
        TempDir temp;
        Gate ready(rootEnds ? L"OrvantaTreeRootEnds" : L"OrvantaTreeRootRuns");
        const std::wstring report = temp / L"grandchild.txt";
        StartedProcess child(HelperCommandLine(GrandchildArguments(report, ready) + (rootEnds ? L"" : L" --sleep 30000")));
        ASSERT_TRUE(child.Started());
        ProcessReaper reaper;
        ASSERT_TRUE(ready.WaitOpen());
        const uint32_t grandchild = ReportedNumber(ReadReport(report), L"pid");
        ASSERT_NE(grandchild, 0u);
        reaper.Add(grandchild);
        if (rootEnds) {
            DWORD exitCode = 1;
            ASSERT_TRUE(child.Wait(exitCode, 30000));
            ASSERT_EQ(exitCode, 0u);
            EXPECT_EQ(ProcessUtil::GetProcessTree(child.Id()), std::vector<uint32_t>{grandchild});
            continue;
        }
        EXPECT_EQ(Sorted(ProcessUtil::GetProcessTree(child.Id())), Sorted({child.Id(), grandchild}));
        const std::vector<uint32_t> ownTree = ProcessUtil::GetProcessTree(::GetCurrentProcessId());
        for (const uint32_t id : {static_cast<uint32_t>(::GetCurrentProcessId()), static_cast<uint32_t>(child.Id()),
                                  grandchild})
            EXPECT_NE(std::find(ownTree.begin(), ownTree.end(), id), ownTree.end()) << id;
    }
    EXPECT_TRUE(ProcessUtil::GetProcessTree(0xFFFFFFF0u).empty());
}
