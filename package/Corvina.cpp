// Corvina.exe of the demo package: the program the installer starts after
// Finish (renamed to the box's name by then). It proves it ran by writing
// started.marker next to itself, then shows a small window.
//
// The window closes by itself after 20 s, so an unattended run (a test, the
// demo) leaves no process behind; /autoclose:<ms> on the command line or
// CORVINA_AUTOCLOSE_MS in the environment sets another delay (0: never).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT_PTR kTickTimer = 2;
constexpr DWORD kDefaultAutoCloseMs = 20000;

struct WindowState {
    std::wstring exeName;
    DWORD closeAtTick = 0;  // 0: stays open
};

std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

// One "key=value" line per fact, UTF-8, so a test can check how and where
// the installer started us.
void WriteMarker(const std::wstring& exePath)
{
    std::wstring dir = exePath.substr(0, exePath.find_last_of(L'\\') + 1);
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t time[32];
    swprintf(time, 32, L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);

    FILE* file = _wfopen((dir + L"started.marker").c_str(), L"wb");
    if (!file) return;
    std::string text = "started=Corvina\r\nexe=" + Utf8(exePath) + "\r\ncommandline=" + Utf8(GetCommandLineW()) +
                       "\r\ncwd=" + Utf8(cwd) + "\r\ntime=" + Utf8(time) +
                       "\r\npid=" + std::to_string(GetCurrentProcessId()) + "\r\n";
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

DWORD AutoCloseMs()
{
    const wchar_t* option = wcsstr(GetCommandLineW(), L"/autoclose:");
    if (option) return wcstoul(option + wcslen(L"/autoclose:"), nullptr, 10);
    wchar_t value[32] = {};
    if (GetEnvironmentVariableW(L"CORVINA_AUTOCLOSE_MS", value, 32) > 0) return wcstoul(value, nullptr, 10);
    return kDefaultAutoCloseMs;
}

HFONT MakeFont(int height, int weight)
{
    return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei");
}

void Paint(HWND window, const WindowState& state)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH background = CreateSolidBrush(RGB(0x0F, 0x22, 0x30));
    FillRect(dc, &client, background);
    DeleteObject(background);
    SetBkMode(dc, TRANSPARENT);

    HFONT title = MakeFont(22, FW_BOLD);
    HFONT body = MakeFont(13, FW_NORMAL);
    HGDIOBJ previous = SelectObject(dc, title);
    SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
    RECT line = {24, 24, client.right - 24, 56};
    DrawTextW(dc, L"盒子已启动", -1, &line, DT_SINGLELINE | DT_LEFT | DT_VCENTER);

    SelectObject(dc, body);
    SetTextColor(dc, RGB(0x97, 0xF9, 0xF4));
    line = {24, 64, client.right - 24, 84};
    DrawTextW(dc, state.exeName.c_str(), -1, &line, DT_SINGLELINE | DT_LEFT | DT_VCENTER | DT_PATH_ELLIPSIS);
    if (state.closeAtTick) {
        DWORD left = state.closeAtTick - GetTickCount();
        if (static_cast<LONG>(left) < 0) left = 0;
        wchar_t text[64];
        swprintf(text, 64, L"本窗口将在 %lu 秒后关闭", static_cast<unsigned long>((left + 999) / 1000));
        SetTextColor(dc, RGB(0x6F, 0x97, 0xA3));
        line = {24, 92, client.right - 24, 112};
        DrawTextW(dc, text, -1, &line, DT_SINGLELINE | DT_LEFT | DT_VCENTER);
    }
    SelectObject(dc, previous);
    DeleteObject(title);
    DeleteObject(body);
    EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<WindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        break;
    case WM_PAINT:
        if (state) {
            Paint(window, *state);
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kCloseTimer) DestroyWindow(window);
        if (wParam == kTickTimer) InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    std::wstring exePath = ModulePath();
    WriteMarker(exePath);

    WindowState state;
    state.exeName = exePath;
    DWORD autoCloseMs = AutoCloseMs();
    if (autoCloseMs) state.closeAtTick = GetTickCount() + autoCloseMs;

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = L"CorvinaWindow";
    RegisterClassW(&windowClass);

    RECT frame = {0, 0, 360, 130};
    AdjustWindowRect(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, FALSE);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HWND window = CreateWindowW(L"CorvinaWindow", L"Corvina", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
                                width, height, nullptr, nullptr, instance, &state);
    if (!window) return 1;
    if (autoCloseMs) {
        SetTimer(window, kCloseTimer, autoCloseMs, nullptr);
        SetTimer(window, kTickTimer, 1000, nullptr);
    }
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
