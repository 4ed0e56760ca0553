#pragma once
// The framework's wide string: control texts, settings, status messages.
// Short texts (up to 63 characters) live in the inline buffer; longer ones
// move to the heap. Positions and lengths are in UTF-16 code units.

#include <cstddef>
#include <cwchar>

namespace SkinUI {

class CUIString {
public:
    enum { kInlineChars = 64 };

    CUIString();
    CUIString(const wchar_t* text, int length = -1);
    CUIString(wchar_t ch);
    CUIString(const CUIString& other);
    CUIString(CUIString&& other) noexcept;
    ~CUIString();

    CUIString& operator=(const CUIString& other);
    CUIString& operator=(CUIString&& other) noexcept;
    CUIString& operator=(const wchar_t* text);
    CUIString& operator=(wchar_t ch);

    CUIString& operator+=(const CUIString& other);
    CUIString& operator+=(const wchar_t* text);
    CUIString& operator+=(wchar_t ch);
    friend CUIString operator+(const CUIString& a, const CUIString& b);
    friend CUIString operator+(const CUIString& a, const wchar_t* b);

    void Assign(const wchar_t* text, int length = -1);
    void Append(const wchar_t* text, int length = -1);
    void Empty();

    int GetLength() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    const wchar_t* GetData() const { return m_data; }
    operator const wchar_t*() const { return m_data; }
    wchar_t GetAt(int index) const;
    wchar_t operator[](int index) const { return GetAt(index); }
    void SetAt(int index, wchar_t ch);

    int Compare(const wchar_t* text) const;
    int CompareNoCase(const wchar_t* text) const;
    bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
    bool operator!=(const wchar_t* text) const { return Compare(text) != 0; }
    bool operator==(const CUIString& other) const { return Compare(other.m_data) == 0; }
    bool operator!=(const CUIString& other) const { return Compare(other.m_data) != 0; }
    bool operator<(const CUIString& other) const { return Compare(other.m_data) < 0; }

    // Searches return -1 when absent.
    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* text, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    int Replace(const wchar_t* from, const wchar_t* to);

    CUIString Left(int count) const;
    CUIString Mid(int start, int count = -1) const;
    CUIString Right(int count) const;
    void MakeUpper();
    void MakeLower();
    void Trim();

    // printf-style; wide strings are %ls. Returns the new length, or -1 when
    // the format could not be applied (the string is then empty).
    int Format(const wchar_t* format, ...);

private:
    void Reserve(int length);  // keeps the content
    void Release();
    void TakeFrom(CUIString& other) noexcept;

    wchar_t* m_data;
    int m_length;
    int m_capacity;  // characters, excluding the terminator
    wchar_t m_inline[kInlineChars];
};

}  // namespace SkinUI
