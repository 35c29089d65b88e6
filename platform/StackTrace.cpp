#include "platform/StackTrace.h"

#include "platform/CriticalSection.h"
#include "platform/Exception.h"
#include "platform/Paths.h"
#include "platform/SystemFunction.h"
#include "platform/Text.h"
#include "platform/UniqueResource.h"

#include <dbghelp.h>

#include <vector>

namespace orvanta {
namespace {

const wchar_t kMoreFrames[] = L"<--------------------MORE--FRAMES-------------------->\r\n";
const DWORD kSymbolOptions = SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS | SYMOPT_LOAD_LINES | SYMOPT_DEBUG;
const DWORD kMaximumNameLength = 2000;
// A thread that died inside a trace (it faulted there) may still own the lock: later traces give
// up after this long instead of waiting forever.
const DWORD kLockWaitMs = 5000;

#if defined(_WIN64)
const DWORD kMachine = IMAGE_FILE_MACHINE_AMD64;
#else
const DWORD kMachine = IMAGE_FILE_MACHINE_I386;
#endif

struct DbgHelp {
    UniqueModule module;
    decltype(&::SymSetOptions) setOptions = nullptr;
    decltype(&::SymInitializeW) initialize = nullptr;
    decltype(&::SymSetSearchPathW) setSearchPath = nullptr;
    decltype(&::StackWalk64) stackWalk = nullptr;
    decltype(&::SymFunctionTableAccess64) functionTableAccess = nullptr;
    decltype(&::SymGetModuleBase64) getModuleBase = nullptr;
    decltype(&::SymFromAddr) fromAddress = nullptr;
    decltype(&::SymGetLineFromAddr64) lineFromAddress = nullptr;
    decltype(&::SymCleanup) cleanup = nullptr;

    bool Complete() const
    {
        return setOptions != nullptr && initialize != nullptr && setSearchPath != nullptr && stackWalk != nullptr &&
               functionTableAccess != nullptr && getModuleBase != nullptr && fromAddress != nullptr &&
               lineFromAddress != nullptr && cleanup != nullptr;
    }
};

template <typename Function>
void LookUp(HMODULE module, const char* name, Function& function)
{
    function = GetModuleFunction<Function>(module, name);
}

// Loaded once per process, never linked: the import table names only DLLs the system itself
// protects, and dbghelp is not one of them.
const DbgHelp& Functions()
{
    static const DbgHelp functions = [] {
        DbgHelp loaded;
        loaded.module = LoadSystemLibrary(L"dbghelp.dll");
        const HMODULE module = loaded.module.Get();
        LookUp(module, "SymFromAddr", loaded.fromAddress);
        if (loaded.fromAddress == nullptr)
            return loaded;
        LookUp(module, "SymSetOptions", loaded.setOptions);
        LookUp(module, "SymInitializeW", loaded.initialize);
        LookUp(module, "SymSetSearchPathW", loaded.setSearchPath);
        LookUp(module, "StackWalk64", loaded.stackWalk);
        LookUp(module, "SymFunctionTableAccess64", loaded.functionTableAccess);
        LookUp(module, "SymGetModuleBase64", loaded.getModuleBase);
        LookUp(module, "SymGetLineFromAddr64", loaded.lineFromAddress);
        LookUp(module, "SymCleanup", loaded.cleanup);
        return loaded;
    }();
    return functions;
}

CriticalSection& SymbolLock()
{
    static CriticalSection lock;
    return lock;
}

void FirstFrame(const CONTEXT& context, STACKFRAME64& frame)
{
    frame = STACKFRAME64{};
#if defined(_WIN64)
    frame.AddrPC.Offset = context.Rip;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrStack.Offset = context.Rsp;
#else
    frame.AddrPC.Offset = context.Eip;
    frame.AddrFrame.Offset = context.Ebp;
    frame.AddrStack.Offset = context.Esp;
#endif
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrFrame.Mode = AddrModeFlat;
    frame.AddrStack.Mode = AddrModeFlat;
}

std::string SymbolName(const DbgHelp& dbghelp, HANDLE process, DWORD64 address)
{
    std::vector<char> buffer(sizeof(SYMBOL_INFO) + kMaximumNameLength);
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(buffer.data());
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = kMaximumNameLength;
    DWORD64 displacement = 0;
    if (!dbghelp.fromAddress(process, address, &displacement, symbol))
        return {};
    return std::string(symbol->Name, strnlen(symbol->Name, kMaximumNameLength));
}

void WalkFrames(const DbgHelp& dbghelp, HANDLE process, const CONTEXT& start, int maxFrames, std::wstring& text)
{
    CONTEXT context = start;  // the walk changes the context it is given
    STACKFRAME64 frame;
    FirstFrame(context, frame);
    for (int count = 0; count < maxFrames;) {
        if (!dbghelp.stackWalk(kMachine, process, ::GetCurrentThread(), &frame, &context, nullptr,
                               dbghelp.functionTableAccess, dbghelp.getModuleBase, nullptr) ||
            frame.AddrPC.Offset == 0)
            return;
        const DWORD64 address = frame.AddrPC.Offset;
        IMAGEHLP_LINE64 line{};
        line.SizeOfStruct = sizeof(line);
        DWORD lineDisplacement = 0;
        const bool hasLine = dbghelp.lineFromAddress(process, address, &lineDisplacement, &line) != FALSE &&
                             line.FileName != nullptr;
        text += StackFrameLine(static_cast<ULONG_PTR>(address), SymbolName(dbghelp, process, address),
                               hasLine ? line.FileName : "", hasLine ? line.LineNumber : 0);
        if (++count == maxFrames)
            text += kMoreFrames;
    }
}

} // namespace

std::wstring StackFrameLine(ULONG_PTR address, const std::string& symbolName, const std::string& sourceFile,
                            unsigned long sourceLine)
{
    std::wstring line = Format(L"[0x%.8Ix]  ", address);
    line += symbolName.empty() ? L"-----" : AnsiToWide(symbolName) + L"()";
    line += L" -> ";
    if (!sourceFile.empty())
        line += AnsiToWide(sourceFile) + Format(L":%lu", sourceLine);
    return line + L"\r\n";
}

void CaptureStackTrace(std::wstring& text, const CONTEXT* context, int maxFrames)
{
    if (context == nullptr)
        return;
    const DbgHelp& dbghelp = Functions();
    if (!dbghelp.Complete())
        return;
    const BoundedCriticalSectionLock lock(SymbolLock(), kLockWaitMs);
    if (!lock.Held())
        return;

    const HANDLE process = ::GetCurrentProcess();
    dbghelp.setOptions(kSymbolOptions);
    if (!dbghelp.initialize(process, nullptr, TRUE))
        return;
    dbghelp.setSearchPath(process, GetParentFolder(GetModulePath()).c_str());

    text += kStackTraceMarker;
    WalkFrames(dbghelp, process, *context, maxFrames, text);
    text += Format(L"[0x%.8Ix]  MODULE_BASE_ADDRESS\r\n", reinterpret_cast<ULONG_PTR>(::GetModuleHandleW(nullptr)));
    dbghelp.cleanup(process);
}

std::wstring CurrentStackTrace(int maxFrames)
{
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    ::RtlCaptureContext(&context);
    std::wstring text;
    CaptureStackTrace(text, &context, maxFrames);
    return text;
}

} // namespace orvanta
