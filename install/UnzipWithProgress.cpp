#include "install/UnzipWithProgress.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "install/ZipEntryName.h"

#ifdef _WIN32
#include <direct.h>
#include <io.h>

#include "install/CrashPoint.h"
#include "install/SetupMessages.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <ctime>
#endif

namespace {

constexpr size_t kNameBufferBytes = kMaxEntryNameBytes;
constexpr int64_t kSpareBytes = 1048576;

#ifdef _WIN32

// Paths are wide from the settings to the system call: a Chinese box name or
// folder must survive a system whose ANSI code page is not 936.
int MakeOneDirectory(const wchar_t* path) { return _wmkdir(path); }
int ChangeDirectory(const wchar_t* path) { return _wchdir(path); }
FILE* CreateOutput(const wchar_t* path) { return _wfopen(path, L"wb"); }

bool IsDirectory(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Free bytes for this process at the current directory; -1 when unknown.
int64_t FreeBytesHere()
{
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(L".", &available, nullptr, nullptr)) return -1;
    return available.QuadPart > static_cast<ULONGLONG>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(available.QuadPart);
}

// The archive stores local wall-clock time without a zone; it is read as the
// local time of this machine. The last-access time stays as it was.
//
// Set through the handle the file was written with, after its last block is
// out: a second open just for the times costs about as much under Wine as
// creating the file, which dominates packages of many small files.
bool SetTimesFromEntry(FILE* file, uLong dosDate)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    FILETIME local, stored;
    DosDateTimeToFileTime(static_cast<WORD>(dosDate >> 16), static_cast<WORD>(dosDate), &local);
    LocalFileTimeToFileTime(&local, &stored);
    return SetFileTime(handle, &stored, nullptr, &stored) != FALSE;
}

#else

int MakeOneDirectory(const char* path) { return mkdir(path, 0777); }
int ChangeDirectory(const char* path) { return chdir(path); }
FILE* CreateOutput(const char* path) { return fopen(path, "wb"); }

bool IsDirectory(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

int64_t FreeBytesHere()
{
    struct statvfs info;
    if (statvfs(".", &info) != 0) return -1;
    const uint64_t bytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    return bytes > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(bytes);
}

// Natively there is no creation time; the modification time gets the stored
// local time, the access time is left alone.
bool SetTimesFromEntry(FILE* file, uLong dosDate)
{
    std::tm local = {};
    local.tm_year = static_cast<int>((dosDate >> 25) & 0x7F) + 80;
    local.tm_mon = static_cast<int>((dosDate >> 21) & 0x0F) - 1;
    local.tm_mday = static_cast<int>((dosDate >> 16) & 0x1F);
    local.tm_hour = static_cast<int>((dosDate >> 11) & 0x1F);
    local.tm_min = static_cast<int>((dosDate >> 5) & 0x3F);
    local.tm_sec = static_cast<int>(dosDate & 0x1F) * 2;
    local.tm_isdst = -1;
    timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = std::mktime(&local);
    return futimens(fileno(file), times) == 0;
}

#endif

// A name for the trace and the caller's log: UTF-8.
std::string Printable(const PathString& name)
{
#ifdef _WIN32
    int length = WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), &utf8[0], length, nullptr, nullptr);
    return utf8;
#else
    return name;
#endif
}

// Notes which entry failed and why, for the caller's log; returns `code`.
// The entry is empty where the archive's directory itself fails.
int Fail(const ExtractProgress& progress, const PathString& entry, const char* reason, int code)
{
    std::string printable = Printable(entry);
    printf("%s: %s\n", printable.empty() ? "archive" : printable.c_str(), reason);
    if (progress.failure != nullptr) {
        progress.failure->entry = printable;
        progress.failure->reason = reason;
    }
    return code;
}

// The entry's name as the file functions will take it, decoded and checked.
// Long names are refused before decoding, on the stored bytes.
EntryNameProblem DecodeAndCheck(unz_file_info64& info, const char* stored, PathString* decoded)
{
    if (info.size_filename >= kNameBufferBytes) return EntryNameProblem::TooLong;
    *decoded = DecodeEntryName(std::string_view(stored, info.size_filename), (info.flag & kZipUtf8NameFlag) != 0);
    return CheckEntryName(std::basic_string_view<PathChar>(*decoded));
}

// The archive library's codes of -100 and below keep their meaning; its
// smaller ones and zlib's (-1 to -6) would read as -1 to -3 to the sequence.
int EntryFailure(int code) { return code > -100 ? kUnzipDataError : code; }

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};

