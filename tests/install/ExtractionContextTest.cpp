// Where setup files and search programs lie.
#include "install/ExtractionContext.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

// Configured as the chainer configures it.
void SetUpAsChainer(ExtractionContext& context, const std::wstring& extractionFolder)
{
    context.SetModule(L"C:\\Package\\setup.exe", L"C:\\Package\\");
    context.Configure(extractionFolder);
}

} // namespace

TEST(ExtractionContext, RelativeSetupFilesLieInTheExtractionFolderProgramsAlwaysThere)
{
    ExtractionContext context;
    SetUpAsChainer(context, L"C:\\Temp\\Prod\\");
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"vcredist\\setup.exe", L"C:\\Temp\\Prod\\vcredist\\setup.exe"},
        {L"\\setup.exe", L"C:\\Temp\\Prod\\\\setup.exe"},
        {L"", L"C:\\Temp\\Prod\\"},
        {L"C:\\x\\setup.exe", L"C:\\x\\setup.exe"},
        {L"\\\\srv\\share\\setup.exe", L"\\\\srv\\share\\setup.exe"},
        {L"d:setup.exe", L"d:setup.exe"},
        {L"\\\\", L"\\\\"},
        // One-character names are always relative.
        {L"\\", L"C:\\Temp\\Prod\\\\"},
        {L":", L"C:\\Temp\\Prod\\:"},
    };
    for (const auto& [setupFile, path] : cases)
        EXPECT_EQ(context.GetPackageFilePath(setupFile), path);
    // Search programs always lie below the base folder.
    EXPECT_EQ(context.GetProgramPath(L"tools\\check.exe"), L"C:\\Temp\\Prod\\tools\\check.exe");
    // No absolute-path test for search programs.
    EXPECT_EQ(context.GetProgramPath(L"C:\\x\\check.exe"), L"C:\\Temp\\Prod\\C:\\x\\check.exe");

    // Without extraction folder both are relative to the chainer.
    SetUpAsChainer(context, L"");
    EXPECT_EQ(context.GetPackageFilePath(L"vcredist\\setup.exe"), L"C:\\Package\\vcredist\\setup.exe");
    EXPECT_EQ(context.GetProgramPath(L"check.exe"), L"C:\\Package\\check.exe");
}
