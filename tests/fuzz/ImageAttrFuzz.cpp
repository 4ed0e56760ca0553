#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/render/ImageAttr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text(data, data + size);
    SkinUI::ImageDrawInfo info;
    info.SetAttrString(text.c_str());
    SkinUI::ImageLoadRequest request = SkinUI::ParseImageAttr(info.attrString, info);
    if (request.name.GetLength() > static_cast<int>(size)) __builtin_trap();
    SkinUI::ParseHexColor(text.c_str());
    SkinUI::ParseFourNumbers(text.c_str());
    return 0;
}
