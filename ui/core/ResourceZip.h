#pragma once
// The part of reading the resource zip that needs no Win32: minizip over a
// zip held in memory, and one entry read whole. The resource reader and
// settings (Win32) open zips by file name and turn entry names into the
// code page's bytes around these; the native build tests and fuzzes them.

#include <cstddef>
#include <vector>

namespace SkinUI {

enum class ResourceReadResult {
    Ok,
    OpenFailed,       // the file cannot be opened
    Empty,            // file or zip entry of size 0
    TooLarge,         // above the caller's limit
    ReadFailed,       // fewer bytes read than the file size
    ZipOpenFailed,    // the resource zip cannot be opened
    ZipEntryMissing,  // no zip entry of that name
    UnzipFailed,      // the entry cannot be decompressed
};

// A minizip handle (close it with unzClose) over `bytes`, which minizip reads
// in place: they must stay as they are until the handle is closed. Null when
// the bytes hold no zip.
void* OpenZipInMemory(const std::vector<unsigned char>& bytes);

// The entry `name` of an open zip, found without regard to case, whole: only
// an entry of 1 to `maxBytes` bytes whose checksum holds. `bytes` is left
// empty unless the result is Ok.
ResourceReadResult ReadZipEntry(void* zip, const char* name, size_t maxBytes, std::vector<unsigned char>& bytes);

}  // namespace SkinUI
