// Extracts whatever archive the fuzzer makes, through the installer's whole
// extraction (UnzipWidthProgress: open, names checked and sizes summed, free
// space, then entry by entry), with the file system kept in memory: the
// calls the extraction and the archive reader make to it are renamed to
// box_fuzz_* in copies of their libraries for this target (see zip.cmake),
// and answered here. The archive is read from the input's bytes, files and
// folders live in a map, and file data only leave a size and a checksum.
// Nothing touches the disk, so an input costs what the code under test
// costs, not what the kernel does.
//
// The renamed calls keep POSIX's meaning as far as the extraction can tell:
// a file needs its folder, a folder is not a file, existing folders fail
// mkdir with EEXIST, stat tells files from folders, and the disk has
// kFreeBytes free (an archive declaring more is refused before the first
// byte, as on a full disk).
//
// Oracles, beyond the sanitizers:
//   - every path the extraction makes a file or folder of is relative,
//     without "..", a name the entry-name check accepts (so that Windows,
//     with its other separator, devices, drives and streams, would also
//     put it inside the folder), and is made while the destination is the
//     current folder;
//   - a result is one of the documented codes, and a failure from the
//     names on says why (naming the entry where there is one); progress
//     stays within 0 to 100 and never goes back;
//   - a user's stop ends the extraction there (nothing made after it, no
//     report more) and is reported as a stop; a disk that fills up under
//     the extraction fails it, naming the entry;
//   - an archive refused as a whole (unreadable, a refused name, too big)
//     leaves nothing behind: every name and size is checked before the
//     first byte;
//   - a successful extraction left every entry as the archive describes it:
//     each folder, and each file (the last entry of its name) with the
//     declared size and checksum.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include <zlib.h>

#include "install/UnzipWithProgress.h"
#include "install/ZipEntryName.h"

namespace {

constexpr char kArchivePath[] = "/fuzz/in.zip";
constexpr char kDestination[] = "/fuzz/dest";
constexpr uint64_t kFreeBytes = 16 * 1048576;

struct Node {
    bool folder = false;
    uint64_t size = 0;
    uint32_t crc = 0;  // of the data so far
};

// The destination's contents by relative path ("a/b"); the destination
// itself is "".
std::map<std::string, Node> g_tree;
bool g_extracting = false;  // the extraction, or the harness reading the archive again, is running
bool g_verbose = false;  // BOX_FUZZ_VERBOSE set: each input's result on stderr
bool g_inDestination = false;
// Three ways an extraction ends early that the archive alone cannot cause,
// chosen by the input's length so that the fuzzer reaches them all: the
// user stops at the first progress report (length 13 modulo 16); the disk
// fills up under the extraction, with room left for a few kilobytes chosen
// by the input's last byte (11 modulo 16); a byte of the package cannot be
// read, at a position its last two bytes give (a bad sector; 7 modulo 16).
// For that one the package is read through a small buffer, so that a read
// takes in little more than the archive reader asked for.
bool g_stopAtFirstReport = false;
bool g_stopped = false;
uint64_t g_diskLeft = 0;
size_t g_unreadable = SIZE_MAX;  // every read that takes in this position fails
const uint8_t* g_data = nullptr;
size_t g_size = 0;

[[noreturn]] void Escaped(const char* what, std::string_view name)
{
    fprintf(stderr, "zip oracle: %s: \"%.*s\"\n", what, static_cast<int>(name.size()), name.data());
    abort();
}

// A path the extraction hands to the file system, relative to the
// destination (its current folder while it extracts).
void CheckWrittenPath(const char* path)
{
    std::string_view name(path);
    if (name.empty() || name.front() == '/') Escaped("absolute or empty path written", name);
    std::string_view check = name;
    if (check.back() == '/' || check.back() == '\\') check.remove_suffix(1);
    if (CheckEntryName(check) != EntryNameProblem::None) Escaped("path Windows resolves elsewhere written", name);
    if (!g_inDestination) Escaped("written outside the destination folder", name);
    if (g_stopped) Escaped("written after the user stopped", name);
}

// POSIX's reading of a relative path: '/' separates, empty steps and "."
// stay. False for ".." (which CheckWrittenPath refuses first).
bool Normalise(std::string_view path, std::string* key)
{
    key->clear();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view step = path.substr(start, end - start);
        if (step == "..") return false;
        if (!step.empty() && step != ".") {
            if (!key->empty()) *key += '/';
            key->append(step);
        }
        start = end + 1;
    }
    return true;
}

