#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/controls/InlineMarkup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One character per byte keeps the braces and tag letters easy to reach.
    std::wstring text(data, data + size);
    SkinUI::TInlineText parsed = SkinUI::ParseInlineMarkup(text.c_str());
    size_t total = 0;
    for (const SkinUI::TInlineRun& run : parsed.runs) {
        // Markup only ever removes characters, and every piece of a link
        // names a link that exists.
        if (run.lineBreak != run.text.IsEmpty()) __builtin_trap();
        if (run.link >= static_cast<int>(parsed.linkTargets.size())) __builtin_trap();
        total += static_cast<size_t>(run.text.GetLength());
    }
    if (total > size) __builtin_trap();
    return 0;
}
