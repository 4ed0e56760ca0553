#pragma once
// Unpacks the downloaded package into the installation directory, entry by
// entry in archive order, with the stored folders and file times, overwriting
// what is there, and reports the share of uncompressed bytes written. Before
// the first byte the declared sizes are summed and checked against the free
// space of the destination's disk.
//
// Entry names are decoded (UTF-8 where the entry says so, else the system's
// ANSI code page), checked (install/ZipEntryName.h) and used relative to the
// destination, which becomes the process's current directory and stays so
// afterwards. Every name is checked before the first byte is written; one
// refused name fails the whole archive. On Windows every path is wide.
//
// Diagnostics go to stdout with printf; the installer has no console, so they
// only show when a test or a developer runs the code.
//
// This file also builds natively (no Win32 there) so that it can run under
// the sanitizers and be fuzzed; the window overload exists on Windows only.

#include <cstdint>
#include <string>
#include <string_view>

#include <minizip/unzip.h>

#ifdef _WIN32
#include <windows.h>
#endif

// File-system paths: wide on Windows, the bytes themselves natively.
#ifdef _WIN32
using PathChar = wchar_t;
#else
using PathChar = char;
#endif
using PathString = std::basic_string<PathChar>;

// General-purpose bit 11: the entry's name is UTF-8.
constexpr unsigned kZipUtf8NameFlag = 0x800;

// An entry's stored name as the file functions take it: UTF-8 when flagged,
// else in the ANSI code page (Windows); natively, the bytes.
PathString DecodeEntryName(std::string_view stored, bool utf8Flag);

// Results of UnzipWidthProgress. The install sequence goes on for 0 and
// fetches the package again for anything else; -1, -2 and -3 have status
// texts of their own there. Codes of the archive library's own range
// (-100 and below) pass through; the library's and zlib's smaller codes are
// folded into kUnzipDataError so that they cannot pass for -1 to -3.
enum : int {
    kUnzipOk = 0,
    kUnzipCannotOpenArchive = -1,
    kUnzipCannotSumSizes = -2,
    kUnzipCannotEnterDirectory = -3,
    kUnzipOutOfMemory = -104,
    kUnzipRefusedEntryName = -201,
    kUnzipWriteFailed = -202,
    kUnzipDataError = -203,  // unreadable or damaged entry data
    kUnzipCancelled = -204,  // the user asked to stop; nothing more may be posted
    kUnzipCannotCreate = -205,    // a file or folder of an entry cannot be made (in use, a clash)
    kUnzipSizeMismatch = -206,    // an entry's data do not come to its declared size
    kUnzipNotEnoughSpace = -207,  // the declared sizes do not fit the free space
};

// Which entry failed and why, for the log: a user's support request needs it.
// Filled for every failure from the first entry on, but the user's stop.
struct ExtractFailure {
    std::string entry;  // UTF-8; empty when the archive's directory fails, not an entry
    std::string reason;
    int64_t needed = 0;     // kUnzipNotEnoughSpace: bytes the archive unpacks to,
    int64_t available = 0;  // and bytes free at the destination
};

// Where progress goes: the setup window's reporter in the installer, a
// recorder in tests. `report` returns false when the user has asked to stop.
struct ExtractProgress {
    bool (*report)(void* context, double percent) = nullptr;
    void* context = nullptr;
    ExtractFailure* failure = nullptr;  // filled when an entry fails, if given

    bool Report(double percent) const { return report == nullptr || report(context, percent); }
};

// A report when more than this many bytes were written since the last one.
constexpr int64_t kExtractReportBytes = 1048576;
constexpr unsigned kExtractBlockBytes = 8192;

int UnzipWidthProgress(const PathChar* archivePath, const PathChar* destinationDir, const ExtractProgress& progress);
#ifdef _WIN32
// Progress goes to `window` as WM_SETUP_EXTRACT_PROGRESS.
int UnzipWidthProgress(const wchar_t* archivePath, const wchar_t* destinationDir, HWND window,
                       ExtractFailure* failure = nullptr);
#endif

// Sum of the uncompressed sizes of all entries, with every name checked on
// the way. -1 when an entry's information cannot be read, kUnzipRefusedEntryName
// when a name is refused. Leaves the archive on its first entry.
int64_t ComputeTotalSize(unzFile archive, ExtractFailure* failure = nullptr);

int ExtractAll(unzFile archive, const ExtractProgress& progress, int64_t total);

// `written` and `lastReported` are the byte counters of the whole extraction.
// 0 on success. Anything else is a failure that stops the extraction: an entry
// that cannot be created (its folder cannot be made, a file of that name is
// in use, a file stands where a folder must go), or whose data do not come
// to its declared size, fails like damaged data.
int ExtractCurrentEntry(unzFile archive, const ExtractProgress& progress, int64_t total, int64_t* written,
                        int64_t* lastReported);

// Creates every level of `path`: 1 on success, 0 when a level cannot be
// created (or is a file), kUnzipOutOfMemory when memory runs out.
int MakeDirectoryPath(const PathChar* path);
