// Test helper: log_writer <dir> <count> <text> opens the log in <dir> and
// writes <count> info lines of <text>, as one installer process would.
#include <cstdlib>
#include <windows.h>

#include "services/MyLog.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) return 2;
    if (!MyLog::Init(argv[1])) return 3;
    char text[512] = {};
    WideCharToMultiByte(CP_UTF8, 0, argv[3], -1, text, sizeof text, nullptr, nullptr);
    long count = wcstol(argv[2], nullptr, 10);
    for (long i = 0; i < count; ++i) MyLog::GetLogger()->info("{}", text);
    return 0;
}
