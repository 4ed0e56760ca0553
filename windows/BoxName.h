#pragma once
// What the user may call the box: one to ten characters from the CJK range
// 一 to 龥, ASCII letters, digits and the space, and not digits only; and not
// a name Windows keeps for a device ("CON", "lpt1"): the box name becomes
// the installation folder's name and part of the programs' names, and
// C:\Program Files\CON\ cannot be made.
// Pure code, so it is also tested natively.

#include <string>

bool IsValidBoxName(const std::wstring& name);

// Leading and trailing U+0020 removed; other white space stays.
std::wstring TrimBoxName(const std::wstring& text);
