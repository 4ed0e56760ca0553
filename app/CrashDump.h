#pragma once
// Unhandled exceptions end the process with a minidump in the current
// directory instead of the system's error report; so does a C++ exception
// that nothing caught (std::terminate), with libstdc++.

#include <windows.h>

// Registered with SetUnhandledExceptionFilter. Leaves the exception to an
// attached debugger (returns EXCEPTION_CONTINUE_SEARCH); otherwise writes the
// dump and returns EXCEPTION_EXECUTE_HANDLER.
LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* exception);

// Writes Install_YYYYMMDD-HHMMSS.dmp (local time) into the current directory.
// `exception` may be null: the dump then has no exception record. Returns
// EXCEPTION_EXECUTE_HANDLER on every path.
LONG WriteCrashDump(EXCEPTION_POINTERS* exception);

// Restricts the run-time DLL search to the system directory, so an elevated
// installer started from a Downloads folder cannot pick up a planted DLL, and
// loads from there the DLLs that system components load later by name.
void RestrictDllSearchToSystem();
