// The program's own errors and translated system faults. Objects are thrown and caught by value;
// a thrown SehException can be caught as SehException, Exception or IException.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace orvanta {

class ExceptionPresenter;

// Kinds of reported errors, as GetKind returns them.
enum ExceptionKind : int32_t {
    ExceptionStd = 0,
    ExceptionUnhandled = 1,
    ExceptionGeneric = 2,
    ExceptionWin32 = 3,
    ExceptionCmd = 4,
    ExceptionXmlParse = 5,
    ExceptionErrorSignaling = 6,
    ExceptionSeh = 7,
};

// Access violations by access kind and address; every other fault is SehGeneric.
enum SehSubtype : int32_t {
    SehGeneric = 0,
    SehAvReadNullPointer = 1,
    SehAvReadBadPointer = 2,
    SehAvWriteNullPointer = 3,
    SehAvWriteBadPointer = 4,
    SehAvExecuteNullPointer = 5,
    SehAvExecuteBadPointer = 6,
};

// "EXCEPTION_STD" ... "EXCEPTION_SEH"; "Exception ???" for any other value.
std::wstring KindName(int32_t kind);
// "SEH_AV_READ_NULLPTR" ... ; "SEH_GENERIC" for 0 and any other value.
std::wstring SehSubtypeName(int32_t subtype);
// The subtype of a fault from its code and its first two information words (access kind, address).
SehSubtype SehSubtypeFor(DWORD code, DWORD parameterCount, ULONG_PTR accessKind, ULONG_PTR address);

// The line that separates a report's message from its stack trace.
extern const wchar_t kStackTraceMarker[];

const uint32_t kDefaultExceptionCode = 0xE0010064;

class IException {
public:
    virtual void Raise() const = 0;
    // The text; with a trace, the current thread's stack trace is appended first unless the text
    // already holds one.
    virtual std::wstring GetText(bool withTrace) = 0;
    virtual int32_t GetKind() const = 0;
    virtual ~IException() = default;
    virtual std::wstring GetKindName() const = 0;
    virtual ExceptionPresenter& GetPresenter() const = 0;
};

class Exception : public IException {
public:
    explicit Exception(std::wstring message, uint32_t errorCode = kDefaultExceptionCode,
                       std::wstring sourceFile = std::wstring(), int32_t sourceLine = 0);

    void Raise() const override;
    std::wstring GetText(bool withTrace) override;
    int32_t GetKind() const override { return ExceptionGeneric; }
    std::wstring GetKindName() const override;
    ExceptionPresenter& GetPresenter() const override;

    const std::wstring& Message() const { return message_; }
    uint32_t ErrorCode() const { return errorCode_; }
    const std::wstring& SourceFile() const { return sourceFile_; }
    int32_t SourceLine() const { return sourceLine_; }

private:
    std::wstring message_;
    uint32_t errorCode_;
    std::wstring sourceFile_;
    int32_t sourceLine_;
};

class SehException : public Exception {
public:
    SehException(std::wstring message, uint32_t errorCode, std::wstring sourceFile, int32_t sourceLine,
                 int32_t subtype);

    void Raise() const override;
    int32_t GetKind() const override { return ExceptionSeh; }
    std::wstring GetKindName() const override;
    int32_t Subtype() const { return subtype_; }

private:
    int32_t subtype_;
};

} // namespace orvanta

#define ORVANTA_WIDEN2(text) L##text
#define ORVANTA_WIDEN(text) ORVANTA_WIDEN2(text)
// An Exception with the message and the position of the throwing source line.
#define ORVANTA_EXCEPTION(message) \
    ::orvanta::Exception((message), ::orvanta::kDefaultExceptionCode, ORVANTA_WIDEN(__FILE__), __LINE__)
