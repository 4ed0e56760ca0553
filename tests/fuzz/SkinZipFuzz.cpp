// Skins read from a resource zip held in memory (a "ZIPRES" resource or a
// skin zip), through the resource reader's own zip code: entries found by
// name without regard to case, read whole under the parser's size limit,
// the checksum checked on closing, and what was read parsed as a skin.
// Beyond not crashing: a read either succeeds with the entry's bytes, within
// the limit, or hands out nothing.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <minizip/unzip.h>

#include "ui/core/ResourceZip.h"
#include "ui/markup/XmlMarkup.h"

using namespace SkinUI;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The settings keep a copy of the resource's bytes for minizip too.
    const std::vector<unsigned char> bytes(data, data + size);
    void* zip = OpenZipInMemory(bytes);
    if (zip == nullptr) return 0;

    // The names the skin asks for are its own entries' names, in another
    // case; a few entries are enough, each may inflate to the size limit.
    std::vector<std::string> names = {"setup_139.xml"};
    int status = unzGoToFirstFile(zip);
    for (int i = 0; status == UNZ_OK && i < 8; ++i) {
        char name[256] = {};
        if (unzGetCurrentFileInfo64(zip, nullptr, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        std::string upper(name, strnlen(name, sizeof name));
        for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        names.push_back(upper);
        status = unzGoToNextFile(zip);
    }

    std::vector<unsigned char> entry;
    for (const std::string& name : names) {
        const ResourceReadResult result = ReadZipEntry(zip, name.c_str(), CXmlMarkup::kMaxFileBytes, entry);
        if (result != ResourceReadResult::Ok) {
            if (!entry.empty()) __builtin_trap();
            continue;
        }
        if (entry.empty() || entry.size() > CXmlMarkup::kMaxFileBytes) __builtin_trap();
        CXmlMarkup markup;
        markup.ParseBytes(entry.data(), entry.size(), XmlEncodingUtf8);
    }
    unzClose(zip);
    return 0;
}
