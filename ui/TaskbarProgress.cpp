#include "ui/TaskbarProgress.h"

#include "platform/ComRef.h"
#include "platform/OsVersion.h"

namespace orvanta {
namespace {

class TaskbarList final : public TaskbarButton {
public:
    explicit TaskbarList(ITaskbarList3* list) : list_(list) {}

    void SetProgressValue(HWND window, ULONGLONG completed, ULONGLONG total) override
    {
        list_->SetProgressValue(window, completed, total);
    }
    void SetProgressState(HWND window, TBPFLAG state) override { list_->SetProgressState(window, state); }

private:
    ComRef<ITaskbarList3> list_;
};

} // namespace

std::unique_ptr<TaskbarButton> MakeSystemTaskbarButton()
{
    const OsVersionInfo& os = GetOsVersionInfo();
    if (os.major < 6 || (os.major == 6 && os.minor < 1))
        return nullptr;  // taskbar progress came with Windows 7
    ComRef<ITaskbarList3> list;
    if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                  reinterpret_cast<void**>(list.Put()))) ||
        !list)
        return nullptr;
    return std::make_unique<TaskbarList>(list.Detach());
}

namespace {

HWND TopLevelWindow(HWND window)
{
    HWND last = window;
    for (HWND current = window; current != nullptr;) {
        last = current;
        current = (::GetWindowLongPtrW(current, GWL_STYLE) & WS_CHILD) != 0 ? ::GetParent(current)
                                                                           : ::GetWindow(current, GW_OWNER);
    }
    return last;
}

} // namespace

TaskbarProgress::TaskbarProgress(HWND dialog, TaskbarButtonFactory makeButton)
    : window_(TopLevelWindow(dialog)), button_(makeButton())
{
}

TaskbarProgress::~TaskbarProgress()
{
    SetState(TBPF_NOPROGRESS);
}

void TaskbarProgress::SetValue(ULONGLONG completed, ULONGLONG total)
{
    if (button_)
        button_->SetProgressValue(window_, completed, total);
}

void TaskbarProgress::SetState(TBPFLAG state)
{
    if (button_)
        button_->SetProgressState(window_, state);
}

} // namespace orvanta
