#include "Findings.h"

#include <cstdio>

namespace orvanta_ini {
namespace {

const char* SeverityName(Severity severity)
{
    return severity == Severity::Error ? "error" : "warning";
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

std::string FindingsAsText(const std::vector<FileFindings>& files)
{
    std::string out;
    for (const FileFindings& file : files) {
        for (const Finding& finding : file.findings) {
            out += file.file + ":" + std::to_string(finding.line) + ": " + SeverityName(finding.severity) + ": " +
                   finding.message + "\n";
        }
    }
    return out;
}

std::string FindingsAsJson(const std::vector<FileFindings>& files)
{
    std::string out = "[";
    bool first = true;
    for (const FileFindings& file : files) {
        for (const Finding& finding : file.findings) {
            out += first ? "\n  " : ",\n  ";
            first = false;
            out += "{\"file\": " + JsonString(file.file) + ", \"line\": " + std::to_string(finding.line) +
                   ", \"severity\": \"" + SeverityName(finding.severity) + "\", \"message\": " +
                   JsonString(finding.message) + "}";
        }
    }
    return out + (first ? "]\n" : "\n]\n");
}

} // namespace orvanta_ini