struct ArchiveCloser {
    void operator()(void* archive) const { unzClose(archive); }
};

// Reports the share of bytes written: more than a mebibyte since the last
// report gives a report; otherwise, once everything is written, every block
// reports 100. False when the user asked to stop.
bool ReportBlock(const ExtractProgress& progress, int64_t total, int64_t* written, int64_t* lastReported,
                 int64_t blockBytes)
{
    if (total == 0) return true;
    *written += blockBytes;
    if (*written - *lastReported > kExtractReportBytes) {
        *lastReported = *written;
        double percent = static_cast<double>(*written) / static_cast<double>(total) * 100.0;
        return progress.Report(percent < 100.0 ? percent : 100.0);
    }
    if (*written >= total) return progress.Report(100.0);
    return true;
}

}  // namespace

int MakeDirectoryPath(const PathChar* path)
{
    size_t length = std::char_traits<PathChar>::length(path);
    if (length == 0) return 0;
    std::unique_ptr<PathChar, FreeDeleter> copy(static_cast<PathChar*>(std::malloc((length + 1) * sizeof(PathChar))));
    if (!copy) {
        printf("Error allocating memory\n");
        return kUnzipOutOfMemory;
    }
    PathChar* buffer = copy.get();
    std::memcpy(buffer, path, (length + 1) * sizeof(PathChar));
    if (buffer[length - 1] == PathChar('/')) buffer[--length] = PathChar(0);
    if (MakeOneDirectory(buffer) == 0) return 1;

    // Existing levels fail with another error and are passed over; a level
    // that cannot be made because its parent is missing ends the walk. Each
    // level is the buffer cut short at the level's end for the call.
    const std::basic_string_view<PathChar> whole(buffer, length);
    for (size_t end = NextFolderLevelEnd(whole, 0);; end = NextFolderLevelEnd(whole, end)) {
        PathChar hold = buffer[end];
        buffer[end] = PathChar(0);
        // A level that is there already must be a folder: a file of that
        // name (an entry "a" before "a/b") leaves nowhere to put the rest.
        if (MakeOneDirectory(buffer) == -1 && !IsDirectory(buffer)) {
            printf("couldn't create directory %s\n", Printable(buffer).c_str());
            return 0;
        }
        if (end == whole.size()) break;
        buffer[end] = hold;
    }
    return 1;
}

