// The chainer's windows in the user's language and from the keyboard alone. The string tables
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
using orvanta::DisplayLanguage;

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

#define REQUIRE_TEST_LANGUAGE(tag)                                                      \
    if (TestLanguage() != (tag))                                                        \
        GTEST_SKIP() << "runs with the display language " << (tag) << " (ui_language_*)"

} // namespace

TEST(StringTables, EveryShippedLanguageHasEveryStringWithItsPlaceholdersAndAccessKeys)
{
    const StringTables tables = ReadStringTables();
    std::set<LANGID> shipped;
    for (const DisplayLanguage& language : orvanta::ShippedLanguages()) {
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
        const DisplayLanguage* language = orvanta::LanguageForTag(c.tag);
        EXPECT_STREQ(language != nullptr ? language->tag : nullptr, c.shown) << c.tag;
    }
    EXPECT_TRUE(orvanta::LanguageForTag(L"ar")->rightToLeft);
    EXPECT_FALSE(orvanta::LanguageForTag(L"ja")->rightToLeft);
}

TEST_F(ChainerDialogs, KeyboardAloneAnswersTheLoginAndTheRestartQuestions)
{
    REQUIRE_TEST_SERVERS();
    ASSERT_TRUE(::CopyFileW(EnvironmentValue(L"ORVANTA_TESTHELPER").c_str(),
                            Servers().DataFile(L"guarded-setup.exe").c_str(), FALSE));
    WritePackage(L"b", {Download(L"Guarded", Servers().FaultUrl(L"/auth/Members/tester/secret/guarded-setup.exe")),
                        Installer(L"Runtime", nullptr, L"r")});
    Start();

    // A wrong password answered with Enter, then the question again, given up with Esc.
    HWND login = WaitForDialog(chainer->Id(), L"Connect to Members");
    ASSERT_NE(login, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == login; }));
    TypeOnKeyboard(L"tester");                         // the user name has the focus
    PressAltWith(L'p');                                // "&Password:"
    TypeOnKeyboard(L"wrong");
    PressAltWith(L'r');                                // "&Remember my credentials"
    EXPECT_TRUE(
        WaitUntil([&] { return ::SendDlgItemMessageW(login, IDC_REMEMBER, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
    PressAltWith(L'u');                                // back to "&User name:"
    PressKeys({VK_END});
    TypeOnKeyboard(L"2");
    EXPECT_TRUE(WaitForControlText(login, IDC_USER_NAME, L"tester2"));
    PressKeys({VK_RETURN});
    ASSERT_TRUE(WaitUntilGone(login));
    login = WaitForDialog(chainer->Id(), L"Connect to Members");
    ASSERT_NE(login, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == login; }));
    PressKeys({VK_ESCAPE});
    ASSERT_TRUE(WaitUntilGone(login));

    // The restart question: Tab moves from Yes to No, Enter answers.
    const HWND question = WaitForDialog(chainer->Id(), L"Confirmation");
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == question; }));
    PressKeys({VK_TAB, VK_RETURN});
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(Logged(L"  Reboot was refused=true"));
    EXPECT_FALSE(Marked(L"Guarded"));
    EXPECT_TRUE(Marked(L"Runtime"));
    EXPECT_TRUE(LogContains(L"Download failed. Error:"));
}

TEST_F(ChainerDialogs, GermanDisplayLanguageOnAJapaneseSystemWithAnEnglishLog)
{
    REQUIRE_TEST_LANGUAGE(L"de");
    REQUIRE_TEST_SERVERS();
    EXPECT_EQ(PRIMARYLANGID(::GetSystemDefaultLangID()), LANG_JAPANESE);  // the test's premise
    Gate finish(L"OrvantaUiGermanFinish");
    WritePackage(L"b", {Installer(L"Runtime", &finish), Installer(L"Viewer", nullptr)});
    Start();
    const std::wstring title = L"Orvanta Chainer-Setup";
    HWND dialog = WaitForProgress(title);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT, L"Runtime wird installiert"));
    EXPECT_EQ(ControlText(dialog, IDCANCEL), L"Abbrechen");
    EXPECT_EQ(ControlText(dialog, IDC_PROGRESS_BAR), L"Schritt 1 von 2");  // the bar's name
    EXPECT_FALSE(::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    SaveScreenshot(dialog, L"progress-de");
    finish.Open();
    EXPECT_EQ(ExitCode(), 0u);

    // A failure: the status line says it in German, the log in English as always.
    ::DeleteFileW(package.LogPath().c_str());
    WritePackage(L"b", {Download(L"Broken", Servers().NginxUrl(L"small.bin"), L"MD5=00000000000000000000000000000000")});
    Start();
    dialog = WaitForProgress(title);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_TEXT,
                                   L"Die heruntergeladene Datei stimmt nicht mit ihrem Wert f\u00FCr MD5 \u00FCberein."));
    PressButton(dialog, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_TRUE(Logged(L"The downloaded file does not match its MD5."));
}

