#pragma once
// Image attribute strings, e.g.
//   res='146' restype='png' source='560,0,565,69' xtiled='true'
// parsed into a draw info (where and how to draw) and a load request (which
// picture). A string without pairs is a bare file name.
//
// Pairs are name='value', separated by white space; names are matched
// exactly, case included; unknown names and empty values are ignored. A
// malformed pair ends the parse; the pairs before it stand.

#include <cstdint>

#include "ui/core/UIString.h"

namespace SkinUI {

struct ImageData;

// Same member order and sizes as the Win32 RECT, so the drawing code can
// hand one to GDI without copying field by field.
struct ImageRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool IsZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// The resource type that makes a picture a plain colour.
constexpr const wchar_t* kColorImageType = L"*COLOR*";

// Which picture an attribute string names. Not kept in the draw info: it is
// only needed for the one load.
struct ImageLoadRequest {
    CUIString name;
    CUIString type;         // used only when isResource is set
    bool isResource = false;
    uint32_t mask = 0;      // AARRGGBB; pixels of exactly this value become transparent
    bool keepUnadjusted = false;
};

// One image attribute of a control or window, parsed once and drawn at
// every paint. The picture is borrowed from a manager's table.
struct ImageDrawInfo {
    CUIString attrString;
    CUIString imageName;
    bool loadAttempted = false;
    ImageData* image = nullptr;
    ImageRect dest;     // all 0: the whole item rectangle
    ImageRect source;   // all 0: the whole picture
    ImageRect corners;  // nine-slice insets
    uint8_t fade = 255;
    bool hole = false;
    bool xTiled = false;
    bool yTiled = false;

    void Reset();
    // Stores a new string and forgets the picture, ready for the next load.
    // Returns false, changing nothing, when the string is the current one
    // and its picture is attached.
    bool SetAttrString(const wchar_t* text);
};

// Fills the draw fields of `info` that the string names and returns the load
// request. Fields the string does not name keep their values.
ImageLoadRequest ParseImageAttr(const wchar_t* text, ImageDrawInfo& info);

// AARRGGBB hexadecimal with an optional leading "#" (and, as the C library
// reads it, an optional "0x"); what cannot be read counts as 0 and values
// past 32 bits saturate.
uint32_t ParseHexColor(const wchar_t* text);

// Four decimal numbers, each starting one character after the end of the
// previous one (the separator is normally ","); missing numbers read as 0.
ImageRect ParseFourNumbers(const wchar_t* text);

}  // namespace SkinUI
