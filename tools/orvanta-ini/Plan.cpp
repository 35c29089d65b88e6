#include "Plan.h"

#include "CheckText.h"
#include "DownloadKeys.h"
#include "IniView.h"
#include "SearchTypeNames.h"
#include "Unicode.h"

#include "download/DownloadNames.h"
#include "download/UrlText.h"
#include "platform/DisplayLanguages.h"
#include "platform/Strings.h"

#include <algorithm>

namespace orvanta_ini {
namespace {

using orvanta::PrereqInfo;
using orvanta::PrereqReadFailure;

template <typename Option>
std::string OptionWords(const orvanta::OptionSet<Option>& options, const std::vector<OptionLetter<Option>>& letters)
{
    std::string words;
    for (const OptionLetter<Option>& option : letters) {
        if (!options.Has(option.option))
            continue;
        words += words.empty() ? "" : ", ";
        words += std::string(1, static_cast<char>(option.letter)) + " = " + option.meaning;
    }
    return words.empty() ? "none" : words;
}

std::string SourceText(const PrereqInfo& info)
{
    switch (info.sourceKind) {
    case orvanta::SourceUrl: {
        const std::wstring target = orvanta::TargetPathFor(L"", info.source, info.Folder);
        std::string text = "download " + Quoted(info.source) + ", saved in the download folder as " +
                           (orvanta::EndsWith(target, L"\\") || target.empty() ? std::string("(no file name)")
                                                                               : Quoted(target));
        if (info.ExactSize != 0)
            text += ", size " + std::to_string(static_cast<uint32_t>(info.ExactSize));
        if (!info.MD5.empty())
            text += ", MD5 " + ToUtf8(info.MD5);
        return text;
    }
    case orvanta::SourceOpenSite: return "web site opened for the user: " + Quoted(info.source);
    default: return "package file " + Quoted(info.source);
    }
}

std::string SearchText(const orvanta::PrereqSearch& search)
{
    const char* name = SearchTypeName(search.SearchType);
    std::string text = (name != nullptr ? std::string(name) : std::string("unknown type")) + " (" +
                       std::to_string(search.SearchType) + ") " + Quoted(search.SearchString);
    if (!search.VerMin.empty() || !search.VerMax.empty())
        text += ", versions " + (search.VerMin.empty() ? std::string("any") : ToUtf8(search.VerMin)) + " to " +
                (search.VerMax.empty() ? std::string("any") : ToUtf8(search.VerMax));
    if (!search.RefContent.empty())
        text += ", reference " + Quoted(search.RefContent);
    if (!search.SearchCmdLine.empty())
        text += ", command line " + Quoted(search.SearchCmdLine);
    return text;
}

std::string OperatorText(int32_t op)
{
    if (op == 0)
        return "all must hold (Operator 0)";
    if (op == 1)
        return "one suffices (Operator 1)";
    return "never hold (Operator " + std::to_string(op) + ")";
}

// What is checked before a downloaded file is started, each key given must hold.
std::string ChecksText(const PrereqInfo& info, const orvanta::IniSection& section)
{
    std::string checks;
    const auto add = [&checks](const std::string& check) { checks += (checks.empty() ? "" : ", ") + check; };
    if (info.ExactSize != 0)
        add("size");
    if (!info.MD5.empty())
        add("MD5");
    if (!info.SHA256.empty())
        add("SHA-256");
    if (const orvanta::IniPair* signer = SignerPair(section)) {
        std::vector<orvanta::KeyHash> pins;
        add(orvanta::ParseSignerPins(signer->value, pins)
                ? "signer (" + std::to_string(pins.size()) + (pins.size() == 1 ? " key)" : " keys)")
                : std::string("signer (Signer unreadable)"));
    }
    return checks.empty() ? "none: the download is started unverified" : checks + ", each must hold";
}

void AppendDownload(const PrereqInfo& info, const orvanta::IniSection& section, std::string& out)
{
    const std::vector<const orvanta::IniPair*> mirrors = MirrorPairs(section);
    if (!mirrors.empty()) {
        out += "  mirrors, asked in this order after Url:\n";
        for (const orvanta::IniPair* mirror : mirrors)
            out += "    " + Utf8(mirror->key) + " " + Quoted(orvanta::UrlWithoutCredentials(mirror->value)) + "\n";
    }
    out += "  checks before it starts: " + ChecksText(info, section) + "\n";
}

void AppendPrerequisite(const IniView& view, const PrereqInfo& info, int number, std::string& out)
{
    out += "App" + std::to_string(number) + " " + Quoted(info.name) + "\n";
    out += "  source: " + SourceText(info) + "\n";
    const orvanta::IniSection* section = view.Ini().FindSection(info.name);
    if (info.sourceKind == orvanta::SourceUrl && section != nullptr)
        AppendDownload(info, *section, out);
    if (!info.CommandLine.empty())
        out += "  command line: " + ToUtf8(info.CommandLine) + "\n";
    out += "  options: " + OptionWords(info.options, PrerequisiteOptionLetters()) + "\n";
    if (!info.ParentPrereq.empty())
        out += "  parent: " + Quoted(info.ParentPrereq) + "\n";
    if (!info.RetValPropName.empty())
        out += "  return code kept as: " + Quoted(info.RetValPropName) + "\n";
    if (info.options.Has(orvanta::PrereqOption::NotSearched)) {
        out += "  searches: none (option i: taken as missing)\n";
    } else if (info.searches.empty()) {
        out += "  searches: none\n";
    } else {
        out += "  searches, " + OperatorText(info.Operator) + ":\n";
        for (size_t index = 0; index < info.searches.size(); ++index)
            out += "    " + std::to_string(index + 1) + ". " + SearchText(info.searches[index]) + "\n";
    }
}

std::string ListEndText(const IniView& view)
{
    const orvanta::PrereqListEnd& end = view.ListEnd();
    const auto entry = view.AppEntries().find(end.number);
    const std::string app = "App" + std::to_string(end.number);
    std::wstring later = DescribeAppsFrom(view.AppEntries(), end.number + 1);
    std::string reason;
    switch (end.failure) {
    case PrereqReadFailure::NoEntry:
        if (later.empty())
            return "The list ends at " + app + ", which is not there.\n";
        return app + " is missing: " + ToUtf8(later) + " and later are not read.\n";
    case PrereqReadFailure::NoSection:
        reason = " names section [" + (entry != view.AppEntries().end() ? ToUtf8(entry->second.name) : "") +
                 "], which does not exist";
        break;
    case PrereqReadFailure::NoSource: reason = " has none of SetupFile, OpenSite and Url"; break;
    case PrereqReadFailure::SearchWithoutString: reason = " has a SearchType without its SearchString"; break;
    }
    later = DescribeAppsFrom(view.AppEntries(), end.number);
    return app + reason + ": " + ToUtf8(later) + " are not read.\n";
}

std::string LanguageText(const std::wstring& tag)
{
    if (tag.empty())
        return "Windows: in the user's display language (English when it is not shipped)\n";
    const orvanta::DisplayLanguage* language = orvanta::LanguageForTag(tag);
    if (language == nullptr)
        return "Windows: Language " + ToUtf8(tag) + " is not shipped: in the user's display language\n";
    return "Windows: in " + ToUtf8(language->tag) + " (Language " + ToUtf8(tag) + ")\n";
}

// Only a plan with a download has anything to overlap.
std::string DownloadAheadText(const orvanta::ChainerConfig& config)
{
    const auto downloads = [](const PrereqInfo& info) { return info.sourceKind == orvanta::SourceUrl; };
    if (!config.general.DownloadAhead ||
        std::none_of(config.prerequisites.begin(), config.prerequisites.end(), downloads))
        return std::string();
    return "Downloads: ahead (DownloadAhead 1): each installer starts as soon as its own download is verified, "
           "while the next ones download (one transfer at a time, installs in order)\n";
}

// The exit codes and the result file, shown only when the INI asks for them.
std::string EndingText(const IniView& view)
{
    std::string text;
    if (view.Config().general.ExitCodes == orvanta::ExitCodeStyle::Msi)
        text += "Exit codes: msi (ExitCodes msi): 0 finished, 3010 reboot required, 1641 reboot started, 1602 "
                "cancelled by the user, 1603 failed (a mandatory prerequisite missing, or an unexpected error)\n";
    const orvanta::IniSection* chainer = view.Ini().FindSection(kChainerSection);
    const orvanta::IniPair* result = chainer != nullptr ? IniView::FindPair(*chainer, L"ResultFile") : nullptr;
    if (result != nullptr && !result->value.empty())
        text += "Result file: " + Quoted(result->value) + " (JSON, written when the run ends)\n";
    return text;
}

} // namespace

std::string PlanText(const std::string& bytes)
{
    const IniView view(bytes);
    const orvanta::ChainerConfig& config = view.Config();
    const bool installs = orvanta::IsSilent(config) || orvanta::ShowsBasicInterface(config);
    std::string out = installs ? "Run: " + OptionWords(config.general.options, GeneralOptionLetters()) + "\n"
                               : std::string("Run: no 'q' or 'b' in Options: the chainer searches but installs nothing\n");
    out += LanguageText(config.general.Language);
    out += DownloadAheadText(config);
    out += EndingText(view);
    if (view.Ini().FindSection(kPrerequisitesSection) == nullptr)
        return out + "No [PREREQUISITES] section: nothing is installed.\n";
    for (size_t index = 0; index < config.prerequisites.size(); ++index)
        AppendPrerequisite(view, config.prerequisites[index], static_cast<int>(index) + 1, out);
    return out + ListEndText(view);
}

} // namespace orvanta_ini
