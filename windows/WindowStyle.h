#pragma once
#include <windows.h>

// Every installer window: WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS |
// WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU. The skin strips the caption
// again; it is there so the system menu and Alt+F4 work.
constexpr DWORD kInstallerWindowStyle = 0x96C80000;
constexpr const wchar_t* kModalTitle = L"提示";
