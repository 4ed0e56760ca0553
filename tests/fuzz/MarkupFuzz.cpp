#include <cstddef>
#include <cstdint>

#include "ui/markup/XmlMarkup.h"

using SkinUI::CXmlMarkup;
using SkinUI::CXmlNode;

namespace {

// Touches every string the nodes hand out, so a pointer that runs past the
// document shows up under AddressSanitizer.
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
        sum += Walk(node.FirstChild(), depth + 1);
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    auto encoding = static_cast<SkinUI::XmlEncoding>(data[0] % 3);
    CXmlMarkup markup;
    markup.ParseBytes(data + 1, size - 1, encoding);
    volatile size_t sink = Walk(markup.RootNode(), 0);
    (void)sink;
    return 0;
}
