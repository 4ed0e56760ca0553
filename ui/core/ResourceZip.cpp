#include "ui/core/ResourceZip.h"

#include <cstring>

#include <minizip/unzip.h>

namespace SkinUI {

namespace {

struct MemoryStream {
    const unsigned char* data;
    ZPOS64_T size;
    ZPOS64_T position;
};

voidpf ZCALLBACK MemoryOpen(voidpf opaque, const void*, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    auto* source = static_cast<const std::vector<unsigned char>*>(opaque);
    return new MemoryStream{source->data(), source->size(), 0};
}
uLong ZCALLBACK MemoryRead(voidpf, voidpf stream, void* buffer, uLong size)
{
    auto* memory = static_cast<MemoryStream*>(stream);
    ZPOS64_T left = memory->size - memory->position;
    uLong count = left < size ? static_cast<uLong>(left) : size;
    if (count != 0) memcpy(buffer, memory->data + memory->position, count);
    memory->position += count;
    return count;
}
uLong ZCALLBACK MemoryWrite(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK MemoryTell(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->position; }
long ZCALLBACK MemorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* memory = static_cast<MemoryStream*>(stream);
    ZPOS64_T base = origin == ZLIB_FILEFUNC_SEEK_CUR ? memory->position
                    : origin == ZLIB_FILEFUNC_SEEK_END ? memory->size
                                                       : 0;
    if (offset > memory->size - base) return -1;  // minizip only seeks forward of a base
    memory->position = base + offset;
    return 0;
}
int ZCALLBACK MemoryClose(voidpf, voidpf stream)
{
    delete static_cast<MemoryStream*>(stream);
    return 0;
}
int ZCALLBACK MemoryError(voidpf, voidpf) { return 0; }

}  // namespace

void* OpenZipInMemory(const std::vector<unsigned char>& bytes)
{
    // The name only reaches MemoryOpen, which has the bytes already.
    zlib_filefunc64_def functions = {MemoryOpen, MemoryRead,  MemoryWrite, MemoryTell,
                                     MemorySeek, MemoryClose, MemoryError,
                                     const_cast<std::vector<unsigned char>*>(&bytes)};
    return unzOpen2_64("membuffer", &functions);
}

ResourceReadResult ReadZipEntry(void* zip, const char* name, size_t maxBytes, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    const int kIgnoreCase = 2;
    if (unzLocateFile(zip, name, kIgnoreCase) != UNZ_OK) return ResourceReadResult::ZipEntryMissing;
    unz_file_info64 info = {};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ResourceReadResult::UnzipFailed;
    if (info.uncompressed_size == 0) return ResourceReadResult::Empty;
    if (info.uncompressed_size > maxBytes) return ResourceReadResult::TooLarge;
    if (unzOpenCurrentFile(zip) != UNZ_OK) return ResourceReadResult::UnzipFailed;
    bytes.resize(static_cast<size_t>(info.uncompressed_size));
    size_t done = 0;
    while (done < bytes.size()) {
        size_t left = bytes.size() - done;
        unsigned chunk = static_cast<unsigned>(left > 0x1000000 ? 0x1000000 : left);
        int read = unzReadCurrentFile(zip, bytes.data() + done, chunk);
        if (read <= 0) break;
        done += static_cast<size_t>(read);
    }
    // Closing checks the CRC once the whole entry was read: a damaged entry
    // must not pass as a picture or skin with garbage in it.
    int closed = unzCloseCurrentFile(zip);
    if (done != bytes.size() || closed != UNZ_OK) {
        bytes.clear();
        return ResourceReadResult::UnzipFailed;
    }
    return ResourceReadResult::Ok;
}

}  // namespace SkinUI
