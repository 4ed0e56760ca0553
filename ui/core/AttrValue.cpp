#include "ui/core/AttrValue.h"

#include <cwchar>

namespace SkinUI {
namespace AttrValue {

long ToLong(const wchar_t* text)
{
    if (text == nullptr) return 0;
    return std::wcstol(text, nullptr, 10);
}

int ToNumbers(const wchar_t* text, long* numbers, int count)
{
    for (int i = 0; i < count; ++i) numbers[i] = 0;
    if (text == nullptr) return 0;
    const wchar_t* p = text;
    int present = 0;
    for (int i = 0; i < count; ++i) {
        wchar_t* end = nullptr;
        long value = std::wcstol(p, &end, 10);
        if (end == p) {
            // No digits here. Stepping over the separator keeps "1,,3"
            // reading 1, 0, 3; at the terminator there is nothing to step
            // over (the next character would be past the text).
            if (*p == L'\0') break;
        } else {
            numbers[i] = value;
            ++present;
        }
        if (*end == L'\0') break;
        p = end + 1;
    }
    return present;
}

uint32_t ToColor(const wchar_t* text)
{
    if (text == nullptr) return 0;
    while (*text != L'\0' && *text <= L' ') ++text;
    if (*text == L'#') ++text;
    // wcstoul would accept a sign or a "0x"; colours have neither, so stop
    // at the first character that is not a hex digit.
    uint32_t value = 0;
    for (int digits = 0; digits < 8; ++digits, ++text) {
        wchar_t c = *text;
        uint32_t d;
        if (c >= L'0' && c <= L'9') d = c - L'0';
        else if (c >= L'a' && c <= L'f') d = c - L'a' + 10;
        else if (c >= L'A' && c <= L'F') d = c - L'A' + 10;
        else break;
        value = (value << 4) | d;
    }
    return value;
}

bool IsTrue(const wchar_t* text) { return text != nullptr && std::wcscmp(text, L"true") == 0; }

bool IsTrueNoCase(const wchar_t* text) { return EqualsNoCase(text, L"true"); }

static wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

bool EqualsNoCase(const wchar_t* a, const wchar_t* b)
{
    if (a == nullptr || b == nullptr) return a == b;
    for (;; ++a, ++b) {
        if (FoldAscii(*a) != FoldAscii(*b)) return false;
        if (*a == L'\0') return true;
    }
}

bool Contains(const wchar_t* text, const wchar_t* word)
{
    return text != nullptr && word != nullptr && std::wcsstr(text, word) != nullptr;
}

}  // namespace AttrValue
}  // namespace SkinUI
