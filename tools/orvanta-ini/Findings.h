// What `check` reports: one finding per mistake, at the line that causes it.
#pragma once

#include <string>
#include <vector>

namespace orvanta_ini {

enum class Severity { Warning, Error };

struct Finding {
    int line = 1;
    Severity severity = Severity::Warning;
    std::string message;  // UTF-8
};

struct FileFindings {
    std::string file;
    std::vector<Finding> findings;
};

// "FILE:LINE: error: MESSAGE", one line per finding.
std::string FindingsAsText(const std::vector<FileFindings>& files);
// [{"file": ..., "line": ..., "severity": "error" | "warning", "message": ...}, ...]
std::string FindingsAsJson(const std::vector<FileFindings>& files);

} // namespace orvanta_ini
