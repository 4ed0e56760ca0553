// Run by the test scripts once per Wine prefix, before any test's clock starts.
//
// It says what kind of system the prefix is, as a program of this build sees
// it: the build's processor, the native processor architecture and whether
// the process runs under WoW64. And it does, once, the slow work that the
// first GUI program in a new prefix pays for: the connection to the display,
// the desktop window, the system's font list, and a CJK face drawn.
//
// Prints:  <process> process on a <32-bit|64-bit> system[ (WoW64)]
//         ACP=<the ANSI code page>
// Exit code 0, or 1 when no window could be made (no usable display).

#include <windows.h>

#include <cstdio>

namespace {

const char* ProcessArchitecture()
{
#if defined(_M_X64) || defined(__x86_64__)
    return "x86_64";
#else
    return "i686";
#endif
}

bool IsWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool DrawOnce()
{
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"probe", WS_POPUP, 0, 0, 64, 32, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    HDC dc = GetDC(window);
    HFONT font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"微软雅黑");
    HGDIOBJ old = SelectObject(dc, font);
    TextOutW(dc, 0, 0, L"安装 Box", 6);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(window, dc);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    DestroyWindow(window);
    return true;
}

}  // namespace

int wmain()
{
    SYSTEM_INFO system = {};
    GetNativeSystemInfo(&system);
    bool native64 = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                    system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 ||
                    system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
    std::printf("%s process on a %s system%s\n", ProcessArchitecture(), native64 ? "64-bit" : "32-bit",
                IsWow64() ? " (WoW64)" : "");
    // The ANSI code page the locale gives this process.
    std::printf("ACP=%u\n", GetACP());
    std::fflush(stdout);
    if (!DrawOnce()) {
        std::fprintf(stderr, "no window could be made (error %lu): is DISPLAY a running X server?\n", GetLastError());
        return 1;
    }
    return 0;
}
