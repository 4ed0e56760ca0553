#pragma once
// Lays out and draws a text written in the inline markup (InlineMarkup.h)
// inside a rectangle: pieces of text in their own fonts and colours, words
// wrapped unless the style asks for one line, each line aligned as the
// label's text style says, and the rectangles of the links as drawn.

#include <windows.h>

#include <vector>

#include "ui/controls/InlineMarkup.h"

namespace SkinUI {

class CUIManager;

struct TInlineStyle {
    int font = -1;                // the manager's font for unstyled text
    UINT textStyle = DT_SINGLELINE | DT_VCENTER;  // DT_* alignment and wrapping
    DWORD textColor = 0xFF000000;  // ARGB
    DWORD linkColor = 0xFF0000FF;
    DWORD linkHoverColor = 0xFFD3215F;
    int hotLink = -1;  // drawn in the hover colour
};

struct TInlineLinkRect {
    RECT rect;
    int link;  // the link's number in the markup
};

// Draws `text` into `rect` (or only measures it when `dc` draws nothing:
// pass `measureOnly`). Returns the size the text takes. When `links` is
// given it receives the rectangles of the links, one per line a link spans,
// at most `maxLinks` of them.
SIZE DrawInlineText(HDC dc, CUIManager* manager, const RECT& rect, const TInlineText& text, const TInlineStyle& style,
                    bool measureOnly = false, std::vector<TInlineLinkRect>* links = nullptr, size_t maxLinks = 0);

}  // namespace SkinUI
