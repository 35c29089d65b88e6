#include "platform/MessageBox.h"

#include "platform/Resources.h"

namespace orvanta {

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
{
    if (CurrentDisplayLanguage().rightToLeft)
        type |= MB_RTLREADING | MB_RIGHT;
    const int answer = ::MessageBoxW(owner, text, caption, type);
    if (answer <= 0 && owner != nullptr)
        return ::MessageBoxW(nullptr, text, caption, type);
    return answer;
}

} // namespace orvanta