TEST_F(ChainerDialogs, JapaneseLoginQuestion)
{
    REQUIRE_TEST_LANGUAGE(L"ja");
    REQUIRE_TEST_SERVERS();
    WritePackage(L"b", {Download(L"Guarded", Servers().FaultUrl(L"/auth/Members/tester/secret/guarded-setup.exe"))});
    Start();
    const HWND login = WaitForDialog(chainer->Id(), L"Members \u3078\u63A5\u7D9A");  // "Members へ接続"
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(ControlText(login, IDC_USER_NAME_LABEL), L"\u30E6\u30FC\u30B6\u30FC\u540D(&U):");  // ユーザー名(&U):
    EXPECT_EQ(ControlText(login, IDC_PASSWORD_LABEL), L"\u30D1\u30B9\u30EF\u30FC\u30C9(&P):");  // パスワード(&P):
    EXPECT_EQ(ControlText(login, IDCANCEL), L"\u30AD\u30E3\u30F3\u30BB\u30EB");  // キャンセル
    Type(login, IDC_USER_NAME, L"tester");
    Type(login, IDC_PASSWORD, L"secret");
    SaveScreenshot(login, L"login-ja");
    PressButton(login, IDCANCEL);
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(ChainerDialogs, ArabicDialogsAreMirrored)
{
    REQUIRE_TEST_LANGUAGE(L"ar");
    Gate finish(L"OrvantaUiArabicFinish");
    WritePackage(L"b", {Installer(L"Runtime", &finish), Installer(L"Viewer", nullptr)});
    Start();
    const HWND dialog = WaitForProgress(L"\u0625\u0639\u062F\u0627\u062F Orvanta Chainer");  // "إعداد %s"
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitForControlText(dialog, IDC_PROGRESS_BAR, L"\u0627\u0644\u062E\u0637\u0648\u0629 1 \u0645\u0646 2"));
    EXPECT_EQ(ControlText(dialog, IDCANCEL), L"\u0625\u0644\u063A\u0627\u0621 \u0627\u0644\u0623\u0645\u0631");
    EXPECT_TRUE(::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(dialog, IDC_PROGRESS_BAR), GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    // Mirrored, Cancel sits at the left and the bar to its right.
    RECT cancel{}, bar{};
    ::GetWindowRect(::GetDlgItem(dialog, IDCANCEL), &cancel);
    ::GetWindowRect(::GetDlgItem(dialog, IDC_PROGRESS_BAR), &bar);
    EXPECT_LT(cancel.right, bar.left);
    SaveScreenshot(dialog, L"progress-ar");
    finish.Open();
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(ChainerDialogs, UnshippedDisplayLanguageFallsBackToEnglishAndTheLanguageKeyWins)
{
    REQUIRE_TEST_LANGUAGE(L"sv");
    Gate finish(L"OrvantaUiFallbackFinish");
    const struct {
        const wchar_t* key;
        const wchar_t* title;
        const wchar_t* cancel;
    } cases[] = {{nullptr, kTitle, L"Cancel"},
                 {L"Language=de-CH", L"Orvanta Chainer-Setup", L"Abbrechen"},
                 {L"Language=xx", kTitle, L"Cancel"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        ::DeleteFileW(package.LogPath().c_str());
        DeleteRegistryTree(HKEY_CURRENT_USER, kMarks);
        WritePackage(L"b", {Installer(L"Runtime", &finish)},
                     c.key != nullptr ? std::vector<std::wstring>{c.key} : std::vector<std::wstring>{});
        Start();
        const HWND dialog = WaitForProgress(c.title);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ControlText(dialog, IDCANCEL), c.cancel);
        finish.Open();
        EXPECT_EQ(ExitCode(), 0u);
        finish.Shut();
    }
    EXPECT_TRUE(Logged(L"Language xx is not available; the user's display language is used."));
}
