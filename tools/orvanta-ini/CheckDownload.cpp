// What protects a download: its mirrors, the keys that verify the file and the scheme it travels
// over.
#include "CheckSteps.h"

#include "CheckText.h"
#include "DownloadKeys.h"

namespace orvanta_ini {

using orvanta::IniPair;
using orvanta::IniSection;
using orvanta::PrereqInfo;

namespace {

void CheckMirrorsWithoutUrl(FindingCollector& findings, const IniSection& section)
{
    for (const IniPair* mirror : MirrorPairs(section))
        findings.Add(mirror->line, Severity::Warning,
                     "mirror " + Quoted(mirror->key) + " is never asked: the prerequisite is not downloaded from a Url");
}

void CheckMirrorGap(FindingCollector& findings, const IniSection& section)
{
    // The chainer skips the missing number; a mirror lost while editing is the usual cause.
    const MirrorGap gap = FirstMirrorGap(section);
    if (gap.missing != 0)
        findings.Add(gap.next->line, Severity::Warning,
                     "gap in the mirrors: Url" + std::to_string(gap.missing) + " is missing or empty before " +
                         Quoted(gap.next->key) + " (the chainer skips it and asks the next one)");
}

// An empty Signer counts as not given, as an empty MD5 or SHA256 does.
void CheckSignerValue(FindingCollector& findings, const IniPair* signer)
{
    std::vector<orvanta::KeyHash> pins;
    if (signer == nullptr || orvanta::ParseSignerPins(signer->value, pins))
        return;
    findings.Add(signer->line, Severity::Error,
                 "Signer " + Quoted(signer->value) +
                     " is not a list of key hashes (64 hex digits each, separated by commas): the file's signer "
                     "cannot be checked against it");
}

// Over http: a file can be swapped on the way; only a hash pins the one file that was meant.
void CheckPlainHttp(FindingCollector& findings, const IniPair* url, bool hasSigner)
{
    if (url == nullptr || !IsPlainHttp(url->value))
        return;
    const std::string swapped = hasSigner ? "another file of the same signer" : "another file of the same size";
    findings.Add(url->line, Severity::Warning,
                 Quoted(url->key) + " is a plain http: URL without MD5 or SHA256: a file swapped on the way for " +
                     swapped + " is not noticed");
}

} // namespace

void CheckDownload(FindingCollector& findings, const IniSection& section, const PrereqInfo& info)
{
    if (info.sourceKind != orvanta::SourceUrl) {
        CheckMirrorsWithoutUrl(findings, section);
        return;
    }
    CheckMirrorGap(findings, section);
    const IniPair* signer = SignerPair(section);
    CheckSignerValue(findings, signer);
    const IniPair* source = IniView::FindPair(section, L"Url");
    const bool hasHash = !info.MD5.empty() || !info.SHA256.empty();
    if (info.ExactSize == 0 && !hasHash && signer == nullptr) {
        // The stronger finding; the http: ones would only repeat it.
        if (source != nullptr)
            findings.Add(source->line, Severity::Warning,
                         "download without ExactSize, MD5, SHA256 or Signer: the download is started unverified");
        return;
    }
    if (hasHash)
        return;
    CheckPlainHttp(findings, source, signer != nullptr);
    for (const IniPair* mirror : MirrorPairs(section))
        CheckPlainHttp(findings, mirror, signer != nullptr);
}

} // namespace orvanta_ini
