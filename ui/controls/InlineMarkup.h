#pragma once
// The inline markup of texts shown with `showhtml` (labels and text
// controls). Tags are written in braces, so a skin needs no XML escapes:
//
//   {b}..{/b}  bold            {i}..{/i}  italic        {u}..{/u}  underline
//   {c=AARRGGBB}..{/c}  colour ("#" allowed, as in every colour attribute)
//   {f=N}..{/f}  font N of the manager
//   {a}..{/a}  or  {a=target}..{/a}  a link; links are numbered from 0 in
//              the order they open, and the number is what "link" reports
//   {n}  line break            {{  a literal "{"
//
// Tags nest; a closing tag ends the innermost open tag of its kind. A tag
// that is unknown, malformed or closes nothing is shown as written, so a
// stray brace in a text never makes anything vanish. A link does not open
// inside another link. Whatever is still open at the end simply ends there.
//
// Pure: no Win32, so it is also built, tested and fuzzed natively.

#include <cstdint>
#include <vector>

#include "ui/core/UIString.h"

namespace SkinUI {

// A piece of text in one style, or a line break.
struct TInlineRun {
    CUIString text;
    bool lineBreak = false;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool hasColor = false;
    uint32_t color = 0;  // AARRGGBB, when hasColor
    int font = -1;       // -1: the control's own font
    int link = -1;       // the link this piece belongs to, or -1
};

struct TInlineText {
    // Neighbouring pieces of the same style are merged; no run is empty
    // unless it is a line break.
    std::vector<TInlineRun> runs;
    // One entry per link, by link number ("" when the tag named no target).
    std::vector<CUIString> linkTargets;
};

TInlineText ParseInlineMarkup(const wchar_t* text);

// The text without its markup (line breaks become "\n").
CUIString InlinePlainText(const TInlineText& parsed);

}  // namespace SkinUI
