#include "ui/render/ImageAttr.h"

#include <cwchar>

namespace SkinUI {

namespace {

bool IsPairSpace(wchar_t ch) { return ch != L'\0' && static_cast<unsigned long>(ch) <= 0x20; }

bool IsCSpace(wchar_t ch) { return ch == L' ' || (ch >= L'\t' && ch <= L'\r'); }

int HexDigit(wchar_t ch)
{
    if (ch >= L'0' && ch <= L'9') return ch - L'0';
    if (ch >= L'a' && ch <= L'f') return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F') return ch - L'A' + 10;
    return -1;
}

// A decimal number as the C library's wcstol reads it with a 32-bit long:
// leading white space, a sign, digits; saturated; `end` stays at `text` when
// there are no digits.
int ReadDecimal(const wchar_t* text, const wchar_t** end)
{
    const wchar_t* p = text;
    while (IsCSpace(*p)) ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    if (*p < L'0' || *p > L'9') {
        *end = text;
        return 0;
    }
    long long value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        if (value <= 0x80000000LL) value = value * 10 + (*p - L'0');
    }
    *end = p;
    if (negative) return value >= 0x80000000LL ? INT32_MIN : static_cast<int>(-value);
    return value > 0x7FFFFFFFLL ? INT32_MAX : static_cast<int>(value);
}

bool IsTrue(const CUIString& value) { return value == L"true"; }

}  // namespace

void ImageDrawInfo::Reset()
{
    attrString.Empty();
    imageName.Empty();
    loadAttempted = false;
    image = nullptr;
    dest = ImageRect();
    source = ImageRect();
    corners = ImageRect();
    fade = 255;
    hole = false;
    xTiled = false;
    yTiled = false;
}

bool ImageDrawInfo::SetAttrString(const wchar_t* text)
{
    if (text == nullptr) text = L"";
    if (image != nullptr && attrString == text) return false;
    Reset();
    attrString = text;
    return true;
}

uint32_t ParseHexColor(const wchar_t* text)
{
    if (text == nullptr) return 0;
    const wchar_t* p = text;
    if (*p == L'#') ++p;
    while (IsCSpace(*p)) ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && HexDigit(p[2]) >= 0) p += 2;
    unsigned long long value = 0;
    for (; HexDigit(*p) >= 0; ++p) {
        value = value * 16 + static_cast<unsigned>(HexDigit(*p));
        if (value > 0xFFFFFFFFULL) return 0xFFFFFFFFu;
    }
    uint32_t result = static_cast<uint32_t>(value);
    return negative ? 0u - result : result;
}

ImageRect ParseFourNumbers(const wchar_t* text)
{
    int numbers[4] = {0, 0, 0, 0};
    const wchar_t* p = text;
    for (int i = 0; i < 4 && p != nullptr && *p != L'\0'; ++i) {
        const wchar_t* end = p;
        numbers[i] = ReadDecimal(p, &end);
        // The next number starts one character on: past the separator, but
        // never past the terminator.
        p = *end == L'\0' ? end : end + 1;
    }
    ImageRect rect;
    rect.left = numbers[0];
    rect.top = numbers[1];
    rect.right = numbers[2];
    rect.bottom = numbers[3];
    return rect;
}

ImageLoadRequest ParseImageAttr(const wchar_t* text, ImageDrawInfo& info)
{
    ImageLoadRequest request;
    if (text == nullptr) return request;
    request.name = text;

    const wchar_t* p = text;
    while (*p != L'\0') {
        while (IsPairSpace(*p)) ++p;
        const wchar_t* nameStart = p;
        while (*p != L'\0' && *p != L'=' && !IsPairSpace(*p)) ++p;
        CUIString name(nameStart, static_cast<int>(p - nameStart));
        while (IsPairSpace(*p)) ++p;
        if (*p != L'=') break;
        ++p;
        while (IsPairSpace(*p)) ++p;
        if (*p != L'\'') break;
        const wchar_t* valueStart = ++p;
        while (*p != L'\0' && *p != L'\'') ++p;
        if (*p != L'\'') break;
        CUIString value(valueStart, static_cast<int>(p - valueStart));
        ++p;

        if (!value.IsEmpty()) {
            if (name == L"file") {
                request.name = value;
                request.isResource = false;
            } else if (name == L"res") {
                request.name = value;
                request.isResource = true;
            } else if (name == L"restype") {
                request.type = value;
            } else if (name == L"color") {
                request.name = value;
                request.type = kColorImageType;
                request.isResource = true;
            } else if (name == L"dest") {
                info.dest = ParseFourNumbers(value);
            } else if (name == L"source") {
                info.source = ParseFourNumbers(value);
            } else if (name == L"corner" || name == L"scale9") {
                info.corners = ParseFourNumbers(value);
            } else if (name == L"mask") {
                request.mask = ParseHexColor(value);
            } else if (name == L"fade") {
                const wchar_t* end = nullptr;
                info.fade = static_cast<uint8_t>(ReadDecimal(value, &end));
            } else if (name == L"hole") {
                info.hole = IsTrue(value);
            } else if (name == L"xtiled") {
                info.xTiled = IsTrue(value);
            } else if (name == L"ytiled") {
                info.yTiled = IsTrue(value);
            } else if (name == L"hsl") {
                request.keepUnadjusted = IsTrue(value);
            }
        }

        if (*p != L' ' || p[1] == L'\0') break;
        ++p;
    }
    return request;
}

}  // namespace SkinUI
