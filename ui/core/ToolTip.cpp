#include "ui/core/ToolTip.h"

#include <commctrl.h>

#include "ui/core/ResourceSettings.h"

namespace SkinUI {
namespace ToolTip {

namespace {

// The one tool of a window's tooltip is known by the window itself.
TOOLINFOW ToolFor(HWND owner)
{
    TOOLINFOW tool = {};
    // The size common controls 5 also accept (the full structure of newer
    // headers makes version 5 refuse every tool).
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(owner);
    tool.hinst = CResourceSettings::GetInstance();
    return tool;
}

}  // namespace

HWND Create(HWND owner)
{
    if (owner == nullptr) return nullptr;
    HWND tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                     CResourceSettings::GetInstance(), nullptr);
    if (tooltip == nullptr) return nullptr;
    TOOLINFOW tool = ToolFor(owner);
    wchar_t empty[] = L"";
    tool.lpszText = empty;
    if (!::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) {
        ::DestroyWindow(tooltip);
        return nullptr;
    }
    return tooltip;
}

void SetMaxWidth(HWND tooltip, int width)
{
    if (tooltip != nullptr) ::SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, width);
}

void Show(HWND tooltip, HWND owner, const RECT& toolRect, const wchar_t* text, POINT clientPoint)
{
    if (tooltip == nullptr) return;
    TOOLINFOW tool = ToolFor(owner);
    tool.rect = toolRect;
    tool.lpszText = const_cast<wchar_t*>(text);
    ::SendMessageW(tooltip, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool));
    // Below the cursor rather than under it: a tip under the cursor would
    // take the mouse from the window, which hides the tip, which gives the
    // mouse back: a flickering loop.
    POINT screen = clientPoint;
    ::ClientToScreen(owner, &screen);
    screen.y += ::GetSystemMetrics(SM_CYCURSOR) * 3 / 4;
    ::SendMessageW(tooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y));
    ::SendMessageW(tooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void Hide(HWND tooltip, HWND owner)
{
    if (tooltip == nullptr) return;
    TOOLINFOW tool = ToolFor(owner);
    ::SendMessageW(tooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

UINT InitialDelay(HWND tooltip)
{
    if (tooltip == nullptr) return 0;
    return static_cast<UINT>(::SendMessageW(tooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
}

}  // namespace ToolTip
}  // namespace SkinUI
