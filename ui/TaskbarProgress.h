// The progress shown on the taskbar button of the progress dialog's top-level window.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <memory>

namespace orvanta {

// The taskbar calls behind the progress. Tests hand in their own: there is no taskbar to look at.
class TaskbarButton {
public:
    virtual ~TaskbarButton() = default;
    virtual void SetProgressValue(HWND window, ULONGLONG completed, ULONGLONG total) = 0;
    virtual void SetProgressState(HWND window, TBPFLAG state) = 0;
};

using TaskbarButtonFactory = std::unique_ptr<TaskbarButton> (*)();
// Makes the button for the calling thread: ITaskbarList3 from Windows 7 on; null where there is
// none (older systems, or when it cannot be created), and the progress then shows nowhere else.
std::unique_ptr<TaskbarButton> MakeSystemTaskbarButton();

class TaskbarProgress {
public:
    // The window is the dialog's top-level ancestor: parents of child windows, then owners.
    // The button comes from `makeButton`.
    TaskbarProgress(HWND dialog, TaskbarButtonFactory makeButton);
    // Clears the button's progress.
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    void SetValue(ULONGLONG completed, ULONGLONG total);
    void SetState(TBPFLAG state);

private:
    HWND window_;
    std::unique_ptr<TaskbarButton> button_;
};

} // namespace orvanta