int ExtractCurrentEntry(unzFile archive, const ExtractProgress& progress, int64_t total, int64_t* written,
                        int64_t* lastReported)
{
    char stored[kNameBufferBytes] = {};
    unz_file_info64 info;
    int err = unzGetCurrentFileInfo64(archive, &info, stored, sizeof stored, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) {
        printf("error %d with zipfile in unzGetCurrentFileInfo\n", err);
        return Fail(progress, PathString(), "entry in the archive's directory cannot be read", EntryFailure(err));
    }
    // Checked again here, on the name as the file functions will see it, so
    // that no caller can reach them with a name nobody looked at. A long
    // name's copy above has no terminator.
    PathString name;
    EntryNameProblem problem = DecodeAndCheck(info, stored, &name);
    if (problem != EntryNameProblem::None) {
        stored[kNameBufferBytes - 1] = '\0';
        return Fail(progress, name.empty() ? PathString(stored, stored + std::strlen(stored)) : name,
                    DescribeEntryNameProblem(problem), kUnzipRefusedEntryName);
    }

    std::unique_ptr<char, FreeDeleter> block(static_cast<char*>(std::malloc(kExtractBlockBytes)));
    if (!block) {
        printf("Error allocating memory\n");
        return kUnzipOutOfMemory;
    }

    const size_t fileNamePart = EntryFileNamePart(name);
    if (fileNamePart == name.size()) {
        printf("creating directory: %s\n", Printable(name).c_str());
        // Its parents normally come first in the archive; when they do not,
        // the whole path is made.
        if (MakeOneDirectory(name.c_str()) == 0 || IsDirectory(name.c_str())) return 0;
        int made = MakeDirectoryPath(name.c_str());
        if (made == kUnzipOutOfMemory) return made;
        if (made != 1) return Fail(progress, name, "folder cannot be made", kUnzipCannotCreate);
        return 0;
    }

    // Stored data are the file itself: sizes that differ mean data beyond
    // (or short of) what the directory declares.
    if (info.compression_method == 0 && info.compressed_size != info.uncompressed_size) {
        return Fail(progress, name, "stored entry whose data and declared size differ", kUnzipSizeMismatch);
    }

    err = unzOpenCurrentFilePassword(archive, nullptr);
    if (err != UNZ_OK) {
        printf("error %d with zipfile in unzOpenCurrentFilePassword\n", err);
        unzCloseCurrentFile(archive);
        return Fail(progress, name, "entry cannot be read (damaged header, or a method or encryption not supported)",
                    EntryFailure(err));
    }

    FILE* output = CreateOutput(name.c_str());
    if (output == nullptr && fileNamePart > 0) {
        MakeDirectoryPath(name.substr(0, fileNamePart - 1).c_str());
        output = CreateOutput(name.c_str());
    }
    if (output == nullptr) {
        // In use (the old program still running), read-only, or a folder in
        // the way: the installation would be missing this file.
        unzCloseCurrentFile(archive);
        return Fail(progress, name, "file cannot be created", kUnzipCannotCreate);
    }

    printf(" extracting: %s\n", Printable(name).c_str());
    int copyResult = 0;
    uint64_t entryBytes = 0;
    for (;;) {
        int got = unzReadCurrentFile(archive, block.get(), kExtractBlockBytes);
        if (got < 0) {
            printf("error %d with zipfile in unzReadCurrentFile\n", got);
            copyResult = Fail(progress, name, "damaged data", EntryFailure(got));
            break;
        }
        if (got == 0) break;
        entryBytes += static_cast<uint64_t>(got);
        if (fwrite(block.get(), static_cast<size_t>(got), 1, output) != 1) {
            printf("error in writing extracted file\n");
            copyResult = kUnzipWriteFailed;
            break;
        }
        if (!ReportBlock(progress, total, written, lastReported, got)) {
            copyResult = kUnzipCancelled;
            break;
        }
    }
    // A full disk may only show when the last buffered block goes out. The
    // times are set once nothing more will be written; a failure there is
    // ignored.
    if (copyResult == 0 && fflush(output) != 0) {
        printf("error in writing extracted file\n");
        copyResult = kUnzipWriteFailed;
    }
    // The archive reader never gives more than the declared size, and checks
    // the checksum only when it gave all of it: data that end early would
    // pass for a whole file.
    if (copyResult == 0 && entryBytes != info.uncompressed_size) {
        copyResult = Fail(progress, name, "data end short of the declared size", kUnzipSizeMismatch);
    }
    if (copyResult == kUnzipWriteFailed) Fail(progress, name, "file cannot be written (disk full?)", copyResult);
    if (copyResult == 0) SetTimesFromEntry(output, info.dosDate);
    fclose(output);
    if (copyResult != 0) {
        unzCloseCurrentFile(archive);
        return copyResult;
    }

    err = unzCloseCurrentFile(archive);
    if (err != UNZ_OK) {
        printf("error %d with zipfile in unzCloseCurrentFile\n", err);
        return Fail(progress, name, err == UNZ_CRCERROR ? "checksum does not match (damaged data)" : "damaged data",
                    EntryFailure(err));
    }
#ifdef _WIN32
    CrashPoint("extracted", name.c_str());
#endif
    return 0;
}

PathString DecodeEntryName(std::string_view stored, bool utf8Flag)
{
#ifdef _WIN32
    // Flagged names are UTF-8 (what current zip tools write for non-ASCII
    // names); the others are in the code page of the machine that packed
    // them, which existing packages take to be this system's ANSI one.
    const UINT codePage = utf8Flag ? CP_UTF8 : CP_ACP;
    const int length = MultiByteToWideChar(codePage, 0, stored.data(), static_cast<int>(stored.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, 0, stored.data(), static_cast<int>(stored.size()), &wide[0], length);
    return wide;
#else
    (void)utf8Flag;  // natively the file functions take the bytes as they are
    return PathString(stored);
#endif
}

int64_t ComputeTotalSize(unzFile archive, ExtractFailure* failure)
{
    unz_global_info64 global;
    if (unzGetGlobalInfo64(archive, &global) != UNZ_OK) return -1;
    int64_t total = 0;
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        char stored[kNameBufferBytes] = {};
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(archive, &info, stored, sizeof stored, nullptr, 0, nullptr, 0) != UNZ_OK) return -1;
        PathString name;
        EntryNameProblem problem = DecodeAndCheck(info, stored, &name);
        if (problem != EntryNameProblem::None) {
            std::string printable = name.empty() ? std::string(stored, info.size_filename < 255 ? info.size_filename : 255)
                                                 : Printable(name);
            printf("refused entry name %s (%s)\n", printable.c_str(), DescribeEntryNameProblem(problem));
            if (failure != nullptr) {
                failure->entry = printable;
                failure->reason = DescribeEntryNameProblem(problem);
            }
            return kUnzipRefusedEntryName;
        }
        // Sizes come from the archive and may be anything; the total only
        // scales progress, so it saturates instead of overflowing.
        uint64_t size = info.uncompressed_size;
        total = size > static_cast<uint64_t>(INT64_MAX - total) ? INT64_MAX : total + static_cast<int64_t>(size);
        if (i + 1 < global.number_entry && unzGoToNextFile(archive) != UNZ_OK) return -1;
    }
    unzGoToFirstFile(archive);
    return total;
}

