#include "ChainerPackage.h"

#include <gtest/gtest.h>

namespace testing_support {

ChainerPackage::ChainerPackage(const std::wstring& exeName, const wchar_t* chainerVariable) : exeName_(exeName)
{
    const std::wstring chainer = EnvironmentValue(chainerVariable);
    EXPECT_FALSE(chainer.empty()) << chainerVariable << " is not set";
    EXPECT_TRUE(::CopyFileW(chainer.c_str(), ExePath().c_str(), FALSE)) << "cannot copy the chainer";
}

std::wstring ChainerPackage::IniPath() const
{
    const size_t dot = exeName_.rfind(L'.');
    return folder_ / ((dot == std::wstring::npos ? exeName_ : exeName_.substr(0, dot)) + L".ini");
}

void ChainerPackage::WriteIni(const std::vector<std::wstring>& lines) const
{
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\r\n";
    ASSERT_TRUE(WriteUtf16File(IniPath(), text));
}

void ChainerPackage::WritePrerequisites(const std::vector<std::wstring>& general,
                                        const std::vector<IniSection>& sections) const
{
    std::vector<std::wstring> lines{L"[GeneralOptions]"};
    lines.insert(lines.end(), general.begin(), general.end());
    lines.push_back(L"[PREREQUISITES]");
    for (size_t i = 0; i < sections.size(); ++i)
        lines.push_back(L"App" + std::to_wstring(i + 1) + L"=" + sections[i][0].substr(1, sections[i][0].size() - 2));
    for (const IniSection& section : sections)
        lines.insert(lines.end(), section.begin(), section.end());
    lines.insert(lines.end(), {L"[PREREQ_CHAINER]", L"LogFile=" + LogPath()});
    WriteIni(lines);
}

void ChainerPackage::AppendToIni(const std::wstring& line) const
{
    ASSERT_TRUE(WriteUtf16File(IniPath(), ReadUtf16File(IniPath()) + L"\r\n" + line + L"\r\n"));
}

void ChainerPackage::AddTestHelper(const std::wstring& name) const
{
    const std::wstring helper = EnvironmentValue(L"ORVANTA_TESTHELPER");
    ASSERT_TRUE(::CopyFileW(helper.c_str(), PathOf(name).c_str(), FALSE));
}

void ChainerPackage::AddBuiltPackage(const std::wstring& name) const
{
    const std::wstring built = EnvironmentValue(L"ORVANTA_TEST_PACKAGES") + L"\\" + name;
    ASSERT_TRUE(::CopyFileW(built.c_str(), PathOf(name).c_str(), FALSE)) << built;
}

ProcessResult ChainerPackage::Run(DWORD timeoutMs) const
{
    return RunProcess(L"\"" + ExePath() + L"\"", otherWorkingFolder_.Path(), timeoutMs);
}

DWORD ChainerPackage::RunForExitCode() const
{
    const ProcessResult result = Run();
    return result.finished ? result.exitCode : kNotFinished;
}

} // namespace testing_support
