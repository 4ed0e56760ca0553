#include "install/PackageDownload.h"

#include <io.h>
#include <shlwapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "install/SetupMessages.h"
#include "services/MyLog.h"

#ifndef BOX_PACKAGE_HOST
#error "BOX_PACKAGE_HOST and BOX_PACKAGE_PORT come from the build"
#endif

const char* const kPackageUrl = "http://" BOX_PACKAGE_HOST ":" BOX_PACKAGE_PORT "/Orrery2.zip";

namespace {

constexpr long kMaxRedirects = 10;
// libcurl's 16 KiB receive buffer makes a round of socket calls per 16 KiB,
// and under Wine each one passes through the server: a 150 MB package took
// three times as long as with this buffer.
constexpr long kReceiveBufferBytes = 512 * 1024;
// The socket's own receive buffer, fixed rather than left to the system's
// tuning. Under Wine a 150 MB package took 0.52-0.72 s with the tuned buffer
// and 0.21-0.24 s with a fixed one (any size from 256 KiB up), as fast as a
// bare Winsock loop. A fixed buffer is also the largest window the
// connection offers, so it is as large as Windows' own tuning goes by
// default: a distant server on a fast line is not held back.
constexpr int kSocketReceiveBytes = 16 * 1024 * 1024;
constexpr size_t kWriteBufferBytes = 1024 * 1024;

struct EasyHandleCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

// libcurl's global state is set up and torn down around every attempt.
struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_ALL); }
    ~CurlGlobal() { curl_global_cleanup(); }
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;
};

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

bool Truncate(FILE* file) { return fflush(file) == 0 && _chsize(_fileno(file), 0) == 0; }

// The first byte position of a 206 answer ("bytes 1000-4999/5000"), -1 when
// there is none to read.
int64_t RangeStart(CURL* handle)
{
    curl_header* header = nullptr;
    if (curl_easy_header(handle, "Content-Range", 0, CURLH_HEADER, -1, &header) != CURLHE_OK) return -1;
    long long start = -1;
    if (sscanf(header->value, "bytes %lld-", &start) != 1) return -1;
    return start;
}

// Decides, before the first body byte is written, where the body belongs.
// A resumed request may be answered with the whole file (200): appending it
// would corrupt the package, so the file starts again from 0. A 206 from
// byte 0 is taken the same way; one from anywhere else but the file's end
// drops the attempt, and the next attempt starts from 0.
bool BodyContinuesFile(PackageFile& package)
{
    long status = 0;
    curl_easy_getinfo(package.handle, CURLINFO_RESPONSE_CODE, &status);
    if (status == 206) {
        int64_t start = RangeStart(package.handle);
        if (start == package.offset) return true;
        bool emptied = Truncate(package.file);
        return emptied && start == 0;
    }
    if (package.offset == 0) return true;
    return Truncate(package.file);
}

// What the answer says its body is: the ETag, else the Last-Modified date;
// empty when it says neither.
std::string Validator(CURL* handle)
{
    for (const char* name : {"ETag", "Last-Modified"}) {
        curl_header* header = nullptr;
        if (curl_easy_header(handle, name, 0, CURLH_HEADER, -1, &header) == CURLHE_OK && header->value[0] != '\0') {
            return header->value;
        }
    }
    return std::string();
}

// The file's length in bytes; 0 when there is none.
int64_t FileLength(const wchar_t* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return 0;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int FixReceiveBuffer(void*, curl_socket_t socket, curlsocktype)
{
    // A system that refuses the size keeps its own: never a reason to fail.
    int bytes = kSocketReceiveBytes;
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    return CURL_SOCKOPT_OK;
}

void DebugOutputTransferError(CURLcode result)
{
    char message[1024] = {};
    snprintf(message, sizeof message, "curl_easy_perform() failed: %s\n", curl_easy_strerror(result));
    OutputDebugStringA(message);
}

}  // namespace

int OnTransferInfo(void* data, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t)
{
    auto* progress = static_cast<DownloadProgress*>(data);
    if (dltotal > 0 && static_cast<double>(dlnow - progress->lastReported) / static_cast<double>(dltotal) >= 0.001) {
        progress->lastReported = dlnow;
        double percent = static_cast<double>(dlnow) / static_cast<double>(dltotal) * 100.0;
        return progress->reporter(progress->window, percent) ? 0 : 1;
    }
    // No report due: a null window makes the reporter a pure cancel test, so
    // a request is seen even while no data flows.
    return progress->reporter(nullptr, 0.0) ? 0 : 1;
}

size_t WriteToFile(char* data, size_t size, size_t count, void* packageFile)
{
    auto* package = static_cast<PackageFile*>(packageFile);
    if (!package->startChecked) {
        package->startChecked = true;
        if (!BodyContinuesFile(*package)) return 0;
        // The file's bytes now come from this answer's entity.
        if (package->validator != nullptr) *package->validator = Validator(package->handle);
    }
    return fwrite(data, size, count, package->file) * size;
}

