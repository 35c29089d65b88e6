#include "platform/Exception.h"

#include "platform/ExceptionPresenter.h"
#include "platform/StackTrace.h"
#include "platform/Text.h"

namespace orvanta {

#if defined(_WIN64)
const wchar_t kStackTraceMarker[] = L"\r\n*** Stack Trace (x64) ***\r\n\r\n";
#else
const wchar_t kStackTraceMarker[] = L"\r\n*** Stack Trace (x86) ***\r\n\r\n";
#endif

std::wstring KindName(int32_t kind)
{
    static const wchar_t* const names[] = {
        L"EXCEPTION_STD",  L"EXCEPTION_UNHANDLED", L"EXCEPTION_GENERIC",         L"EXCEPTION_WIN32",
        L"EXCEPTION_CMD",  L"EXCEPTION_XML_PARSE", L"EXCEPTION_ERROR_SIGNALING", L"EXCEPTION_SEH",
    };
    if (kind < 0 || kind >= static_cast<int32_t>(sizeof(names) / sizeof(names[0])))
        return L"Exception ???";
    return names[kind];
}

std::wstring SehSubtypeName(int32_t subtype)
{
    switch (subtype) {
    case SehAvReadNullPointer:
        return L"SEH_AV_READ_NULLPTR";
    case SehAvReadBadPointer:
        return L"SEH_AV_READ_BADPTR";
    case SehAvWriteNullPointer:
        return L"SEH_AV_WRITE_NULLPTR";
    case SehAvWriteBadPointer:
        return L"SEH_AV_WRITE_BADPTR";
    case SehAvExecuteNullPointer:
        return L"SEH_AV_DEP_NULLPTR";
    case SehAvExecuteBadPointer:
        return L"SEH_AV_DEP_BADPTR";
    default:
        return L"SEH_GENERIC";
    }
}

SehSubtype SehSubtypeFor(DWORD code, DWORD parameterCount, ULONG_PTR accessKind, ULONG_PTR address)
{
    if (code != EXCEPTION_ACCESS_VIOLATION || parameterCount < 2)
        return SehGeneric;
    const bool null = address == 0;
    switch (accessKind) {
    case 0:
        return null ? SehAvReadNullPointer : SehAvReadBadPointer;
    case 1:
        return null ? SehAvWriteNullPointer : SehAvWriteBadPointer;
    case 8:
        return null ? SehAvExecuteNullPointer : SehAvExecuteBadPointer;
    default:
        return SehGeneric;
    }
}

Exception::Exception(std::wstring message, uint32_t errorCode, std::wstring sourceFile, int32_t sourceLine)
    : message_(std::move(message)), errorCode_(errorCode), sourceFile_(std::move(sourceFile)), sourceLine_(sourceLine)
{
}

void Exception::Raise() const
{
    throw *this;
}

std::wstring Exception::GetText(bool withTrace)
{
    if (withTrace && !Contains(message_, kStackTraceMarker))
        message_ += L"\r\n" + CurrentStackTrace(kMaximumTraceFrames);
    return message_;
}

std::wstring Exception::GetKindName() const
{
    return KindName(GetKind());
}

ExceptionPresenter& Exception::GetPresenter() const
{
    return ExceptionPresenter::Instance();
}

SehException::SehException(std::wstring message, uint32_t errorCode, std::wstring sourceFile, int32_t sourceLine,
                           int32_t subtype)
    : Exception(std::move(message), errorCode, std::move(sourceFile), sourceLine), subtype_(subtype)
{
}

void SehException::Raise() const
{
    throw *this;
}

std::wstring SehException::GetKindName() const
{
    return SehSubtypeName(subtype_);
}

} // namespace orvanta
