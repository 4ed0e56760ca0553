#include "ui/controls/InlineText.h"

#include <algorithm>
#include <memory>

#include "ui/core/GdiHandles.h"
#include "ui/core/UIManager.h"

namespace SkinUI {

namespace {

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

// Chinese, Japanese and Korean text has no spaces: a line may break between
// any two of its characters.
bool BreaksAnywhere(wchar_t c) { return c >= 0x2E80 && !(c >= 0xD800 && c <= 0xDFFF); }

// The fonts a text needs: the manager's, or variants of them with bold,
// italic or underline added, made for one layout and deleted with it.
class CFontSet {
public:
    struct TFace {
        HFONT font;
        TEXTMETRICW metrics;
    };

    CFontSet(CUIManager* manager, HDC dc) : m_manager(manager), m_dc(dc) {}

    const TFace& For(const TInlineRun& run, int baseFont)
    {
        const int id = run.font >= 0 ? run.font : baseFont;
        const bool underline = run.underline || run.link >= 0;
        for (const auto& entry : m_entries) {
            if (entry->id == id && entry->bold == run.bold && entry->italic == run.italic &&
                entry->underline == underline) {
                return entry->face;
            }
        }
        auto entry = std::make_unique<TEntry>();
        entry->id = id;
        entry->bold = run.bold;
        entry->italic = run.italic;
        entry->underline = underline;
        const TFontInfo* info = m_manager->GetFontInfo(id);
        HFONT font = info->font.Get();
        if ((run.bold && !info->bold) || (run.italic && !info->italic) || (underline && !info->underline)) {
            LOGFONTW logFont = {};
            ::GetObjectW(font, sizeof(logFont), &logFont);
            if (run.bold) logFont.lfWeight = FW_BOLD;
            if (run.italic) logFont.lfItalic = TRUE;
            if (underline) logFont.lfUnderline = TRUE;
            entry->owned.Reset(::CreateFontIndirectW(&logFont));
            if (entry->owned) font = entry->owned.Get();
        }
        entry->face.font = font;
        CSelectObject select(m_dc, font);
        ::GetTextMetricsW(m_dc, &entry->face.metrics);
        m_entries.push_back(std::move(entry));
        return m_entries.back()->face;
    }

private:
    struct TEntry {
        int id;
        bool bold, italic, underline;
        CFontHandle owned;  // null when the manager's font serves as is
        TFace face;
    };
    CUIManager* m_manager;
    HDC m_dc;
    std::vector<std::unique_ptr<TEntry>> m_entries;
};

// A word (or one character of text that breaks anywhere), or a line break.
struct TPiece {
    const TInlineRun* run;
    int start;
    int length;
    const CFontSet::TFace* face;
    int width = 0;
    int inkWidth = 0;  // without trailing spaces
    int x = 0;
};

struct TLine {
    size_t first;
    size_t end;
    int width = 0;
    int ascent = 0;
    int descent = 0;
};

void SplitRun(const TInlineRun& run, const CFontSet::TFace& face, std::vector<TPiece>& pieces)
{
    const wchar_t* text = run.text.GetData();
    const int length = run.text.GetLength();
    int start = 0;
    for (int i = 0; i < length; ++i) {
        const bool last = i + 1 == length;
        const bool wordEnds = text[i] == L' ' && (last || text[i + 1] != L' ');
        const bool single = BreaksAnywhere(text[i]) || (!last && BreaksAnywhere(text[i + 1]));
        if (last || wordEnds || single) {
            pieces.push_back(TPiece{&run, start, i + 1 - start, &face});
            start = i + 1;
        }
    }
}

}  // namespace

SIZE DrawInlineText(HDC dc, CUIManager* manager, const RECT& rect, const TInlineText& text, const TInlineStyle& style,
                    bool measureOnly, std::vector<TInlineLinkRect>* links, size_t maxLinks)
{
    if (links != nullptr) links->clear();
    if (manager == nullptr) return SIZE{0, 0};
    HDC measureDC = dc != nullptr ? dc : manager->GetPaintDC();
    if (measureDC == nullptr) return SIZE{0, 0};

    CFontSet fonts(manager, measureDC);
    const CFontSet::TFace& baseFace = fonts.For(TInlineRun(), style.font);
    std::vector<TPiece> pieces;
    for (const TInlineRun& run : text.runs) {
        if (run.lineBreak) {
            pieces.push_back(TPiece{&run, 0, 0, &baseFace});
            continue;
        }
        SplitRun(run, fonts.For(run, style.font), pieces);
    }
    for (TPiece& piece : pieces) {
        if (piece.length == 0) continue;
        CSelectObject select(measureDC, piece.face->font);
        const wchar_t* start = piece.run->text.GetData() + piece.start;
        SIZE size = {};
        ::GetTextExtentPoint32W(measureDC, start, piece.length, &size);
        piece.width = size.cx;
        int ink = piece.length;
        while (ink > 0 && start[ink - 1] == L' ') --ink;
        if (ink == piece.length) {
            piece.inkWidth = piece.width;
        } else if (ink > 0) {
            ::GetTextExtentPoint32W(measureDC, start, ink, &size);
            piece.inkWidth = size.cx;
        }
    }

    // Lines: a break starts a new one, and so does a word that would cross
    // the right edge (unless it is the first on its line).
    const bool wrap = (style.textStyle & DT_SINGLELINE) == 0;
    const int maxWidth = rect.right - rect.left;
    std::vector<TLine> lines;
    TLine line{0, 0};
    int x = 0;
    auto closeLine = [&](size_t end) {
        line.end = end;
        if (line.ascent == 0 && line.descent == 0) {
            line.ascent = baseFace.metrics.tmAscent;
            line.descent = baseFace.metrics.tmDescent;
        }
        lines.push_back(line);
        line = TLine{end, end};
        x = 0;
    };
    for (size_t i = 0; i < pieces.size(); ++i) {
        TPiece& piece = pieces[i];
        if (piece.run->lineBreak) {
            closeLine(i);
            line.first = line.end = i + 1;
            continue;
        }
        if (wrap && x > 0 && x + piece.inkWidth > maxWidth) closeLine(i);
        piece.x = x;
        x += piece.width;
        line.width = piece.x + piece.inkWidth;
        line.ascent = std::max(line.ascent, static_cast<int>(piece.face->metrics.tmAscent));
        line.descent = std::max(line.descent, static_cast<int>(piece.face->metrics.tmDescent));
    }
    closeLine(pieces.size());

    SIZE extent = {0, 0};
    for (const TLine& l : lines) {
        extent.cx = std::max(extent.cx, static_cast<LONG>(l.width));
        extent.cy += l.ascent + l.descent;
    }
    if (measureOnly && links == nullptr) return extent;

    // One line: placed vertically as the style says. Several: from the top,
    // as DrawText places them.
    int y = rect.top;
    const int spare = (rect.bottom - rect.top) - extent.cy;
    if (style.textStyle & DT_SINGLELINE) {
        if (style.textStyle & DT_VCENTER) y += spare / 2;
        else if (style.textStyle & DT_BOTTOM) y += spare;
    }

    std::unique_ptr<CClipGuard> clip;
    int oldMode = 0;
    if (!measureOnly) {
        clip = std::make_unique<CClipGuard>(dc, rect);
        oldMode = ::SetBkMode(dc, TRANSPARENT);
    }
    long lastRecorded = -2;  // the piece whose link rectangle came last
    for (const TLine& l : lines) {
        int left = rect.left;
        if (style.textStyle & DT_CENTER) left += (maxWidth - l.width) / 2;
        else if (style.textStyle & DT_RIGHT) left += maxWidth - l.width;
        const int baseline = y + l.ascent;
        for (size_t i = l.first; i < l.end; ++i) {
            const TPiece& piece = pieces[i];
            if (piece.length == 0) continue;
            const TInlineRun& run = *piece.run;
            const int top = baseline - piece.face->metrics.tmAscent;
            if (!measureOnly) {
                DWORD color = run.hasColor ? run.color : style.textColor;
                if (run.link >= 0) color = run.link == style.hotLink ? style.linkHoverColor : style.linkColor;
                CSelectObject select(dc, piece.face->font);
                const COLORREF oldColor = ::SetTextColor(dc, ToColorRef(color));
                ::TextOutW(dc, left + piece.x, top, run.text.GetData() + piece.start, piece.length);
                ::SetTextColor(dc, oldColor);
            }
            if (links != nullptr && run.link >= 0) {
                RECT area = {left + piece.x, top, left + piece.x + piece.inkWidth,
                             top + piece.face->metrics.tmHeight};
                // Words of one link on one line make one rectangle.
                const bool extends = lastRecorded + 1 == static_cast<long>(i) && i > l.first &&
                                     pieces[i - 1].run->link == run.link;
                if (extends) {
                    ::UnionRect(&links->back().rect, &links->back().rect, &area);
                    lastRecorded = static_cast<long>(i);
                } else if (links->size() < maxLinks) {
                    links->push_back(TInlineLinkRect{area, run.link});
                    lastRecorded = static_cast<long>(i);
                }
            }
        }
        y += l.ascent + l.descent;
    }
    if (!measureOnly) ::SetBkMode(dc, oldMode);
    return extent;
}

}  // namespace SkinUI
