#pragma once
// The tooltip of a framework window: one "tooltips_class32" popup owned by
// the window, with one tool covering the hovered control. The manager calls
// these on hover and on leave; it keeps the handle and destroys the window.
//
// The tool is a tracking tool: the manager decides when the tip shows (on
// WM_MOUSEHOVER, after its own hover delay) and where (under the mouse), so
// the tooltip window never has to see the mouse messages of the controls,
// which are not windows of their own.

#include <windows.h>

namespace SkinUI {
namespace ToolTip {

// Creates the tooltip window for `owner` and adds its tool; null on failure.
HWND Create(HWND owner);

// Sets the widest a tip may be before its text wraps (pixels).
void SetMaxWidth(HWND tooltip, int width);

// Shows `text` for the control at `toolRect` (client coordinates of the
// owner), just below the mouse at `clientPoint`.
void Show(HWND tooltip, HWND owner, const RECT& toolRect, const wchar_t* text, POINT clientPoint);

void Hide(HWND tooltip, HWND owner);

// How long the mouse must rest before a tip shows (ms).
UINT InitialDelay(HWND tooltip);

}  // namespace ToolTip
}  // namespace SkinUI
