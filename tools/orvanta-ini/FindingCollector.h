// The findings of one `check` run, gathered by its parts: each is placed at the line an editor
// shows for the reader line that causes it.
#pragma once

#include "Findings.h"
#include "IniView.h"

#include <string>
#include <vector>

namespace orvanta_ini {

class FindingCollector {
public:
    explicit FindingCollector(const IniView& view) : view_(view) {}

    const IniView& View() const { return view_; }

    void AddAt(int displayLine, Severity severity, const std::string& message)
    {
        findings_.push_back(Finding{displayLine, severity, message});
    }
    void Add(int readerLine, Severity severity, const std::string& message)
    {
        AddAt(view_.DisplayLine(readerLine), severity, message);
    }
    // "line N" for a reader line, as an editor numbers it.
    std::string LineOf(int readerLine) const { return "line " + std::to_string(view_.DisplayLine(readerLine)); }

    // In the order they were added.
    const std::vector<Finding>& Findings() const { return findings_; }

private:
    const IniView& view_;
    std::vector<Finding> findings_;
};

} // namespace orvanta_ini
