// The chainer's windows in the user's language. The string tables
// are read back from the resources; the runs in another language start this program with that
// display language (the ui_language_* tests set the locale and ORVANTA_TEST_LANGUAGE) and read
// the texts back from the controls.
#include "ChainerDialogs.h"
#include "platform/DisplayLanguages.h"
#include "platform/resource.h"
#include "ui/DialogIds.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace ui_testing;
using download_testing::Servers;

namespace {

const int kStringsPerBlock = 16;

// Every string of the executable's tables: language -> id -> text, read from the resource
// blocks themselves, without the fallback to English that the chainer applies.
using StringTables = std::map<LANGID, std::map<UINT, std::wstring>>;

BOOL CALLBACK AddBlock(HMODULE module, LPCWSTR, LPCWSTR name, WORD language, LONG_PTR tables)
{
    const HRSRC found = ::FindResourceExW(module, RT_STRING, name, language);
    const auto* entry = static_cast<const WCHAR*>(::LockResource(::LoadResource(module, found)));
    const UINT first = (static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)) - 1) * kStringsPerBlock;
    for (UINT index = 0; index < kStringsPerBlock; ++index) {
        if (*entry != 0)
            (*reinterpret_cast<StringTables*>(tables))[language][first + index] = std::wstring(entry + 1, *entry);
        entry += 1 + *entry;
    }
    return TRUE;
}

BOOL CALLBACK AddBlockLanguages(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR tables)
{
    ::EnumResourceLanguagesW(module, type, name, AddBlock, tables);
    return TRUE;
}

StringTables ReadStringTables()
{
    StringTables tables;
    ::EnumResourceNamesW(nullptr, RT_STRING, AddBlockLanguages, reinterpret_cast<LONG_PTR>(&tables));
    return tables;
}

size_t Count(const std::wstring& text, const std::wstring& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

std::wstring TestLanguage()
{
    return EnvironmentValue(L"ORVANTA_TEST_LANGUAGE");
}

// The runs in a display language of their own (ui_language_*).
class DisplayLanguage : public ChainerDialogs {};

#define REQUIRE_TEST_LANGUAGE(tag)                                                      \
    if (TestLanguage() != (tag))                                                        \
        GTEST_SKIP() << "runs with the display language " << (tag) << " (ui_language_*)"

} // namespace

TEST(StringTables, EveryShippedLanguageHasEveryStringWithItsPlaceholdersAndAccessKeys)
{
    const StringTables tables = ReadStringTables();
    std::set<LANGID> shipped;
    for (const orvanta::DisplayLanguage& language : orvanta::ShippedLanguages()) {
        SCOPED_TRACE(language.tag);
        shipped.insert(language.id);
        // The table's numbers are the system's for its tags.
        EXPECT_EQ(::LocaleNameToLCID(language.tag, 0), language.id);
    }
    std::set<LANGID> inResources;
    for (const auto& table : tables)
        inResources.insert(table.first);
    EXPECT_EQ(inResources, shipped);

    const auto& english = tables.at(orvanta::EnglishLanguage().id);
    EXPECT_GE(english.size(), 36u);
    for (const auto& table : tables) {
        for (const auto& text : english) {
            SCOPED_TRACE(std::to_wstring(table.first) + L" " + std::to_wstring(text.first));
            const auto translated = table.second.find(text.first);
            ASSERT_NE(translated, table.second.end());
            EXPECT_EQ(Count(translated->second, L"%s"), Count(text.second, L"%s"));
            EXPECT_EQ(Count(translated->second, L"%"), Count(text.second, L"%"));
            EXPECT_EQ(Count(translated->second, L"&"), Count(text.second, L"&"));
        }
        EXPECT_EQ(table.second.size(), english.size());
    }
}

TEST(StringTables, TheUsersDisplayLanguageFallsBackToItsNeutralLanguageThenEnglish)
{
    const struct {
        LANGID user;
        const wchar_t* shown;
    } byUser[] = {{0x0407, L"de-DE"}, {0x0C07, L"de-DE"}, {0x0816, L"pt-BR"}, {0x080A, L"es-ES"},
                  {0x0C04, L"zh-TW"}, {0x7C04, L"zh-TW"}, {0x1004, L"zh-CN"}, {0x0004, L"zh-CN"},
                  {0x0801, L"ar-SA"}, {0x041D, L"en-US"}, {0x0809, L"en-US"}, {0x0000, L"en-US"}};
    for (const auto& c : byUser) {
        EXPECT_STREQ(orvanta::LanguageForUiLanguage(c.user).tag, c.shown) << std::hex << c.user;
    }
    const struct {
        const wchar_t* tag;
        const wchar_t* shown;  // null: none shipped
    } byTag[] = {{L"de", L"de-DE"},       {L"DE_at", L"de-DE"}, {L"pt-PT", L"pt-BR"}, {L"zh", L"zh-CN"},
                 {L"zh-Hant-HK", L"zh-TW"}, {L"ZH-hk", L"zh-TW"}, {L"he", L"he-IL"}, {L"sv-SE", nullptr},
                 {L"d", nullptr},          {L"-", nullptr}};
    for (const auto& c : byTag) {
        const orvanta::DisplayLanguage* language = orvanta::LanguageForTag(c.tag);
        EXPECT_STREQ(language != nullptr ? language->tag : nullptr, c.shown) << c.tag;
    }
    EXPECT_TRUE(orvanta::LanguageForTag(L"ar")->rightToLeft);
    EXPECT_FALSE(orvanta::LanguageForTag(L"ja")->rightToLeft);
}

