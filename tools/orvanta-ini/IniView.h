// One INI file as the chainer sees it: its text, the reader's sections and pairs, the loaded
// configuration and where the prerequisite list ended; plus the line numbers an editor shows.
#pragma once

#include "config/Config.h"
#include "config/IniFile.h"
#include "config/IniSchema.h"

#include <map>
#include <string>
#include <vector>

namespace orvanta_ini {

// The sections, keys and option letters are the chainer's own schema.
using orvanta::ChainerKeys;
using orvanta::GeneralKeys;
using orvanta::GeneralOptionLetters;
using orvanta::kChainerSection;
using orvanta::kGeneralSection;
using orvanta::kPrerequisitesSection;
using orvanta::OptionLetter;
using orvanta::PrerequisiteKeys;
using orvanta::PrerequisiteOptionLetters;
using orvanta::SearchKeyStems;

struct AppEntry {
    std::wstring name;
    int line = 0;  // reader line
};

class IniView {
public:
    explicit IniView(const std::string& bytes);

    const std::string& Bytes() const { return bytes_; }
    const std::wstring& Text() const { return text_; }
    const orvanta::IniFile& Ini() const { return ini_; }
    const orvanta::ChainerConfig& Config() const { return config_; }
    const orvanta::PrereqListEnd& ListEnd() const { return end_; }
    // App N entries of the first PREREQUISITES section (the first of equal keys), by N.
    const std::map<int, AppEntry>& AppEntries() const { return apps_; }

    // The line an editor shows for a reader line (the reader splits at CR LF only).
    int DisplayLine(int readerLine) const;
    // The reader's lines, as it splits them.
    const std::vector<std::wstring>& ReaderLines() const { return lines_; }

    // The first pair of a key in a section, or null.
    static const orvanta::IniPair* FindPair(const orvanta::IniSection& section, const std::wstring& key);

private:
    std::string bytes_;
    std::wstring text_;
    std::vector<std::wstring> lines_;
    std::vector<size_t> lineStarts_;
    std::vector<size_t> displayBreaks_;
    orvanta::IniFile ini_;
    orvanta::ChainerConfig config_;
    orvanta::PrereqListEnd end_;
    std::map<int, AppEntry> apps_;
};

// A key "Stem" followed by the number the chainer writes with "%s%d" from 1 upwards (no sign,
// no leading zero): "SearchType12" gives 12.
bool SplitNumberedKey(const std::wstring& key, const std::wstring& stem, int& number);

// "App3 'Tools', App4 'Docs'" for the entries from number `from` on; empty when none.
std::wstring DescribeAppsFrom(const std::map<int, AppEntry>& apps, int from);

} // namespace orvanta_ini