int DownloadPackage(const wchar_t* path, HWND window) { return DownloadPackage(path, window, DownloadOptions()); }

int DownloadPackage(const wchar_t* path, HWND window, const DownloadOptions& options, std::string* validator)
{
    CurlGlobal global;
    std::unique_ptr<CURL, EasyHandleCleanup> handle(curl_easy_init());
    if (!handle) return kDownloadOk;
    CURL* curl = handle.get();

    DownloadProgress progress;
    progress.reporter = ReportDownloadProgress;
    progress.window = window;

    curl_easy_setopt(curl, CURLOPT_URL, options.url.c_str());
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnTransferInfo);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &progress);
    // An error page must never become part of the package.
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    // Plain http only, also where a redirect points, and no redirect loops.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    // A transfer that makes no progress is a failed attempt; the next one
    // resumes where this one stopped.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, options.stallSeconds);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, FixReceiveBuffer);

    std::unique_ptr<FILE, FileCloser> file(_wfopen(path, L"ab"));
    if (!file) {
        MyLog::GetLogger()->info(fmt::runtime(Text936("打开文件”{}“失败")), Text936(path));
        return kDownloadOk;
    }
    // curl hands over at most 16 KB a call. Written as they come, under Wine
    // each costs a write and three more system calls (the append position
    // and the file's state): 19,000 of each for 150 MB, most of the
    // transfer's time. A megabyte at a time instead; what was received is
    // still all on disk when the file is closed, on every path.
    setvbuf(file.get(), nullptr, _IOFBF, kWriteBufferBytes);
    _fseeki64(file.get(), 0, SEEK_END);
    PackageFile package;
    package.file = file.get();
    package.handle = curl;
    package.offset = _ftelli64(file.get());
    std::string range = std::to_string(package.offset) + "-";
    MyLog::GetLogger()->info("range{}", range);

    package.validator = validator;
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &package);
    curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str());
    // Resuming: the rest only if the server's package is still the one whose
    // start we hold; otherwise it sends the whole new one (200).
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr, &curl_slist_free_all);
    if (package.offset > 0 && validator != nullptr && !validator->empty()) {
        headers.reset(curl_slist_append(nullptr, ("If-Range: " + *validator).c_str()));
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    }

    CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_ABORTED_BY_CALLBACK) return kDownloadCancelled;
    if (result != CURLE_OK) {
        DebugOutputTransferError(result);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        // The range lies beyond the served file (it changed, or the file is
        // complete but the last attempt failed after its last byte): asking
        // again from the same length would fail forever.
        if (status == 416) Truncate(file.get());
        return kDownloadFailed;
    }
    // The last megabyte is still in the buffer: a disk that cannot take it
    // fails the attempt here rather than leave a short package behind a
    // success.
    if (fflush(file.get()) != 0) {
        MyLog::GetLogger()->error("writing the package failed (errno {})", errno);
        return kDownloadFailed;
    }
    if (!ReportDownloadProgress(window, 100.0)) return kDownloadCancelled;
    return kDownloadOk;
}

bool SaveZipToDir(const wchar_t* installDir, wchar_t* path, HWND window)
{
    return SaveZipToDir(installDir, path, window, DownloadOptions());
}

bool SaveZipToDir(const wchar_t* installDir, wchar_t* path, HWND window, const DownloadOptions& options)
{
    ZeroMemory(path, MAX_PATH * sizeof(wchar_t));
    wcsncpy(path, installDir, MAX_PATH - 1);
    PathAppendW(path, L"temp.zip");
    if (PathFileExistsW(path)) DeleteFileW(path);


    std::string validator;
    for (int failures = 0, fruitless = 0;;) {
        if (cancelEvent == nullptr)
            Sleep(options.pauseMs);  // nobody can cancel, but the pause between attempts stays
        else if (WaitForSingleObject(cancelEvent, options.pauseMs) == WAIT_OBJECT_0)
            return false;
        MyLog::GetLogger()->debug("downloading");
        PostStatusText(window, L"downloading");
        const int64_t before = FileLength(path);
        int result = DownloadPackage(path, window, options, &validator);
        if (result == kDownloadOk) return true;
        if (result == kDownloadCancelled) return false;
        // A flaky line that still brings bytes goes on for as long as it
        // takes; one that brings nothing ends, where nobody could stop it.
        fruitless = FileLength(path) > before ? 0 : fruitless + 1;
        if (options.maxFruitlessAttempts > 0 && fruitless >= options.maxFruitlessAttempts) {
            MyLog::GetLogger()->error("download failed {} times in a row without progress: giving up", fruitless);
            return false;
        }
        // The user sees it keep trying, and can still leave with Escape.
        wchar_t notice[80];
        swprintf(notice, 80, L"网络连接失败，正在重试（第 %d 次）", ++failures);
        PostNotice(window, notice);
    }
}
