// Any name the check lets through, resolved the way Windows resolves a
// relative path (both separators, "." stays, ".." goes up, trailing dots and
// spaces dropped), stays inside the folder it is resolved against.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "install/ZipEntryName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view name(reinterpret_cast<const char*>(data), size);
    if (CheckEntryName(name) != EntryNameProblem::None) return 0;

    if (name.empty() || name.size() >= kMaxEntryNameBytes) abort();
    if (name.front() == '/' || name.front() == '\\') abort();
    if (name.find(':') != std::string_view::npos || name.find('\0') != std::string_view::npos) abort();
    long depth = 0;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = name.size();
        std::string_view component = name.substr(start, end - start);
        while (!component.empty() && (component.back() == '.' || component.back() == ' ')) component.remove_suffix(1);
        if (name.substr(start, end - start) == ".") {
            // stays
        } else if (name.substr(start, end - start) == ".." || (component.empty() && end > start)) {
            if (--depth < 0) abort();
        } else if (!component.empty()) {
            ++depth;
        }
        start = end + 1;
    }
    return 0;
}
