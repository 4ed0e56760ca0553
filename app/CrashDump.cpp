#include "app/CrashDump.h"

#include <cstdlib>
#include <cwchar>
#include <dbghelp.h>
#if defined(__GLIBCXX__)
#include <cxxabi.h>
#endif

#include <initializer_list>

#include "ui/core/SystemLibrary.h"

using SkinUI::LoadSystemLibrary;

namespace {

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

}  // namespace

void RestrictDllSearchToSystem()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Also takes the current directory out of the classic search order.
    SetDllDirectoryW(L"");
    // System DLLs load some others later by name, through delay-load stubs
    // (comctl32 and user32 take uxtheme when the first window is made). Wine
    // 8 resolves those with the old search order, program folder first,
    // whatever the default directories say. Loaded now from the system
    // folder, they are found by name when asked for again.
    for (const wchar_t* name : {L"uxtheme.dll", L"dwmapi.dll", L"userenv.dll", L"cryptbase.dll", L"propsys.dll"}) {
        LoadSystemLibrary(name);
    }
}

LONG WriteCrashDump(EXCEPTION_POINTERS* exception)
{
    HMODULE dbghelp = LoadSystemLibrary(L"DbgHelp.dll");
    if (dbghelp == nullptr) return EXCEPTION_EXECUTE_HANDLER;
    auto writeDump = reinterpret_cast<MiniDumpWriteDumpFn>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (writeDump == nullptr) {
        FreeLibrary(dbghelp);
        return EXCEPTION_EXECUTE_HANDLER;
    }

    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[MAX_PATH] = {};
    swprintf(name, MAX_PATH, L"Install_%04d%02d%02d-%02d%02d%02d.dmp", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);

    HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    OutputDebugStringW(name);
    if (file != INVALID_HANDLE_VALUE) {
        MINIDUMP_EXCEPTION_INFORMATION info;
        info.ThreadId = GetCurrentThreadId();
        info.ExceptionPointers = exception;
        info.ClientPointers = FALSE;
        writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpWithDataSegs,
                  exception ? &info : nullptr, nullptr, nullptr);
        CloseHandle(file);
    }
    FreeLibrary(dbghelp);
    return EXCEPTION_EXECUTE_HANDLER;
}

LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* exception)
{
    if (IsDebuggerPresent()) return EXCEPTION_CONTINUE_SEARCH;
    return WriteCrashDump(exception);
}

#if defined(__GLIBCXX__)
// An exception that no handler caught ends in std::terminate, which never
// reaches the unhandled-exception filter: without this the user's report
// would come without a dump. Defining libstdc++'s default handler also keeps
// its demangler (45 KB) out of the file; the message it printed went to a
// console that a GUI program does not have.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    WriteCrashDump(nullptr);
    std::abort();
}
}  // namespace __gnu_cxx
#endif
