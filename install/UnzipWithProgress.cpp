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

#include "install/SetupMessages.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#endif

namespace {

constexpr size_t kNameBufferBytes = kMaxEntryNameBytes;

#ifdef _WIN32

int MakeOneDirectory(const char* path) { return _mkdir(path); }
int ChangeDirectory(const char* path) { return _chdir(path); }

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

// The archive library's codes of -100 and below keep their meaning; its
// smaller ones and zlib's (-1 to -6) would read as -1 to -3 to the sequence.
int EntryFailure(int code) { return code > -100 ? kUnzipDataError : code; }

// The file-name part: after the last separator, or the whole name.
char* FileNamePart(char* name)
{
    char* part = name;
    for (char* p = name; *p != '\0'; ++p)
        if (*p == '/' || *p == '\\') part = p + 1;
    return part;
}

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

int MakeDirectoryPath(const char* path)
{
    size_t length = std::strlen(path);
    if (length == 0) return 0;
    std::unique_ptr<char, FreeDeleter> copy(static_cast<char*>(std::malloc(length + 1)));
    if (!copy) {
        printf("Error allocating memory\n");
        return kUnzipOutOfMemory;
    }
    char* buffer = copy.get();
    std::memcpy(buffer, path, length + 1);
    if (buffer[length - 1] == '/') buffer[length - 1] = '\0';
    if (MakeOneDirectory(buffer) == 0) return 1;

    // Existing levels fail with another error and are passed over; a level
    // that cannot be made because its parent is missing ends the walk.
    for (char* p = buffer + 1;; ++p) {
        while (*p != '\0' && *p != '\\' && *p != '/') ++p;
        char hold = *p;
        *p = '\0';
        if (MakeOneDirectory(buffer) == -1 && errno == ENOENT) {
            printf("couldn't create directory %s\n", buffer);
            return 0;
        }
        if (hold == '\0') break;
        *p = hold;
    }
    return 1;
}

int ExtractCurrentEntry(unzFile archive, const ExtractProgress& progress, int64_t total, int64_t* written,
                        int64_t* lastReported)
{
    char name[kNameBufferBytes] = {};
    unz_file_info64 info;
    int err = unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) {
        printf("error %d with zipfile in unzGetCurrentFileInfo\n", err);
        return EntryFailure(err);
    }
    // Checked again here, so that no caller can reach the file functions with
    // a name nobody looked at. A long name's copy above has no terminator.
    EntryNameProblem problem = info.size_filename >= kNameBufferBytes
                                   ? EntryNameProblem::TooLong
                                   : CheckEntryName(std::string_view(name, info.size_filename));
    if (problem != EntryNameProblem::None) {
        printf("refused entry name (%s)\n", DescribeEntryNameProblem(problem));
        return kUnzipRefusedEntryName;
    }

    std::unique_ptr<char, FreeDeleter> block(static_cast<char*>(std::malloc(kExtractBlockBytes)));
    if (!block) {
        printf("Error allocating memory\n");
        return kUnzipOutOfMemory;
    }

    char* fileNamePart = FileNamePart(name);
    if (*fileNamePart == '\0') {
        printf("creating directory: %s\n", name);
        // Its parents normally come first in the archive; when they do not,
        // the whole path is made.
        if (MakeOneDirectory(name) != 0 && errno == ENOENT) MakeDirectoryPath(name);
        return 0;
    }

    err = unzOpenCurrentFilePassword(archive, nullptr);
    if (err != UNZ_OK) {
        printf("error %d with zipfile in unzOpenCurrentFilePassword\n", err);
        unzCloseCurrentFile(archive);
        return EntryFailure(err);
    }

    FILE* output = fopen(name, "wb");
    if (output == nullptr && fileNamePart != name) {
        char separator = fileNamePart[-1];
        fileNamePart[-1] = '\0';
        MakeDirectoryPath(name);
        fileNamePart[-1] = separator;
        output = fopen(name, "wb");
    }
    if (output == nullptr) {
        printf("error opening %s\n", name);
        err = unzCloseCurrentFile(archive);
        if (err != UNZ_OK) printf("error %d with zipfile in unzCloseCurrentFile\n", err);
        return err == UNZ_OK ? 0 : EntryFailure(err);
    }

