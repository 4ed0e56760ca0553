#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/markup/AttrList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One character per byte keeps the grammar's punctuation easy to reach.
    std::wstring text(data, data + size);
    size_t total = 0;
    for (const SkinUI::AttrPair& pair : SkinUI::ParseAttrList(text.c_str()))
        total += static_cast<size_t>(pair.name.GetLength() + pair.value.GetLength());
    if (total > size) __builtin_trap();
    return 0;
}