std::string Parent(const std::string& key)
{
    size_t slash = key.rfind('/');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

// What stat finds for `key`; a path with a trailing '/' must be a folder.
const Node* Find(const std::string& key, bool trailingSlash, int* error)
{
    auto it = g_tree.find(key);
    if (it == g_tree.end()) {
        *error = ENOENT;
        return nullptr;
    }
    if (trailingSlash && !it->second.folder) {
        *error = ENOTDIR;
        return nullptr;
    }
    return &it->second;
}

// Where a new entry for `key` may go: its parent exists and is a folder.
int ParentError(const std::string& key)
{
    auto it = g_tree.find(Parent(key));
    if (it == g_tree.end()) return ENOENT;
    return it->second.folder ? 0 : ENOTDIR;
}

// A file being written: only its size and checksum are kept.
ssize_t WriteToNode(void* cookie, const char* bytes, size_t size)
{
    auto it = g_tree.find(*static_cast<std::string*>(cookie));
    if (it == g_tree.end() || it->second.folder) Escaped("written to a file that is gone", "");
    if (size > g_diskLeft) {
        // A cookie's write reports an error as 0 bytes, never -1: glibc
        // takes -1 for a count and copies past the caller's buffer.
        errno = ENOSPC;
        return 0;
    }
    g_diskLeft -= size;
    // zlib's own checksum, which the archive reader uses too: no code of its
    // own to cover, and fast on the mebibytes a run writes.
    it->second.crc = static_cast<uint32_t>(crc32(it->second.crc, reinterpret_cast<const Bytef*>(bytes), static_cast<uInt>(size)));
    it->second.size += size;
    return static_cast<ssize_t>(size);
}

int CloseNode(void* cookie)
{
    delete static_cast<std::string*>(cookie);
    return 0;
}

// The archive, read from the input.
struct Reader {
    size_t position = 0;
};

ssize_t ReadArchive(void* cookie, char* buffer, size_t size)
{
    auto* reader = static_cast<Reader*>(cookie);
    if (reader->position <= g_unreadable && g_unreadable - reader->position < size) {
        errno = EIO;
        return -1;
    }
    size_t count = reader->position < g_size ? g_size - reader->position : 0;
    if (count > size) count = size;
    memcpy(buffer, g_data + reader->position, count);
    reader->position += count;
    return static_cast<ssize_t>(count);
}

int SeekArchive(void* cookie, off64_t* offset, int whence)
{
    auto* reader = static_cast<Reader*>(cookie);
    const off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<off64_t>(reader->position)
                                                                       : static_cast<off64_t>(g_size);
    if ((*offset > 0 && base > INT64_MAX - *offset) || base + *offset < 0) {
        errno = EINVAL;
        return -1;
    }
    reader->position = static_cast<size_t>(base + *offset);
    *offset = static_cast<off64_t>(reader->position);
    return 0;
}

int CloseArchive(void* cookie)
{
    delete static_cast<Reader*>(cookie);
    return 0;
}

FILE* OpenArchive()
{
    cookie_io_functions_t functions = {};
    functions.read = ReadArchive;
    functions.seek = SeekArchive;
    functions.close = CloseArchive;
    FILE* file = fopencookie(new Reader, "rb", functions);
    if (file != nullptr && g_unreadable != SIZE_MAX) setvbuf(file, nullptr, _IOFBF, 64);
    return file;
}

// What the archive says it holds, read again with the archive library.
struct Expected {
    std::map<std::string, Node> entries;  // folders, and files by their last entry
};

bool ReadExpectation(Expected* expected)
{
    unzFile archive = unzOpen64(kArchivePath);
    if (archive == nullptr) return false;
    unz_global_info64 global;
    bool ok = unzGetGlobalInfo64(archive, &global) == UNZ_OK;
    for (ZPOS64_T i = 0; ok && i < global.number_entry; ++i) {
        char stored[kMaxEntryNameBytes] = {};
        unz_file_info64 info;
        ok = unzGetCurrentFileInfo64(archive, &info, stored, sizeof stored, nullptr, 0, nullptr, 0) == UNZ_OK &&
             info.size_filename < sizeof stored;
        if (!ok) break;
        const std::string_view name(stored, info.size_filename);
        std::string key;
        if (!Normalise(name, &key)) Escaped("\"..\" extracted", name);
        Node node;
        node.folder = EntryFileNamePart(name) == name.size();
        node.size = info.uncompressed_size;
        node.crc = static_cast<uint32_t>(info.crc);
        expected->entries[key] = node;
        if (i + 1 < global.number_entry) ok = unzGoToNextFile(archive) == UNZ_OK;
    }
    unzClose(archive);
    return ok;
}

bool IsResultCode(int result)
{
    switch (result) {
    case kUnzipOk:
    case kUnzipCannotOpenArchive:
    case kUnzipCannotSumSizes:
    case kUnzipCannotEnterDirectory:
    case kUnzipRefusedEntryName:
    case kUnzipWriteFailed:
    case kUnzipDataError:
    case kUnzipCannotCreate:
    case kUnzipSizeMismatch:
    case kUnzipNotEnoughSpace:
        return true;
    }
    // The archive library's own codes pass through.
    return result == UNZ_PARAMERROR || result == UNZ_BADZIPFILE || result == UNZ_INTERNALERROR ||
           result == UNZ_CRCERROR;
}

}  // namespace

