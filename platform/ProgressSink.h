// The callback interface through which the stages and the download engine report progress.
// A null sink means a silent run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvanta {

// What the steps of a stage are, for a sink that shows how far the stage has come: a transfer
// step fills its share by the bytes received, an action step takes its share when it begins.
enum class StageSteps : uint32_t { Actions = 0, Transfers = 1 };

// The kind of SetStatus that begins a stage step.
constexpr uint32_t kStageStep = 8;

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Number and kind of the steps of the stage that starts.
    virtual void SetRange(uint32_t total, StageSteps steps) = 0;
    // A file transfer starts (kind 1).
    virtual void BeginTransfer(uint32_t kind, uint64_t length, const std::wstring& path) = 0;
    // Kind 1 after each finished transfer; kind 0 at the very end.
    virtual void Complete(uint32_t kind, uint32_t reserved) = 0;
    virtual void AddProgress(uint64_t bytes) = 0;
    virtual bool IsCanceled() = 0;
    virtual bool IsPaused() = 0;
    // A failure, in words for the status line when `text` is not null; returns `code`.
    // Questions to the person go through their own interface (DownloadQuestions), never here.
    virtual uint32_t ReportError(const wchar_t* text, uint32_t code) = 0;
    // A stage step begins (the stages pass kStageStep).
    virtual void SetStatus(const std::wstring& text, uint32_t kind, uint32_t reserved) = 0;
    // Shows what is under way on the status line without a step (an install that runs while
    // the downloads go on).
    virtual void ShowActivity(const std::wstring& text) { (void)text; }
};

} // namespace orvanta
