#include "windows/BoxName.h"

#include "install/ZipEntryName.h"

namespace {

bool IsNameCharacter(wchar_t ch)
{
    return (ch >= 0x4E00 && ch <= 0x9FA5) || ch == L' ' || (ch >= L'A' && ch <= L'Z') ||
           (ch >= L'a' && ch <= L'z') || (ch >= L'0' && ch <= L'9');
}

}  // namespace

// The rule reads as the pattern ^(?![0-9]+$)[一-龥 A-Z a-z 0-9]{1,10}$ over
// UTF-16 code units; checked directly rather than by compiling it each time.
// Device names pass the pattern, so they are refused by the rule the archive
// entries meet.
bool IsValidBoxName(const std::wstring& name)
{
    if (name.empty() || name.size() > 10) return false;
    bool digitsOnly = true;
    for (wchar_t ch : name) {
        if (!IsNameCharacter(ch)) return false;
        if (ch < L'0' || ch > L'9') digitsOnly = false;
    }
    return !digitsOnly && !IsDeviceName(name);
}

std::wstring TrimBoxName(const std::wstring& text)
{
    size_t begin = text.find_first_not_of(L' ');
    if (begin == std::wstring::npos) return std::wstring();
    size_t end = text.find_last_not_of(L' ');
    return text.substr(begin, end - begin + 1);
}
