#include "app/CrashDump.h"

#include <cwchar>
#include <dbghelp.h>

namespace {

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

HMODULE LoadSystemLibrary(const wchar_t* name)
{
    // A full path: even where SetDefaultDllDirectories is missing (Windows 7
    // without KB2533623) only the system's copy can be loaded.
    wchar_t path[MAX_PATH] = {};
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + wcslen(name) >= MAX_PATH) return nullptr;
    wcscat(path, L"\\");
    wcscat(path, name);
    return LoadLibraryW(path);
}

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