int ExtractAll(unzFile archive, const ExtractProgress& progress, int64_t total)
{
    unz_global_info64 global;
    if (unzGetGlobalInfo64(archive, &global) != UNZ_OK)
        return Fail(progress, PathString(), "archive's directory cannot be read", kUnzipDataError);
    int64_t written = 0;
    int64_t lastReported = 0;
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        int result = ExtractCurrentEntry(archive, progress, total, &written, &lastReported);
        if (result != 0) return result;
        if (i + 1 < global.number_entry) {
            int err = unzGoToNextFile(archive);
            if (err != UNZ_OK) {
                printf("error %d with zipfile in unzGoToNextFile\n", err);
                return Fail(progress, PathString(), "next entry in the archive's directory cannot be found",
                            EntryFailure(err));
            }
        }
    }
    return kUnzipOk;
}

int UnzipWidthProgress(const PathChar* archivePath, const PathChar* destinationDir, const ExtractProgress& progress)
{
    if (archivePath == nullptr) {
        printf("Cannot open %s or %s.zip\n", "(null)", "(null)");
        return kUnzipCannotOpenArchive;
    }
    zlib_filefunc64_def fileFunctions;
    fill_fopen64_filefunc(&fileFunctions);
#ifdef _WIN32
    // The archive's path is handed over as it is, wide, to our own open; the
    // reading and seeking stay the library's own on the FILE it returns.
    fileFunctions.zopen64_file = [](voidpf, const void* path, int) -> voidpf {
        return _wfopen(static_cast<const wchar_t*>(path), L"rb");
    };
#endif
    PathString openedName = archivePath;
    std::unique_ptr<void, ArchiveCloser> archive(unzOpen2_64(openedName.c_str(), &fileFunctions));
    if (!archive) {
        openedName += PathString{PathChar('.'), PathChar('z'), PathChar('i'), PathChar('p')};
        archive.reset(unzOpen2_64(openedName.c_str(), &fileFunctions));
    }
    if (!archive) {
        printf("Cannot open %s or %s.zip\n", Printable(archivePath).c_str(), Printable(archivePath).c_str());
        return kUnzipCannotOpenArchive;
    }
    printf("%s opened\n", Printable(openedName).c_str());

    int64_t total = ComputeTotalSize(archive.get(), progress.failure);
    if (total == kUnzipRefusedEntryName) return kUnzipRefusedEntryName;
    if (total < 0) return kUnzipCannotSumSizes;

    if (destinationDir != nullptr && ChangeDirectory(destinationDir) != 0) return kUnzipCannotEnterDirectory;

    // Before the first byte: what the archive says it unpacks to must fit,
    // with a mebibyte to spare for folders and the log. A zip bomb or a full
    // disk stops here instead of filling the disk as administrator.
    const int64_t available = FreeBytesHere();
    if (available >= 0 && (total > INT64_MAX - kSpareBytes || total + kSpareBytes > available)) {
        printf("%lld bytes to unpack, %lld free\n", static_cast<long long>(total), static_cast<long long>(available));
        if (progress.failure != nullptr) {
            progress.failure->entry.clear();
            progress.failure->reason = "needs " + std::to_string(total) + " bytes, " + std::to_string(available) + " free";
            progress.failure->needed = total;
            progress.failure->available = available;
        }
        return kUnzipNotEnoughSpace;
    }

    return ExtractAll(archive.get(), progress, total);
}

#ifdef _WIN32
int UnzipWidthProgress(const wchar_t* archivePath, const wchar_t* destinationDir, HWND window, ExtractFailure* failure)
{
    ExtractProgress progress;
    progress.failure = failure;
    progress.report = [](void* context, double percent) {
        return ReportExtractProgress(static_cast<HWND>(context), percent);
    };
    progress.context = window;
    return UnzipWidthProgress(archivePath, destinationDir, progress);
}
#endif
