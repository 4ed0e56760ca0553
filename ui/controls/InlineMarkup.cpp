#include "ui/controls/InlineMarkup.h"

#include <cwchar>

namespace SkinUI {

namespace {

bool SameStyle(const TInlineRun& a, const TInlineRun& b)
{
    return a.bold == b.bold && a.italic == b.italic && a.underline == b.underline && a.hasColor == b.hasColor &&
           (!a.hasColor || a.color == b.color) && a.font == b.font && a.link == b.link;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// "AARRGGBB" or "RRGGBB" (opaque), with an optional "#".
bool ReadColor(const wchar_t* text, int length, uint32_t& color)
{
    if (length > 0 && text[0] == L'#') {
        ++text;
        --length;
    }
    if (length != 6 && length != 8) return false;
    uint32_t value = 0;
    for (int i = 0; i < length; ++i) {
        int digit = HexDigit(text[i]);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    color = length == 6 ? (0xFF000000u | value) : value;
    return true;
}

// A small decimal font index; longer numbers are not a font anyone has.
bool ReadFont(const wchar_t* text, int length, int& font)
{
    if (length < 1 || length > 4) return false;
    int value = 0;
    for (int i = 0; i < length; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        value = value * 10 + (text[i] - L'0');
    }
    font = value;
    return true;
}

class CParser {
public:
    explicit CParser(TInlineText& out) : m_out(out) {}

    void Run(const wchar_t* text)
    {
        const wchar_t* p = text;
        while (*p != L'\0') {
            if (p[0] != L'{') {
                Append(*p++);
                continue;
            }
            if (p[1] == L'{') {
                Append(L'{');
                p += 2;
                continue;
            }
            const wchar_t* close = std::wcschr(p + 1, L'}');
            if (close != nullptr && ApplyTag(p + 1, static_cast<int>(close - p - 1))) {
                p = close + 1;
                continue;
            }
            // Not a tag: the brace is text, and so is what follows it.
            Append(*p++);
        }
    }

private:
    bool Is(const wchar_t* tag, int length, const wchar_t* name)
    {
        return static_cast<int>(std::wcslen(name)) == length && std::wcsncmp(tag, name, length) == 0;
    }

    // Applies one tag (the text between the braces); false when it is not
    // one, so it is shown as written.
    bool ApplyTag(const wchar_t* tag, int length)
    {
        if (Is(tag, length, L"b")) return Open(m_bold);
        if (Is(tag, length, L"i")) return Open(m_italic);
        if (Is(tag, length, L"u")) return Open(m_underline);
        if (Is(tag, length, L"/b")) return Close(m_bold);
        if (Is(tag, length, L"/i")) return Close(m_italic);
        if (Is(tag, length, L"/u")) return Close(m_underline);
        if (Is(tag, length, L"n")) {
            TInlineRun run = m_style;
            run.lineBreak = true;
            m_out.runs.push_back(run);
            return true;
        }
        if (length >= 2 && tag[0] == L'c' && tag[1] == L'=') {
            uint32_t color = 0;
            if (!ReadColor(tag + 2, length - 2, color)) return false;
            m_colors.push_back(color);
            return Restyle();
        }
        if (Is(tag, length, L"/c")) {
            if (m_colors.empty()) return false;
            m_colors.pop_back();
            return Restyle();
        }
        if (length >= 2 && tag[0] == L'f' && tag[1] == L'=') {
            int font = -1;
            if (!ReadFont(tag + 2, length - 2, font)) return false;
            m_fonts.push_back(font);
            return Restyle();
        }
        if (Is(tag, length, L"/f")) {
            if (m_fonts.empty()) return false;
            m_fonts.pop_back();
            return Restyle();
        }
        if (tag[0] == L'a' && (length == 1 || tag[1] == L'=')) {
            if (m_link >= 0) return false;
            m_link = static_cast<int>(m_out.linkTargets.size());
            m_out.linkTargets.push_back(length > 2 ? CUIString(tag + 2, length - 2) : CUIString());
            return Restyle();
        }
        if (Is(tag, length, L"/a")) {
            if (m_link < 0) return false;
            m_link = -1;
            return Restyle();
        }
        return false;
    }

    bool Open(int& depth)
    {
        ++depth;
        return Restyle();
    }

    bool Close(int& depth)
    {
        if (depth == 0) return false;
        --depth;
        return Restyle();
    }

    bool Restyle()
    {
        m_style.bold = m_bold > 0;
        m_style.italic = m_italic > 0;
        m_style.underline = m_underline > 0;
        m_style.hasColor = !m_colors.empty();
        m_style.color = m_colors.empty() ? 0 : m_colors.back();
        m_style.font = m_fonts.empty() ? -1 : m_fonts.back();
        m_style.link = m_link;
        return true;
    }

    void Append(wchar_t c)
    {
        if (m_out.runs.empty() || m_out.runs.back().lineBreak || !SameStyle(m_out.runs.back(), m_style)) {
            TInlineRun run = m_style;
            m_out.runs.push_back(run);
        }
        m_out.runs.back().text += c;
    }

    TInlineText& m_out;
    TInlineRun m_style;
    int m_bold = 0;
    int m_italic = 0;
    int m_underline = 0;
    std::vector<uint32_t> m_colors;
    std::vector<int> m_fonts;
    int m_link = -1;
};

}  // namespace

TInlineText ParseInlineMarkup(const wchar_t* text)
{
    TInlineText result;
    if (text == nullptr) return result;
    CParser parser(result);
    parser.Run(text);
    return result;
}

CUIString InlinePlainText(const TInlineText& parsed)
{
    CUIString plain;
    for (const TInlineRun& run : parsed.runs) {
        if (run.lineBreak) plain += L'\n';
        else plain += run.text;
    }
    return plain;
}

}  // namespace SkinUI
