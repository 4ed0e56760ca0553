// Skins read from a resource zip held in memory (a "ZIPRES" resource or a
// skin zip): entries found by name without regard to case, read whole under
// the parser's size limit, the checksum checked on closing, and what was
// read parsed as a skin. The calls are those the resource reader makes on
// Windows (ui/core/ResourceReader.cpp, which needs Win32 and cannot be built
// here); minizip and the parser beneath them are the real ones.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <minizip/unzip.h>

#include "ui/markup/XmlMarkup.h"

namespace {

struct Memory {
    const uint8_t* data;
    size_t size;
    size_t position;
};

voidpf ZCALLBACK Open(voidpf opaque, const void*, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    return opaque;
}
uLong ZCALLBACK Read(voidpf, voidpf stream, void* buffer, uLong size)
{
    auto* memory = static_cast<Memory*>(stream);
    size_t count = memory->size - memory->position < size ? memory->size - memory->position : size;
    if (count != 0) memcpy(buffer, memory->data + memory->position, count);
    memory->position += count;
    return static_cast<uLong>(count);
}
uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) { return static_cast<Memory*>(stream)->position; }
long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* memory = static_cast<Memory*>(stream);
    size_t base = origin == ZLIB_FILEFUNC_SEEK_CUR ? memory->position : origin == ZLIB_FILEFUNC_SEEK_END ? memory->size : 0;
    if (offset > memory->size - base) return -1;
    memory->position = base + static_cast<size_t>(offset);
    return 0;
}
int ZCALLBACK Close(voidpf, voidpf) { return 0; }
int ZCALLBACK Error(voidpf, voidpf) { return 0; }

// As the resource reader reads one skin or picture: false for a missing,
// empty, oversized or damaged entry.
bool ReadEntry(unzFile zip, const std::string& name, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    const int kIgnoreCase = 2;
    if (unzLocateFile(zip, name.c_str(), kIgnoreCase) != UNZ_OK) return false;
    unz_file_info64 info = {};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    if (info.uncompressed_size == 0 || info.uncompressed_size > SkinUI::CXmlMarkup::kMaxFileBytes) return false;
    if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
    bytes.resize(static_cast<size_t>(info.uncompressed_size));
    size_t done = 0;
    while (done < bytes.size()) {
        int read = unzReadCurrentFile(zip, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
        if (read <= 0) break;
        done += static_cast<size_t>(read);
        if (done > bytes.size()) abort();  // more than asked for
    }
    int closed = unzCloseCurrentFile(zip);
    if (done != bytes.size() || closed != UNZ_OK) {
        bytes.clear();
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Memory memory{data, size, 0};
    zlib_filefunc64_def functions = {Open, Read, Write, Tell, Seek, Close, Error, &memory};
    unzFile zip = unzOpen2_64("membuffer", &functions);
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

    std::vector<unsigned char> bytes;
    for (const std::string& name : names) {
        if (!ReadEntry(zip, name, bytes)) continue;
        SkinUI::CXmlMarkup markup;
        markup.ParseBytes(bytes.data(), bytes.size(), SkinUI::XmlEncodingUtf8);
    }
    unzClose(zip);
    return 0;
}
