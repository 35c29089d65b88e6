// The package authors' tool, natively: one INI text per finding with the line and severity it
// must be reported at, the fmt round trip, digests against published vectors, and the plan of
// the example package, and the Signer line of a program signed at test time.
#include "Check.h"
#include "Fmt.h"
#include "Hash.h"
#include "Plan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

using namespace orvanta_ini;

namespace {

// UTF-16 LE with byte-order mark; "\n" in the text becomes CR LF unless raw.
std::string IniBytes(const std::string& text, bool raw = false)
{
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        if (c == '\n' && !raw) {
            bytes += std::string("\r\0\n\0", 4);
            continue;
        }
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

const std::string kHead = "[GeneralOptions]\nOptions=q\n[PREREQUISITES]\nApp1=A\n";  // lines 1-4
const std::string kPin = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789ABCDEF";
const std::string kA = "[A]\nSetupFile=a.exe\nSearchType1=2\nSearchString1=HKCU\\X\nVerMin1=1.0\n";  // 5-9

struct Case {
    const char* what;
    std::string bytes;
    int line;
    Severity severity;
    const char* says;
};

TEST(Check, EachMistakeIsReportedOnceAtItsLine)
{
    const Severity E = Severity::Error;
    const Severity W = Severity::Warning;
    const std::vector<Case> cases = {
        {"UTF-8 text", kHead + kA, 1, E, "UTF-8 or ANSI text, not UTF-16 LE"},
        {"LF only", IniBytes(kHead + kA, true), 1, E, "LF-only"},
        {"one LF-only line end", IniBytes(kHead + kA).replace(IniBytes(kHead + kA).size() - 4, 4, std::string("\n\0", 2)),
         9, E, "LF-only"},
        {"App names a missing section", IniBytes(kHead + "App2=C\nApp3=B\n" + kA + "[B]\nSetupFile=b\n"), 5, E,
         "App3 'B'"},
        {"no source ends the list", IniBytes(kHead + "[A]\nCommandLine=x\n"), 5, E, "none of SetupFile"},
        {"search without string", IniBytes(kHead + kA + "SearchType2=1\n"), 10, E, "no SearchString2"},
        {"search type out of range", IniBytes(kHead + "[A]\nSetupFile=a\nSearchType1=15\nSearchString1=x\n"), 7, E,
         "not a search type"},
        {"inverted range", IniBytes(kHead + kA + "VerMax1=0.9\n"), 9, E, "is above"},
        {"short MD5", IniBytes(kHead + kA + "MD5=0123456789abcdef0123456789abcde\n"), 10, E, "32 hex"},
        {"SHA256 not hex", IniBytes(kHead + kA + "SHA256=xyz\n"), 10, E, "64 hex"},
        {"gap in App numbering", IniBytes(kHead + "App3=B\n" + kA + "[B]\nSetupFile=b\n"), 5, W, "App2 is missing"},
        {"mistyped key", IniBytes(kHead + kA + "Searchtype2=1\n"), 10, W, "'SearchType2'"},
        {"duplicate key", IniBytes(kHead + kA + "SetupFile=b.exe\n"), 10, W, "first, at line 6"},
        {"duplicate section", IniBytes(kHead + kA + "[A]\nX=1\n"), 10, W, "appears again"},
        {"option letter case", IniBytes("[GeneralOptions]\nOptions=qB\n[PREREQUISITES]\nApp1=A\n" + kA), 2, W,
         "'B' is not 'b'"},
        {"neither silent nor basic", IniBytes("[GeneralOptions]\nOptions=\n[PREREQUISITES]\nApp1=A\n" + kA), 2, E,
         "installs nothing"},
        {"download without a file name", IniBytes(kHead + "[A]\nUrl=https://h/\nExactSize=1\n"), 6, E, "no file name"},
        {"unknown option letter", IniBytes(kHead + kA + "Options=mz\n"), 10, W, "'z'"},
        {"language not shipped", IniBytes("[GeneralOptions]\nOptions=q\nLanguage=sv-SE\n[PREREQUISITES]\nApp1=A\n" + kA), 3,
         W, "'sv-SE' is not shipped"},
        {"download ahead neither 0 nor 1", IniBytes("[GeneralOptions]\nOptions=q\nDownloadAhead=yes\n[PREREQUISITES]\n"
                                                    "App1=A\n" + kA), 3, W, "'yes' is read as 0"},
        {"unverified download", IniBytes(kHead + "[A]\nUrl=https://h/a.exe\n"), 6, W, "without ExactSize"},
        // The keys of a download: mirrors, Signer and the scheme; the chainer's exit codes and result file.
        {"plain http download unverified", IniBytes(kHead + "[A]\nUrl=http://h/a.exe\nUrl2=http://m/a.exe\n"), 6, W,
         "or Signer: the download is started unverified"},
        {"mirror without Url", IniBytes(kHead + kA + "Url2=https://m/a.exe\n"), 10, W, "'Url2' is never asked"},
        {"gap in the mirrors", IniBytes(kHead + "[A]\nUrl=https://h/a.exe\nExactSize=1\nUrl2=\nUrl3=https://m/a.exe\n"),
         9, W, "Url2 is missing or empty before 'Url3'"},
        {"http mirror with Signer but no hash", IniBytes(kHead + "[A]\nUrl=https://h/a.exe\nSigner=" + kPin + "\n"
                                                         "Url2=HTTP://m/a.exe\n"), 8, W, "of the same signer"},
        {"Signer not a key hash", IniBytes(kHead + "[A]\nUrl=https://h/a.exe\nSigner=" + kPin + ",\n"), 7, E,
         "not a list of key hashes"},
        {"ExitCodes other than msi", IniBytes("[GeneralOptions]\nOptions=q\nExitCodes=MSI\n[PREREQUISITES]\nApp1=A\n" + kA),
         3, W, "'MSI' changes nothing"},
        {"ResultFile is the LogFile", IniBytes(kHead + kA + "[PREREQ_CHAINER]\nLogFile=%TEMP%/s.log\n"
                                                            "ResultFile=%temp%\\S.LOG\n"), 12, W, "LogFile (line 11)"},
        {"unknown parent", IniBytes(kHead + kA + "ParentPrereq=Z\n"), 10, W, "names no prerequisite"},
        {"version without digits", IniBytes(kHead + "[A]\nSetupFile=a\nSearchType1=2\nSearchString1=x\nVerMin1=new\n"),
         9, W, "no digits"},
        {"version of five parts", IniBytes(kHead + "[A]\nSetupFile=a\nSearchType1=2\nSearchString1=x\nVerMin1=1.2.3.4.5\n"),
         9, W, "more than four"},
        {"unknown folder reference", IniBytes(kHead + kA + "CommandLine=/log [TempFolde]x\n"), 10, W, "'TempFolder'"},
        {"unterminated reference", IniBytes(kHead + kA + "CommandLine=/log %TEMP\n"), 10, W, "unterminated '%'"},
        {"search keys with a gap", IniBytes(kHead + kA + "SearchType3=1\nSearchString3=x\n"), 10, W, "gap"},
        // A parent cycle is one error, at its first member.
        {"parent cycle", IniBytes(kHead + "App2=B\n" + kA + "ParentPrereq=B\n[B]\nSetupFile=b.exe\nParentPrereq=A\n"), 11,
         E, "'A' -> 'B' -> 'A'"},
    };
    for (const Case& row : cases) {
        const std::vector<Finding> findings = CheckIni(row.bytes);
        ASSERT_EQ(findings.size(), 1u) << row.what << (findings.empty() ? "" : ": " + findings[0].message);
        EXPECT_EQ(findings[0].line, row.line) << row.what << ": " << findings[0].message;
        EXPECT_EQ(findings[0].severity, row.severity) << row.what;
        EXPECT_NE(findings[0].message.find(row.says), std::string::npos) << row.what << ": " << findings[0].message;
    }
}

std::string Utf16Be(const std::string& units)
{
    std::string bytes;
    for (const char c : units) {
        bytes += '\0';
        bytes += c;
    }
    return bytes;
}

TEST(Fmt, ConvertsEveryEncodingAndLineEndToTheChainersFormatAndIsIdempotent)
{
    const std::string formatted = IniBytes("[S]\r\nK=\xE9\r\n", true);  // U+00E9 in the value
    const std::string inputs[] = {
        "[S]\nK=\xC3\xA9\n",                      // UTF-8, LF
        "\xEF\xBB\xBF[S]\r\nK=\xC3\xA9\r\n",       // UTF-8 with byte-order mark, CR LF
        "[S]\rK=\xC3\xA9\r",                      // CR only
        formatted,                                 // already in the chainer's format
        "\xFE\xFF" + Utf16Be("[S]\nK=\xE9\n"),      // UTF-16 big-endian
        IniBytes("[S]\r\nK=\xE9\n", true).substr(2),  // UTF-16 LE without byte-order mark, mixed ends
    };
    for (const std::string& input : inputs) {
        std::string output;
        std::string error;
        ASSERT_TRUE(FormatIni(input, output, error)) << error;
        EXPECT_EQ(output, formatted);
        std::string again;
        ASSERT_TRUE(FormatIni(output, again, error));
        EXPECT_EQ(again, output);
    }
    std::string output;
    std::string error;
    EXPECT_FALSE(FormatIni("[S]\nK=\xC3(\n", output, error));
}

TEST(Hash, PublishedVectors)
{
    const std::string path = ::testing::TempDir() + "orvanta-ini-hash.txt";
    std::ofstream(path, std::ios::binary) << "abc";
    FileHashes hashes;
    ASSERT_TRUE(HashFile(path, hashes));
    EXPECT_EQ(HashLines(hashes), "ExactSize=3\nMD5=900150983cd24fb0d6963f7d28e17f72\n"
                                 "SHA256=ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n");
    std::remove(path.c_str());
    EXPECT_FALSE(HashFile(path, hashes));
}

// tests/support/make-signed-files.sh's "<role> <text>" lines of `name` in `folder`.
std::map<std::string, std::string> RoleLines(const std::string& folder, const char* name)
{
    std::ifstream file(folder + "/" + name);
    std::map<std::string, std::string> lines;
    std::string role;
    std::string text;
    while (file >> role && std::getline(file >> std::ws, text))
        lines[role] = text;
    return lines;
}

// The keys as openssl hashes them and the subjects as openssl prints them (RFC 2253), in the
// tool's form.
TEST(Hash, SignerLineHasTheSignersKeyAndEveryKeyOfTheChainWithItsSubject)
{
    const std::string folder = ::testing::TempDir() + "orvanta-ini-signed";
    const std::string make = "bash '" ORVANTA_SOURCE_DIR "/tests/support/make-signed-files.sh' '" + folder + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::map<std::string, std::string> keys = RoleLines(folder, "keys.txt");
    std::string expected = "Signer=" + keys["signer"] +
                           "\n; keys of the signature's chain, signer first (Signer takes several, separated by commas):\n";
    for (const char* role : {"signer", "intermediate", "root"}) {
        std::string subject = RoleLines(folder, "subjects.txt")[role];  // "CN=x,O=y" -> "CN: x, O: y"
        for (size_t at = 0; (at = subject.find_first_of("=,", at)) != std::string::npos; at += 2)
            subject.replace(at, 1, subject[at] == '=' ? ": " : ", ");
        expected += "; " + keys[role] + "  " + subject + "\n";
    }
    FileHashes hashes;
    ASSERT_TRUE(HashFile(folder + "/signed.exe", hashes));
    const std::string lines = HashLines(hashes);
    EXPECT_EQ(lines.substr(lines.find("Signer=")), expected);
    ASSERT_TRUE(HashFile(folder + "/signed32.exe", hashes));
    EXPECT_EQ(HashLines(hashes).substr(HashLines(hashes).find("Signer=")), expected);
    ASSERT_TRUE(HashFile(folder + "/unsigned.exe", hashes));
    EXPECT_FALSE(hashes.hasSignature);
    EXPECT_EQ(HashLines(hashes).find("Signer"), std::string::npos);
    // Cut inside the signature: its table no longer fits in the file.
    std::ifstream whole(folder + "/signed.exe", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    std::ofstream(folder + "/cut.exe", std::ios::binary) << bytes.substr(0, bytes.size() - 100);
    ASSERT_TRUE(HashFile(folder + "/cut.exe", hashes));
    EXPECT_FALSE(hashes.hasSignature);
    EXPECT_TRUE(hashes.signerChain.empty());
}

TEST(Plan, ExamplePackage)
{
    std::ifstream file(ORVANTA_SOURCE_DIR "/examples/basic/setup.ini", std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    ASSERT_TRUE(CheckIni(bytes.str()).empty());
    EXPECT_EQ(PlanText(bytes.str()),
              "Run: q = silent\n"
              "Windows: in the user's display language (English when it is not shipped)\n"
              "App1 'Example Runtime'\n"
              "  source: package file 'example-runtime.exe'\n"
              "  command line: --set HKCU\\Software\\OrvantaExample\\Runtime\\Version=1.0.0 --exit 0\n"
              "  options: m = mandatory\n"
              "  return code kept as: 'ExampleRuntimeRet'\n"
              "  searches, all must hold (Operator 0):\n"
              "    1. RegistryValueVersion (2) 'HKCU\\Software\\OrvantaExample\\Runtime\\Version', versions 1.0 to "
              "any\n"
              "The list ends at App2, which is not there.\n");
    const std::string fixed = IniBytes("[GeneralOptions]\nOptions=q\nLanguage=zh-HK\n[PREREQUISITES]\nApp1=A\n" + kA);
    EXPECT_TRUE(CheckIni(fixed).empty());
    EXPECT_NE(PlanText(fixed).find("Windows: in zh-TW (Language zh-HK)\n"), std::string::npos);
}

TEST(Plan, DownloadAheadIsShownOnlyWhenSomethingIsDownloaded)
{
    const std::string head = "[GeneralOptions]\nOptions=q\nDownloadAhead=1\n[PREREQUISITES]\nApp1=A\n";
    const std::string ahead = IniBytes(head + "[A]\nUrl=https://h/a.exe\nExactSize=1\n");
    EXPECT_TRUE(CheckIni(ahead).empty());
    EXPECT_NE(PlanText(ahead).find("shipped)\nDownloads: ahead (DownloadAhead 1): each installer starts as soon as its "
                                   "own download is verified, while the next ones download (one transfer at a time, "
                                   "installs in order)\nApp1 "),
              std::string::npos);
    EXPECT_EQ(PlanText(IniBytes(head + kA)).find("Downloads:"), std::string::npos);
}

TEST(Plan, DownloadShowsItsMirrorsWithoutCredentialsAndItsChecksAndTheRunItsEnding)
{
    const std::string bytes = IniBytes("[GeneralOptions]\nOptions=q\nExitCodes=msi\n[PREREQUISITES]\nApp1=A\n"
                                       "[A]\nUrl=https://h/a.exe\nSHA256=" + kPin + "\nSigner=" + kPin + "," + kPin +
                                       "\nUrl2=https://user:pw@m/a.exe\nUrl3=ftp://n/a.exe\n"
                                       "[PREREQ_CHAINER]\nResultFile=[TempFolder]result.json\n");
    EXPECT_TRUE(CheckIni(bytes).empty());
    const std::string plan = PlanText(bytes);
    EXPECT_NE(plan.find("shipped)\nExit codes: msi (ExitCodes msi): 0 finished, 3010 reboot required, 1641 reboot "
                        "started, 1602 cancelled by the user, 1603 failed (a mandatory prerequisite missing, or an "
                        "unexpected error)\nResult file: '[TempFolder]result.json' (JSON, written when the run ends)\n"),
              std::string::npos);
    EXPECT_NE(plan.find("  mirrors, asked in this order after Url:\n    Url2 'https://m/a.exe'\n    Url3 'ftp://n/a.exe'\n"
                        "  checks before it starts: SHA-256, signer (2 keys), each must hold\n"),
              std::string::npos);
    EXPECT_EQ(plan.find("pw"), std::string::npos);
    const std::string bare = PlanText(IniBytes(kHead + "[A]\nUrl=https://h/a.exe\nExitCodes=msi\n"));
    EXPECT_NE(bare.find("  checks before it starts: none: the download is started unverified\n"), std::string::npos);
    EXPECT_EQ(bare.find("Exit codes:"), std::string::npos);
    EXPECT_EQ(bare.find("mirrors"), std::string::npos);
}

} // namespace
