#pragma once
// The attribute-list grammar of `Default` elements and scroll-bar styles:
//   name="value" name="value"
// A name runs up to "=", which a double quote must follow directly; the
// value runs to the next double quote; pairs are separated by exactly one
// space. Values cannot hold a double quote (a skin writes &quot; for the
// inner quotes, which the parser has already turned into plain quotes of the
// whole list). Reading stops at the first deviation; the pairs before it
// stand. The control applies the pairs, in order, through its setter.

#include <vector>

#include "ui/core/UIString.h"

namespace SkinUI {

struct AttrPair {
    CUIString name;
    CUIString value;
};

std::vector<AttrPair> ParseAttrList(const wchar_t* list);

}  // namespace SkinUI