// Each ui_language_* program runs the rows of its language: the display language's texts, or the
// Language key's over an unshipped display language (Swedish).
TEST_F(DisplayLanguage, ProgressDialogSpeaksTheDisplayLanguageOrTheLanguageKey)
{
    const struct {
        const wchar_t* language;
        const wchar_t* key;
        const wchar_t* title;
        const wchar_t* status;
        const wchar_t* cancel;
        const wchar_t* bar;  // its name for screen readers
        const wchar_t* screenshot;
    } rows[] = {
        {L"de", nullptr, L"Orvanta Chainer-Setup", L"Runtime wird installiert", L"Abbrechen", L"Schritt 1 von 2",
         L"progress-de"},
        {L"ar", nullptr, L"\u0625\u0639\u062F\u0627\u062F Orvanta Chainer",
         L"\u062C\u0627\u0631\u064D \u062A\u062B\u0628\u064A\u062A Runtime",
         L"\u0625\u0644\u063A\u0627\u0621 \u0627\u0644\u0623\u0645\u0631",
         L"\u0627\u0644\u062E\u0637\u0648\u0629 1 \u0645\u0646 2", L"progress-ar"},
        {L"ja", nullptr, L"Orvanta Chainer \u30BB\u30C3\u30C8\u30A2\u30C3\u30D7",
         L"Runtime \u3092\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB\u3057\u3066\u3044\u307E\u3059",
         L"\u30AD\u30E3\u30F3\u30BB\u30EB", L"\u30B9\u30C6\u30C3\u30D7 1 / 2", nullptr},
        {L"sv", nullptr, kTitle, L"Installing Runtime", L"Cancel", L"Step 1 of 2", nullptr},
        {L"sv", L"Language=de-CH", L"Orvanta Chainer-Setup", L"Runtime wird installiert", L"Abbrechen",
         L"Schritt 1 von 2", nullptr},
        {L"sv", L"Language=xx", kTitle, L"Installing Runtime", L"Cancel", L"Step 1 of 2", nullptr},
    };
    if (TestLanguage().empty())
        GTEST_SKIP() << "runs in the ui_language_* tests";
    Gate finish(L"OrvantaUiLanguageFinish");
    for (const auto& row : rows) {
        if (TestLanguage() != row.language)
            continue;
        SCOPED_TRACE(row.title);
        ::DeleteFileW(package.LogPath().c_str());
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        WritePackage(L"b", {Installer(L"Runtime", &finish), Installer(L"Viewer", nullptr)},
                     row.key != nullptr ? std::vector<std::wstring>{row.key} : std::vector<std::wstring>{});
        Start();
        const HWND dialog = WaitForProgress(row.title);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT, row.status));
        EXPECT_EQ(ControlText(dialog, IDCANCEL), row.cancel);
        EXPECT_EQ(ControlText(dialog, IDC_PROGRESS_BAR), row.bar);
        // Arabic is mirrored: Cancel sits at the left, the bar to its right and fills from the right.
        const bool rightToLeft = TestLanguage() == L"ar";
        EXPECT_EQ((::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, rightToLeft);
        RECT cancel{}, bar{};
        ::GetWindowRect(::GetDlgItem(dialog, IDCANCEL), &cancel);
        ::GetWindowRect(::GetDlgItem(dialog, IDC_PROGRESS_BAR), &bar);
        EXPECT_EQ(cancel.right < bar.left, rightToLeft);
        if (row.screenshot != nullptr)
            SaveScreenshot(dialog, row.screenshot);
        finish.Open();
        EXPECT_EQ(ExitCode(), 0u);
        finish.Shut();
    }
    if (TestLanguage() == L"sv") {
        EXPECT_TRUE(Logged(L"Language xx is not available; the user's display language is used."));
    }
}

TEST_F(DisplayLanguage, GermanFailureInTheStatusLineIsEnglishInTheLog)
{
    REQUIRE_TEST_LANGUAGE(L"de");
    REQUIRE_TEST_SERVERS();
    EXPECT_EQ(PRIMARYLANGID(::GetSystemDefaultLangID()), LANG_JAPANESE);  // the display language is not the system's
    WritePackage(L"b", {Download(L"Broken", Servers().NginxUrl(L"small.bin"), L"MD5=00000000000000000000000000000000")});
    Start();
    const HWND dialog = WaitForProgress(L"Orvanta Chainer-Setup");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT,
                                   L"Die heruntergeladene Datei stimmt nicht mit ihrem Wert f\u00FCr MD5 \u00FCberein."));
    PressButton(dialog, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(Logged(L"The downloaded file does not match its MD5."));
}

TEST_F(DisplayLanguage, JapaneseLoginQuestion)
{
    REQUIRE_TEST_LANGUAGE(L"ja");
    REQUIRE_TEST_SERVERS();
    WritePackage(L"b", {Download(L"Guarded", Servers().FaultUrl(L"/auth/Members/tester/secret/guarded-setup.exe"))});
    Start();
    const HWND login = WaitForDialog(chainer->Id(), L"Members \u3078\u63A5\u7D9A");  // "Members へ接続"
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(ControlText(login, IDC_USER_NAME_LABEL), L"\u30E6\u30FC\u30B6\u30FC\u540D(&U):");  // ユーザー名(&U):
    EXPECT_EQ(ControlText(login, IDC_PASSWORD_LABEL), L"\u30D1\u30B9\u30EF\u30FC\u30C9(&P):");  // パスワード(&P):
    Type(login, IDC_USER_NAME, L"tester");
    Type(login, IDC_PASSWORD, L"secret");
    SaveScreenshot(login, L"login-ja");
    PressButton(login, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
}
