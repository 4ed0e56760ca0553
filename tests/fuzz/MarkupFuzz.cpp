// The skin parser over bytes in each of its encodings (the first byte picks
// one), and over the same bytes as wide text. Every string a node hands out
// is read to its end, so that a pointer past the document shows under
// AddressSanitizer; a failed parse leaves no tree and says why.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/markup/XmlMarkup.h"

using SkinUI::CXmlMarkup;
using SkinUI::CXmlNode;

namespace {

size_t Walk(const CXmlNode& first, int depth)
{
    size_t sum = 0;
    for (CXmlNode node = first; node.IsValidNode(); node = node.NextSibling()) {
        for (const wchar_t* p = node.ElementName(); *p; ++p) sum += static_cast<size_t>(*p);
        for (const wchar_t* p = node.ElementText(); *p; ++p) sum += static_cast<size_t>(*p);
        for (int i = 0; i <= node.AttributeCount(); ++i) {
            for (const wchar_t* p = node.AttributeNameAt(i); *p; ++p) sum += static_cast<size_t>(*p);
            for (const wchar_t* p = node.AttributeValueAt(i); *p; ++p) sum += static_cast<size_t>(*p);
        }
        wchar_t buffer[8];
        node.FindAttribute(L"name", buffer, sizeof(buffer) / sizeof(buffer[0]));
        if (node.ParentNode().IsValidNode() == (depth == 0)) __builtin_trap();
        if (depth > CXmlMarkup::kMaxDepth) __builtin_trap();
        sum += Walk(node.FirstChild(), depth + 1);
    }
    return sum;
}

void Check(const CXmlMarkup& markup, bool parsed)
{
    // A document of nothing but white space and comments parses, to no root.
    if ((!parsed && markup.IsValid()) || markup.IsValid() != markup.RootNode().IsValidNode()) __builtin_trap();
    if (!parsed && markup.LastErrorMessage()[0] == L'\0') __builtin_trap();
    wchar_t small[4];
    markup.GetLastErrorMessage(small, 4);
    markup.GetLastErrorExcerpt(small, 4);
    volatile size_t sink = Walk(markup.RootNode(), 0);
    (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    auto encoding = static_cast<SkinUI::XmlEncoding>(data[0] % 3);
    CXmlMarkup markup;
    Check(markup, markup.ParseBytes(data + 1, size - 1, encoding));

    // Wide text, one character per byte: the parse of a skin given inline.
    std::wstring text(data + 1, data + size);
    Check(markup, markup.ParseText(text.c_str()));
    return 0;
}