extern "C" FILE* box_fuzz_fopen64(const char* path, const char* mode)
{
    if (!g_extracting) Escaped("file opened outside an extraction", path);
    if (strcmp(path, kArchivePath) != 0 || mode[0] != 'r') {
        errno = ENOENT;
        return nullptr;
    }
    return OpenArchive();
}

extern "C" FILE* box_fuzz_fopen(const char* path, const char* mode)
{
    if (mode[0] == 'r') return box_fuzz_fopen64(path, mode);
    if (!g_extracting) Escaped("file made outside an extraction", path);
    CheckWrittenPath(path);
    std::string key;
    if (!Normalise(path, &key)) Escaped("\"..\" written", path);
    const size_t length = strlen(path);
    int error = ParentError(key);
    auto it = g_tree.find(key);
    if (error == 0 && it != g_tree.end() && it->second.folder) error = EISDIR;
    if (error == 0 && path[length - 1] == '/') error = it == g_tree.end() ? EISDIR : ENOTDIR;
    if (error != 0) {
        errno = error;
        return nullptr;
    }
    g_tree[key] = Node();  // created, or truncated
    cookie_io_functions_t functions = {};
    functions.write = WriteToNode;
    functions.close = CloseNode;
    return fopencookie(new std::string(key), "wb", functions);
}

extern "C" int box_fuzz_mkdir(const char* path, mode_t)
{
    if (!g_extracting) Escaped("folder made outside an extraction", path);
    CheckWrittenPath(path);
    std::string key;
    if (!Normalise(path, &key)) Escaped("\"..\" made a folder", path);
    int error = key.empty() || g_tree.count(key) != 0 ? EEXIST : ParentError(key);
    if (error != 0) {
        errno = error;
        return -1;
    }
    g_tree[key].folder = true;
    return 0;
}

extern "C" int box_fuzz_stat64(const char* path, struct stat64* info)
{
    std::string key;
    int error = ENOENT;
    const size_t length = strlen(path);
    const Node* node = length == 0 || !Normalise(path, &key) ? nullptr : Find(key, path[length - 1] == '/', &error);
    if (node == nullptr) {
        errno = error;
        return -1;
    }
    memset(info, 0, sizeof *info);
    info->st_mode = node->folder ? S_IFDIR | 0755 : S_IFREG | 0644;
    info->st_size = static_cast<off64_t>(node->size);
    return 0;
}

extern "C" int box_fuzz_chdir(const char* path)
{
    if (strcmp(path, kDestination) != 0) {
        errno = ENOENT;
        return -1;
    }
    g_inDestination = true;
    return 0;
}

extern "C" int box_fuzz_statvfs64(const char*, struct statvfs64* info)
{
    memset(info, 0, sizeof *info);
    info->f_frsize = info->f_bsize = 4096;
    info->f_bavail = info->f_bfree = kFreeBytes / 4096;
    return 0;
}

