// Test helper: crash_helper crash   dies of an access violation with the
//                                   installer's filter registered;
//              crash_helper null    writes a dump without exception pointers;
//              crash_helper throw   throws a C++ exception nothing catches.
#include <cwchar>
#include <stdexcept>

#include "app/CrashDump.h"

int wmain(int argc, wchar_t** argv)
{
    SetUnhandledExceptionFilter(CrashDumpFilter);
    RestrictDllSearchToSystem();
    if (argc > 1 && wcscmp(argv[1], L"null") == 0) return WriteCrashDump(nullptr) == EXCEPTION_EXECUTE_HANDLER ? 0 : 1;
    if (argc > 1 && wcscmp(argv[1], L"throw") == 0) throw std::runtime_error("nobody catches this");
    volatile int* nowhere = nullptr;
    *nowhere = 42;
    return 7;
}
