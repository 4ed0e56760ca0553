#pragma once
// What the user may call the box: one to ten characters from the CJK range
// 一 to 龥, ASCII letters, digits and the space, and not digits only.
// Pure code, so it is also tested natively.

#include <string>

bool IsValidBoxName(const std::wstring& name);

// Leading and trailing U+0020 removed; other white space stays.
std::wstring TrimBoxName(const std::wstring& text);
