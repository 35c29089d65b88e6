#include "platform/MessageBox.h"

namespace orvanta {

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
{
    const int answer = ::MessageBoxW(owner, text, caption, type);
    if (answer <= 0 && owner != nullptr)
        return ::MessageBoxW(nullptr, text, caption, type);
    return answer;
}

} // namespace orvanta
