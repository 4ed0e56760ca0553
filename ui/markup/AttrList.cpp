#include "ui/markup/AttrList.h"

#include <cwchar>

namespace SkinUI {

namespace {
bool IsPlainName(const wchar_t* begin, const wchar_t* end)
{
    if (begin == end) return false;
    for (const wchar_t* p = begin; p != end; ++p) {
        if (*p == L'"' || static_cast<unsigned long>(*p) <= 32) return false;
    }
    return true;
}
}  // namespace

std::vector<AttrPair> ParseAttrList(const wchar_t* list)
{
    std::vector<AttrPair> pairs;
    if (list == nullptr) return pairs;
    const wchar_t* p = list;
    while (*p != L'\0') {
        const wchar_t* name = p;
        while (*p != L'\0' && *p != L'=') ++p;
        if (*p != L'=' || p[1] != L'"') break;
        const wchar_t* nameEnd = p;
        if (!IsPlainName(name, nameEnd)) break;  // e.g. a second space between pairs
        const wchar_t* value = p + 2;
        const wchar_t* valueEnd = wcschr(value, L'"');
        if (valueEnd == nullptr) break;  // an unclosed value is not applied
        pairs.push_back({CUIString(name, static_cast<int>(nameEnd - name)),
                         CUIString(value, static_cast<int>(valueEnd - value))});
        p = valueEnd + 1;
        if (*p == L'\0' || *p != L' ') break;
        ++p;
    }
    return pairs;
}

}  // namespace SkinUI
