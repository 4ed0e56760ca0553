#include "ui/core/UIString.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <new>
#include <vector>

namespace SkinUI {

namespace {
int LengthOf(const wchar_t* text, int length)
{
    if (text == nullptr) return 0;
    if (length >= 0) {
        // Stop early at a terminator inside the requested length.
        int n = 0;
        while (n < length && text[n] != L'\0') ++n;
        return n;
    }
    return static_cast<int>(wcslen(text));
}
}  // namespace

CUIString::CUIString() : m_data(m_inline), m_length(0), m_capacity(kInlineChars - 1)
{
    m_inline[0] = L'\0';
}

CUIString::CUIString(const wchar_t* text, int length) : CUIString() { Assign(text, length); }

CUIString::CUIString(wchar_t ch) : CUIString() { Assign(&ch, 1); }

CUIString::CUIString(const CUIString& other) : CUIString() { Assign(other.m_data, other.m_length); }

CUIString::CUIString(CUIString&& other) noexcept : CUIString() { TakeFrom(other); }

void CUIString::TakeFrom(CUIString& other) noexcept
{
    Empty();
    if (other.m_data == other.m_inline) {
        wmemcpy(m_inline, other.m_inline, other.m_length + 1);
        m_length = other.m_length;
    } else {
        m_data = other.m_data;
        m_length = other.m_length;
        m_capacity = other.m_capacity;
        other.m_data = other.m_inline;
        other.m_capacity = kInlineChars - 1;
    }
    other.m_length = 0;
    other.m_inline[0] = L'\0';
}

CUIString::~CUIString() { Release(); }

void CUIString::Release()
{
    if (m_data != m_inline) free(m_data);
    m_data = m_inline;
    m_capacity = kInlineChars - 1;
}

CUIString& CUIString::operator=(const CUIString& other)
{
    if (this != &other) Assign(other.m_data, other.m_length);
    return *this;
}

CUIString& CUIString::operator=(CUIString&& other) noexcept
{
    if (this != &other) TakeFrom(other);
    return *this;
}

CUIString& CUIString::operator=(const wchar_t* text)
{
    Assign(text);
    return *this;
}

CUIString& CUIString::operator=(wchar_t ch)
{
    Assign(&ch, 1);
    return *this;
}

CUIString& CUIString::operator+=(const CUIString& other)
{
    Append(other.m_data, other.m_length);
    return *this;
}

CUIString& CUIString::operator+=(const wchar_t* text)
{
    Append(text);
    return *this;
}

CUIString& CUIString::operator+=(wchar_t ch)
{
    Append(&ch, 1);
    return *this;
}

CUIString operator+(const CUIString& a, const CUIString& b)
{
    CUIString result(a);
    result += b;
    return result;
}

CUIString operator+(const CUIString& a, const wchar_t* b)
{
    CUIString result(a);
    result += b;
    return result;
}

void CUIString::Reserve(int length)
{
    if (length <= m_capacity) return;
    int capacity = m_capacity;
    while (capacity < length) capacity = capacity * 2 + 1;
    auto* block = static_cast<wchar_t*>(malloc((capacity + 1) * sizeof(wchar_t)));
    if (block == nullptr) throw std::bad_alloc();
    wmemcpy(block, m_data, m_length + 1);
    if (m_data != m_inline) free(m_data);
    m_data = block;
    m_capacity = capacity;
}

void CUIString::Assign(const wchar_t* text, int length)
{
    length = LengthOf(text, length);
    // The source may point into this string's own buffer.
    if (text >= m_data && text <= m_data + m_length) {
        CUIString copy(text, length);
        *this = static_cast<CUIString&&>(copy);
        return;
    }
    m_length = 0;
    m_data[0] = L'\0';
    Reserve(length);
    if (length > 0) wmemcpy(m_data, text, length);
    m_length = length;
    m_data[length] = L'\0';
}

void CUIString::Append(const wchar_t* text, int length)
{
    length = LengthOf(text, length);
    if (length == 0) return;
    if (text >= m_data && text <= m_data + m_length) {
        CUIString copy(text, length);
        Append(copy.m_data, copy.m_length);
        return;
    }
    Reserve(m_length + length);
    wmemcpy(m_data + m_length, text, length);
    m_length += length;
    m_data[m_length] = L'\0';
}

void CUIString::Empty()
{
    Release();
    m_length = 0;
    m_inline[0] = L'\0';
}

wchar_t CUIString::GetAt(int index) const
{
    return (index >= 0 && index < m_length) ? m_data[index] : L'\0';
}

void CUIString::SetAt(int index, wchar_t ch)
{
    if (index >= 0 && index < m_length) m_data[index] = ch;
}

int CUIString::Compare(const wchar_t* text) const { return wcscmp(m_data, text ? text : L""); }

int CUIString::CompareNoCase(const wchar_t* text) const
{
    const wchar_t* a = m_data;
    const wchar_t* b = text ? text : L"";
    for (;; ++a, ++b) {
        wint_t ca = towlower(*a), cb = towlower(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

int CUIString::Find(wchar_t ch, int start) const
{
    if (start < 0 || start >= m_length) return -1;
    const wchar_t* hit = wmemchr(m_data + start, ch, m_length - start);
    return hit ? static_cast<int>(hit - m_data) : -1;
}

int CUIString::Find(const wchar_t* text, int start) const
{
    if (text == nullptr || start < 0 || start > m_length) return -1;
    const wchar_t* hit = wcsstr(m_data + start, text);
    return hit ? static_cast<int>(hit - m_data) : -1;
}

int CUIString::ReverseFind(wchar_t ch) const
{
    for (int i = m_length - 1; i >= 0; --i)
        if (m_data[i] == ch) return i;
    return -1;
}

int CUIString::Replace(const wchar_t* from, const wchar_t* to)
{
    int fromLength = LengthOf(from, -1);
    if (fromLength == 0) return 0;
    CUIString result;
    int count = 0, pos = 0;
    for (int hit; (hit = Find(from, pos)) >= 0; pos = hit + fromLength, ++count) {
        result.Append(m_data + pos, hit - pos);
        result.Append(to);
    }
    if (count == 0) return 0;
    result.Append(m_data + pos, m_length - pos);
    *this = static_cast<CUIString&&>(result);
    return count;
}

CUIString CUIString::Left(int count) const
{
    if (count < 0) count = 0;
    if (count > m_length) count = m_length;
    return CUIString(m_data, count);
}

CUIString CUIString::Mid(int start, int count) const
{
    if (start < 0) start = 0;
    if (start > m_length) start = m_length;
    if (count < 0 || count > m_length - start) count = m_length - start;
    return CUIString(m_data + start, count);
}

CUIString CUIString::Right(int count) const
{
    if (count < 0) count = 0;
    if (count > m_length) count = m_length;
    return CUIString(m_data + m_length - count, count);
}

void CUIString::MakeUpper()
{
    for (int i = 0; i < m_length; ++i) m_data[i] = static_cast<wchar_t>(towupper(m_data[i]));
}

void CUIString::MakeLower()
{
    for (int i = 0; i < m_length; ++i) m_data[i] = static_cast<wchar_t>(towlower(m_data[i]));
}

void CUIString::Trim()
{
    int begin = 0, end = m_length;
    while (begin < end && iswspace(m_data[begin])) ++begin;
    while (end > begin && iswspace(m_data[end - 1])) --end;
    Assign(Mid(begin, end - begin));
}

int CUIString::Format(const wchar_t* format, ...)
{
    // vswprintf reports truncation only as -1, so grow until the text fits.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        int n = vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) {
            Assign(buffer.data(), n);
            return n;
        }
        if (buffer.size() >= (1u << 20)) {
            Empty();
            return -1;
        }
        buffer.resize(buffer.size() * 4);
    }
}

}  // namespace SkinUI
