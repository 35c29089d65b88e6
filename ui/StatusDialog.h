// The modeless status window that a run shows while it searches: one line of text and a Skip
// button (which only records that it was pressed).
#pragma once

#include "ui/DialogServices.h"

#include <atomic>
#include <string>

namespace orvanta {

class StatusDialog final : private DialogObject {
public:
    StatusDialog() = default;
    ~StatusDialog() override;

    // Creates the window on first use (owned by the active window, on the calling thread, which
    // must pump its messages), then sets the caption and the text and shows or hides Skip.
    void Show(const std::wstring& title, const std::wstring& text, bool showSkip);
    // Destroys the window. From another thread than the creating one it asks that thread and
    // returns once the window is gone.
    void Close();
    bool SkipPressed() const { return skipPressed_; }

private:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void LayOutSkip();

    std::atomic<HWND> window_{nullptr};
    DWORD creatingThread_ = 0;
    bool showSkip_ = false;
    std::atomic<bool> skipPressed_{false};
    LONG textRightBesideSkip_ = -1;  // the text's right edge at the first layout
};

} // namespace orvanta