extern "C" int box_fuzz_futimens(int fd, const struct timespec times[2])
{
    // The files are cookies without a descriptor: nothing to set.
    if (fd != -1) Escaped("times set on a descriptor of no extracted file", "");
    if (times[0].tv_nsec != UTIME_OMIT) Escaped("access time changed", "");
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The extraction traces every entry on stdout; the file times go through
    // mktime, which with a zone of its own reads no zone file each time.
    if (freopen("/dev/null", "w", stdout) == nullptr) abort();
    static char buffer[1 << 16];
    setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    setenv("TZ", "UTC0", 1);
    g_verbose = getenv("BOX_FUZZ_VERBOSE") != nullptr;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    g_data = data;
    g_size = size;
    g_tree.clear();
    g_tree[""].folder = true;
    g_inDestination = false;
    g_stopAtFirstReport = size % 16 == 13;
    g_stopped = false;
    const bool diskFills = size % 16 == 11;
    g_diskLeft = diskFills ? static_cast<uint64_t>(data[size - 1]) * 61 : UINT64_MAX;
    g_unreadable = size % 16 == 7 ? static_cast<size_t>(data[size - 2] | data[size - 1] << 8) * 97 % size : SIZE_MAX;

    static double lastPercent;
    lastPercent = 0;
    ExtractFailure failure;
    ExtractProgress progress;
    progress.failure = &failure;
    progress.report = [](void*, double percent) {
        if (!(percent >= 0.0 && percent <= 100.0) || percent < lastPercent) Escaped("progress out of order", "");
        if (g_stopped) Escaped("progress reported after the user stopped", "");
        lastPercent = percent;
        g_stopped = g_stopAtFirstReport;
        return !g_stopped;
    };
    g_extracting = true;
    const int result = UnzipWidthProgress(kArchivePath, kDestination, progress);

    if (g_verbose)
        fprintf(stderr, "result %d, %zu paths, failure \"%s\": %s\n", result, g_tree.size() - 1, failure.entry.c_str(),
                failure.reason.c_str());
    if (!IsResultCode(result) && !(result == kUnzipCancelled && g_stopped))
        Escaped("result outside the documented codes", std::to_string(result));
    if (g_stopped != (result == kUnzipCancelled)) Escaped("a stop not reported as such", std::to_string(result));
    if (result == kUnzipCannotOpenArchive || result == kUnzipCannotSumSizes || result == kUnzipRefusedEntryName ||
        result == kUnzipNotEnoughSpace) {
        if (g_tree.size() != 1) Escaped("archive refused after something was written", g_tree.rbegin()->first);
    }
    // From the names on, every failure says why for the log.
    if (result != kUnzipOk && result != kUnzipCannotOpenArchive && result != kUnzipCannotSumSizes &&
        result != kUnzipCannotEnterDirectory && result != kUnzipCancelled && failure.reason.empty())
        Escaped("failure without a reason for the log", std::to_string(result));
    if (result == kUnzipNotEnoughSpace && (failure.available != static_cast<int64_t>(kFreeBytes) ||
                                           failure.needed <= failure.available - 1048576))
        Escaped("not enough space for what fits", failure.reason);

    if (diskFills && result == kUnzipWriteFailed && failure.entry.empty()) Escaped("full disk without the entry", "");
    if (result == kUnzipOk) {
        g_unreadable = SIZE_MAX;  // what the archive holds, read whole
        Expected expected;
        if (!ReadExpectation(&expected)) Escaped("extracted an archive that cannot be read again", "");
        for (const auto& [key, entry] : expected.entries) {
            auto it = g_tree.find(key);
            if (it == g_tree.end()) Escaped("entry missing after a successful extraction", key);
            if (it->second.folder != entry.folder) Escaped("entry of the other kind after extraction", key);
            if (!entry.folder && (it->second.size != entry.size || it->second.crc != entry.crc))
                Escaped("file differs from its entry after a successful extraction", key);
        }
    }
    g_extracting = false;

    // Nothing in the tree that Windows would put elsewhere.
    for (const auto& [key, node] : g_tree)
        if (!key.empty() && CheckEntryName(key) != EntryNameProblem::None) Escaped("file Windows resolves elsewhere", key);
    return 0;
}
