#include "install/CrashPoint.h"

#include <atomic>

namespace {
std::atomic<CrashPointHandler> g_handler{nullptr};
}

void SetCrashPointHandler(CrashPointHandler handler)
{
    g_handler.store(handler);
}

bool CrashPoint(const char* point, const wchar_t* detail)
{
    const CrashPointHandler handler = g_handler.load();
    return handler != nullptr && handler(point, detail);
}
