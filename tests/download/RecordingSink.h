// A progress sink that records what the stages and the engine tell it.
#pragma once

#include "platform/ProgressSink.h"

#include <string>
#include <vector>

struct ReportedError {
    std::wstring text;
    bool hadText = false;
    uint32_t code = 0;
};

class RecordingSink : public orvanta::ProgressSink {
public:
    void SetRange(uint32_t total, uint32_t) override { ranges.push_back(total); }
    void BeginTransfer(uint32_t, uint64_t, const std::wstring&) override {}
    void Complete(uint32_t, uint32_t) override {}
    void AddProgress(uint64_t bytes) override { progress += bytes; }
    bool IsCanceled() override
    {
        return cancelAfterStatuses >= 0 && static_cast<int>(statuses.size()) >= cancelAfterStatuses;
    }
    bool IsPaused() override { return false; }
    uint32_t ReportError(const wchar_t* text, uint32_t code, uintptr_t) override
    {
        errors.push_back(ReportedError{text != nullptr ? text : L"", text != nullptr, code});
        return 1;
    }
    void SetStatus(const std::wstring& text, uint32_t kind, uint32_t) override
    {
        statuses.push_back(text);
        statusKinds.push_back(kind);
    }

    // Cancel once this many statuses were shown (negative: never).
    int cancelAfterStatuses = -1;

    std::vector<uint32_t> ranges;
    uint64_t progress = 0;
    std::vector<ReportedError> errors;
    std::vector<std::wstring> statuses;
    std::vector<uint32_t> statusKinds;
};