    printf(" extracting: %s\n", name);
    int copyResult = 0;
    for (;;) {
        int got = unzReadCurrentFile(archive, block.get(), kExtractBlockBytes);
        if (got < 0) {
            printf("error %d with zipfile in unzReadCurrentFile\n", got);
            copyResult = EntryFailure(got);
            break;
        }
        if (got == 0) break;
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
    if (copyResult == 0) SetTimesFromEntry(output, info.dosDate);
    fclose(output);
    if (copyResult != 0) {
        unzCloseCurrentFile(archive);
        return copyResult;
    }

    err = unzCloseCurrentFile(archive);
    if (err != UNZ_OK) {
        printf("error %d with zipfile in unzCloseCurrentFile\n", err);
        return EntryFailure(err);
    }
    return 0;
}

int64_t ComputeTotalSize(unzFile archive)
{
    unz_global_info64 global;
    if (unzGetGlobalInfo64(archive, &global) != UNZ_OK) return -1;
    int64_t total = 0;
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        char name[kNameBufferBytes] = {};
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) return -1;
        EntryNameProblem problem = info.size_filename >= kNameBufferBytes
                                       ? EntryNameProblem::TooLong
                                       : CheckEntryName(std::string_view(name, info.size_filename));
        if (problem != EntryNameProblem::None) {
            printf("refused entry name %.*s (%s)\n", static_cast<int>(info.size_filename < 255 ? info.size_filename : 255),
                   name, DescribeEntryNameProblem(problem));
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
    if (unzGetGlobalInfo64(archive, &global) != UNZ_OK) return kUnzipDataError;
    int64_t written = 0;
    int64_t lastReported = 0;
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        int result = ExtractCurrentEntry(archive, progress, total, &written, &lastReported);
        if (result != 0) return result;
        if (i + 1 < global.number_entry) {
            int err = unzGoToNextFile(archive);
            if (err != UNZ_OK) {
                printf("error %d with zipfile in unzGoToNextFile\n", err);
                return EntryFailure(err);
            }
        }
    }
    return kUnzipOk;
}

int UnzipWidthProgress(const char* archivePath, const char* destinationDir, const ExtractProgress& progress)
{
    if (archivePath == nullptr) {
        printf("Cannot open %s or %s.zip\n", "(null)", "(null)");
        return kUnzipCannotOpenArchive;
    }
    zlib_filefunc64_def stdioFunctions;
    fill_fopen64_filefunc(&stdioFunctions);
    std::string openedName = archivePath;
    std::unique_ptr<void, ArchiveCloser> archive(unzOpen2_64(openedName.c_str(), &stdioFunctions));
    if (!archive) {
        openedName += ".zip";
        archive.reset(unzOpen2_64(openedName.c_str(), &stdioFunctions));
    }
    if (!archive) {
        printf("Cannot open %s or %s.zip\n", archivePath, archivePath);
        return kUnzipCannotOpenArchive;
    }
    printf("%s opened\n", openedName.c_str());

    int64_t total = ComputeTotalSize(archive.get());
    if (total == kUnzipRefusedEntryName) return kUnzipRefusedEntryName;
    if (total < 0) return kUnzipCannotSumSizes;

    if (destinationDir != nullptr && ChangeDirectory(destinationDir) != 0) return kUnzipCannotEnterDirectory;

    return ExtractAll(archive.get(), progress, total);
}

#ifdef _WIN32
int UnzipWidthProgress(const char* archivePath, const char* destinationDir, HWND window)
{
    ExtractProgress progress;
    progress.report = [](void* context, double percent) {
        return ReportExtractProgress(static_cast<HWND>(context), percent);
    };
    progress.context = window;
    return UnzipWidthProgress(archivePath, destinationDir, progress);
}
#endif
