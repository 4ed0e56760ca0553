#pragma once
// Reading the values of skin attributes: decimal numbers, lists of numbers
// with one separator character between them, AARRGGBB colours and booleans.
// Malformed values read as far as they go; missing numbers read as 0.
// Pure: no Win32, so it is also built and tested natively.

#include <cstdint>

namespace SkinUI {
namespace AttrValue {

// A decimal number (leading white space and a sign allowed); 0 when none.
long ToLong(const wchar_t* text);

// Up to `count` decimal numbers, each starting one character after the end
// of the previous one ("22,6,0,0", "240,20 300,20"). Numbers missing at the
// end of the text read as 0. Returns how many numbers were present.
int ToNumbers(const wchar_t* text, long* numbers, int count);

// Hexadecimal AARRGGBB with an optional leading "#"; white space before it is
// skipped. 0 when there are no digits.
uint32_t ToColor(const wchar_t* text);

// Booleans in control attributes are true only for the exact text "true".
bool IsTrue(const wchar_t* text);
// Resource elements of a skin compare "true" without regard to case.
bool IsTrueNoCase(const wchar_t* text);

// Case-insensitive comparison of ASCII letters, for element and attribute
// names (which are ASCII in every skin; other characters compare exactly).
bool EqualsNoCase(const wchar_t* a, const wchar_t* b);
// Whether `text` contains `word` (exactly).
bool Contains(const wchar_t* text, const wchar_t* word);

}  // namespace AttrValue
}  // namespace SkinUI
