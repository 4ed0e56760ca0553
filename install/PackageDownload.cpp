#include "install/PackageDownload.h"

#include <io.h>
#include <shlwapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "install/CrashPoint.h"
#include "install/RequestPolicy.h"
#include "install/SetupMessages.h"
#include "services/MyLog.h"

#ifndef BOX_PACKAGE_HOST
#error "BOX_PACKAGE_HOST and BOX_PACKAGE_PORT come from the build"
#endif

const char* const kPackageUrl = "http://" BOX_PACKAGE_HOST ":" BOX_PACKAGE_PORT "/Orrery2.zip";

namespace {

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

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};

bool Truncate(FILE* file) { return fflush(file) == 0 && _chsize(_fileno(file), 0) == 0; }

// The first byte position and the whole length of a 206 or 416 answer
// ("bytes 1000-4999/5000", "bytes */5000"); -1 for what it does not give.
struct ContentRange {
    int64_t start = -1;
    int64_t total = -1;
};

ContentRange ReadContentRange(CURL* handle)
{
    ContentRange range;
    curl_header* header = nullptr;
    if (curl_easy_header(handle, "Content-Range", 0, CURLH_HEADER, -1, &header) != CURLHE_OK) return range;
    const char* slash = strchr(header->value, '/');
    long long start = -1, total = -1;
    if (sscanf(header->value, "bytes %lld-", &start) == 1) range.start = start;
    if (slash != nullptr && sscanf(slash + 1, "%lld", &total) == 1) range.total = total;
    return range;
}

// The whole length an answer from byte 0 gives: a 206's total, else its
// Content-Length; -1 when it gives none.
int64_t AnswerTotal(CURL* handle, long status)
{
    if (status == 206) return ReadContentRange(handle).total;
    curl_off_t length = -1;
    if (curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) return -1;
    return length;
}

// Decides, before the first body byte is written, where the body belongs,
// and updates package.offset to match. A resumed request may be answered
// with the whole file (200): appending it would corrupt the package, so the
// file starts again from 0. A 206 from byte 0 is taken the same way; one from
// anywhere else but the file's end, or one whose whole length is not the
// length the file was started with (another file), drops the attempt, and
// the next attempt starts from 0.
bool BodyContinuesFile(PackageFile& package)
{
    long status = 0;
    curl_easy_getinfo(package.handle, CURLINFO_RESPONSE_CODE, &status);
    const int64_t held = package.offset;
    if (status == 206) {
        const ContentRange range = ReadContentRange(package.handle);
        if (held > 0 && range.start == held) {
            const int64_t expected = package.state != nullptr ? package.state->total : -1;
            if (expected < 0 || range.total == expected) return true;
            MyLog::GetLogger()->warn("the resumed answer is {} bytes long in all, the file was started from one of {}: "
                                     "starting again from byte 0",
                                     range.total, expected);
            package.offset = 0;
            Truncate(package.file);
            return false;
        }
        package.offset = 0;
        const bool emptied = Truncate(package.file);
        return emptied && range.start == 0;
    }
    if (held == 0) return true;
    package.offset = 0;
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
    // Until the body's place in the file is known, the bytes held are not.
    if (dltotal > 0 && progress->base >= 0) {
        const double whole = static_cast<double>(progress->base + dltotal);
        const double held = static_cast<double>(progress->base + dlnow);
        if (static_cast<double>(dlnow - progress->lastReported) / whole >= 0.001) {
            progress->lastReported = dlnow;
            return progress->reporter(progress->window, held / whole * 100.0) ? 0 : 1;
        }
    }
    // No report due: a null window makes the reporter a pure cancel test, so
    // a request is seen even while no data flows.
    return progress->reporter(nullptr, 0.0) ? 0 : 1;
}

namespace {

size_t AppendSmallFile(char* data, size_t size, size_t count, void* into)
{
    auto* text = static_cast<std::string*>(into);
    const size_t bytes = size * count;
    if (text->size() + bytes > kMaxManifestBytes) return 0;
    text->append(data, bytes);
    return bytes;
}

// Only a cancel test: a manifest reports no progress.
int OnCancelTest(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return ReportDownloadProgress(nullptr, 0.0) ? 0 : 1;
}

}  // namespace

size_t WriteToFile(char* data, size_t size, size_t count, void* packageFile)
{
    auto* package = static_cast<PackageFile*>(packageFile);
    if (!package->startChecked) {
        package->startChecked = true;
        if (!BodyContinuesFile(*package)) return 0;
        long status = 0;
        curl_easy_getinfo(package->handle, CURLINFO_RESPONSE_CODE, &status);
        // The file's bytes now come from this answer's entity.
        if (package->state != nullptr) {
            package->state->validator = Validator(package->handle);
            if (package->offset == 0) package->state->total = AnswerTotal(package->handle, status);
        }
        if (package->progress != nullptr) package->progress->base = package->offset;
        // An answer that says at once it will pass the bound ends before a
        // byte of it is kept.
        const int64_t announced = package->offset == 0 ? AnswerTotal(package->handle, status) : -1;
        if (package->maxBytes > 0 && announced > package->maxBytes) {
            package->tooLarge = true;
            return 0;
        }
    }
    const size_t bytes = size * count;
    if (package->maxBytes > 0 && package->offset + package->written + static_cast<int64_t>(bytes) > package->maxBytes) {
        package->tooLarge = true;
        return 0;
    }
    if (fwrite(data, 1, bytes, package->file) != bytes) {
        package->writeError = errno != 0 ? errno : EIO;
        return 0;
    }
    package->written += static_cast<int64_t>(bytes);
    CrashPoint("download");
    return bytes;
}

namespace {

// A server that could not be reached, failed, stalled or could not prove who
// it is: another mirror may do better. A cut after some bytes stays with its
// server, where the held bytes resume.
bool MirrorFailed(const RequestOutcome& outcome)
{
    switch (outcome.result) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR: return true;
    default: return outcome.status >= 500;
    }
}

// What the user is told of a failed attempt; %d is the retry's number.
const wchar_t* RetryFormat(FailureCause cause)
{
    switch (cause) {
    case FailureCause::CertificateUntrusted: return L"服务器证书不受信任，正在重试（第 %d 次）";
    case FailureCause::CertificateExpired: return L"服务器证书已过期，正在重试（第 %d 次）";
    case FailureCause::CertificateWrongHost: return L"服务器证书与下载地址不符，正在重试（第 %d 次）";
    case FailureCause::CertificateRevoked: return L"服务器证书已被吊销，正在重试（第 %d 次）";
    case FailureCause::CertificateInvalid: return L"服务器证书无效，正在重试（第 %d 次）";
    case FailureCause::InsecureRedirect: return L"下载地址被转向不安全的连接，已拒绝，正在重试（第 %d 次）";
    case FailureCause::ProxyRefused: return L"代理服务器拒绝了连接，正在重试（第 %d 次）";
    case FailureCause::ProxyLogin: return L"代理服务器需要登录，未能登录，正在重试（第 %d 次）";
    default: return L"网络连接失败，正在重试（第 %d 次）";
    }
}

// The bound on the whole file: the pinned size, else what the folder's disk
// can take beside what the file already holds, less a margin; 0 when the
// disk does not say.
int64_t FileBound(const wchar_t* path, const DownloadOptions& options, int64_t held)
{
    if (options.maxBytes > 0) return options.maxBytes;
    wchar_t folder[MAX_PATH] = {};
    wcsncpy(folder, path, MAX_PATH - 1);
    PathRemoveFileSpecW(folder);
    ULARGE_INTEGER available = {};
    if (!GetDiskFreeSpaceExW(folder, &available, nullptr, nullptr)) return 0;
    const int64_t room = static_cast<int64_t>(available.QuadPart) + held - kFreeSpaceMarginBytes;
    return room > 0 ? room : 1;  // 0 would mean no bound at all
}

}  // namespace

int DownloadPackage(const wchar_t* path, HWND window) { return DownloadPackage(path, window, DownloadOptions()); }

int DownloadPackage(const wchar_t* path, HWND window, const DownloadOptions& options, ResumeState* state)
{
    auto logger = MyLog::GetLogger();
    std::unique_ptr<FILE, FileCloser> file(_wfopen(path, L"ab"));
    if (!file) {
        logger->error(fmt::runtime(Text936("打开文件”{}“失败 (errno {})")), Text936(path), errno);
        return kDownloadCannotWrite;
    }
    // curl hands over at most 16 KB a call. Written as they come, under Wine
    // each costs a write and three more system calls (the append position
    // and the file's state): 19,000 of each for 150 MB, most of the
    // transfer's time. A megabyte at a time instead; what was received is
    // still all on disk when the file is closed, on every path.
    setvbuf(file.get(), nullptr, _IOFBF, kWriteBufferBytes);
    _fseeki64(file.get(), 0, SEEK_END);

    DownloadProgress progress;
    progress.reporter = ReportDownloadProgress;
    progress.window = window;

    PackageFile package;
    package.file = file.get();
    package.offset = _ftelli64(file.get());
    package.state = state;
    package.progress = &progress;
    // Bytes held without a word of what they are cannot be resumed safely:
    // a server that replaced the file would have its rest joined to them.
    if (package.offset > 0 && (state == nullptr || state->validator.empty())) {
        logger->warn("{} bytes held without an ETag or Last-Modified to resume them by: starting again from byte 0",
                     package.offset);
        if (!Truncate(file.get())) return kDownloadCannotWrite;
        package.offset = 0;
    }
    const int64_t held = package.offset;
    package.maxBytes = FileBound(path, options, held);

    const std::string range = std::to_string(held) + "-";
    logger->info("range{}", range);
    // Resuming: the rest only if the server's package is still the one whose
    // start we hold; otherwise it sends the whole new one (200).
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr, &curl_slist_free_all);
    if (held > 0) headers.reset(curl_slist_append(nullptr, ("If-Range: " + state->validator).c_str()));

    // Every try (another way through the proxies, a login) starts from the
    // same file.
    auto setup = [&](CURL* curl) {
        package.handle = curl;
        package.offset = held;
        package.written = 0;
        package.startChecked = false;
        package.tooLarge = false;
        package.writeError = 0;
        progress.base = -1;
        progress.lastReported = 0;
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &package);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnTransferInfo);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &progress);
        // An error page must never become part of the package.
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        // A transfer that makes no progress is a failed attempt; the next one
        // resumes where this one stopped.
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, options.stallSeconds);
        curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
        curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, FixReceiveBuffer);
        // No answer may be longer than the whole file may be; the write
        // callback holds the file to the bound where no length is announced.
        if (package.maxBytes > 0) {
            curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(package.maxBytes));
        }
        curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str());
        if (headers) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    };
    // What a 416 says the served file's length is.
    int64_t unsatisfiedTotal = -1;
    auto inspect = [&](CURL* curl) { unsatisfiedTotal = ReadContentRange(curl).total; };
    RequestOptions request = options.request;
    if (request.window == nullptr) request.window = window;
    request.trace = true;
    const RequestOutcome outcome = PerformRequest(options.url, setup, request, inspect);
    if (state != nullptr) {
        state->cause = outcome.cause;
        state->mirrorFailed = MirrorFailed(outcome);
    }

    const CURLcode result = outcome.result;
    if (result == CURLE_ABORTED_BY_CALLBACK) return kDownloadCancelled;
    if (package.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
        logger->error("the answer is longer than the {} bytes the package may have ({}): transfer stopped",
                      package.maxBytes, options.maxBytes > 0 ? "its pinned or signed size" : "the disk's free space");
        return kDownloadTooLarge;
    }
    if (package.writeError != 0) {
        logger->error("writing the package failed (errno {})", package.writeError);
        return kDownloadCannotWrite;
    }
    if (result != CURLE_OK) {
        DebugOutputTransferError(result);
        logger->info("attempt failed: {} (HTTP {})", curl_easy_strerror(result), outcome.status);
        if (outcome.status == 416) {
            // The range lies at or beyond the end of the served file. At its
            // very end the file is whole (the last attempt failed after its
            // last byte): on to the package check. Anywhere else the file
            // changed, and asking again from the same length would fail for
            // ever.
            if (held > 0 && unsatisfiedTotal == held) {
                if (fflush(file.get()) != 0) return kDownloadCannotWrite;
                logger->info("the server holds exactly the {} bytes held: the file is whole", held);
                if (!ReportDownloadProgress(window, 100.0)) return kDownloadCancelled;
                return kDownloadOk;
            }
            Truncate(file.get());
        }
        return kDownloadFailed;
    }
    // The last megabyte is still in the buffer: a disk that cannot take it
    // fails the attempt here rather than leave a short package behind a
    // success.
    if (fflush(file.get()) != 0) {
        logger->error("writing the package failed (errno {})", errno);
        return kDownloadCannotWrite;
    }
    if (!ReportDownloadProgress(window, 100.0)) return kDownloadCancelled;
    return kDownloadOk;
}

DownloadOutcome SaveZipToDir(const wchar_t* installDir, wchar_t* path, HWND window)
{
    return SaveZipToDir(installDir, path, window, DownloadOptions());
}

namespace {

// The attempts of one download, whatever it fetches: the pause before each,
// the package's addresses in turn, what the user is told, and the bounds on
// fruitless and refused attempts. `attempt` makes one attempt from the URL
// it is given; `held` says how many bytes the download holds now.
DownloadOutcome RetryAttempts(HWND window, const DownloadOptions& options,
                              const std::function<int(const DownloadOptions&, ResumeState*)>& attempt,
                              const std::function<int64_t()>& held)
{
    ResumeState state;
    // The package's addresses: the build's own, then its mirrors.
    std::vector<std::string> urls = {options.url};
    urls.insert(urls.end(), options.mirrors.begin(), options.mirrors.end());
    size_t mirror = 0;
    DownloadOptions next = options;
    // Progress is the file growing past the longest it has ever been: a
    // server that fails after its last byte, and so empties the file now and
    // then, must not look like a line that keeps bringing bytes.
    int64_t longest = 0;
    for (int failures = 0, fruitless = 0, refused = 0;;) {
        if (cancelEvent == nullptr)
            Sleep(options.pauseMs);  // nobody can cancel, but the pause between attempts stays
        else if (WaitForSingleObject(cancelEvent, options.pauseMs) == WAIT_OBJECT_0)
            return DownloadOutcome::Cancelled;
        MyLog::GetLogger()->debug("downloading");
        PostStatusText(window, L"downloading");
        next.url = urls[mirror];
        switch (attempt(next, &state)) {
        case kDownloadOk: return DownloadOutcome::Done;
        case kDownloadCancelled: return DownloadOutcome::Cancelled;
        case kDownloadTooLarge: return DownloadOutcome::TooLarge;
        case kDownloadCannotWrite: return DownloadOutcome::CannotWrite;
        default: break;
        }
        const int64_t now = held();
        if (now > longest) {
            longest = now;
            fruitless = 0;
        } else {
            ++fruitless;
        }
        // A flaky line that still brings bytes goes on for as long as it
        // takes; one that brings nothing ends, where nobody could stop it.
        if (options.maxFruitlessAttempts > 0 && fruitless >= options.maxFruitlessAttempts) {
            MyLog::GetLogger()->error("download failed {} times in a row without progress: giving up", fruitless);
            return DownloadOutcome::GaveUp;
        }
        refused = state.cause == FailureCause::Network ? 0 : refused + 1;
        if (options.maxRefusedAttempts > 0 && refused >= options.maxRefusedAttempts) {
            MyLog::GetLogger()->error("download refused {} times in a row ({}): giving up", refused,
                                      DescribeCause(state.cause));
            return DownloadOutcome::GaveUp;
        }
        if (state.mirrorFailed && urls.size() > 1) {
            mirror = (mirror + 1) % urls.size();
            MyLog::GetLogger()->info("next attempt from {}", urls[mirror]);
        }
        // The user sees it keep trying, and why, and can still leave with
        // Escape.
        wchar_t notice[120];
        swprintf(notice, 120, RetryFormat(state.cause), ++failures);
        PostNotice(window, notice);
    }
}

// One attempt at a small file into memory: the manifest.
int FetchSmallFile(const std::string& url, HWND window, const DownloadOptions& options, ResumeState* state,
                   std::string* text)
{
    text->clear();
    bool tooLarge = false;
    auto setup = [&](CURL* curl) {
        text->clear();
        tooLarge = false;
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendSmallFile);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, text);
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, options.stallSeconds);
        curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxManifestBytes));
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnCancelTest);
    };
    RequestOptions request = options.request;
    if (request.window == nullptr) request.window = window;
    request.trace = true;
    const RequestOutcome outcome = PerformRequest(url, setup, request);
    state->cause = outcome.cause;
    state->mirrorFailed = MirrorFailed(outcome);
    if (outcome.result == CURLE_ABORTED_BY_CALLBACK) return kDownloadCancelled;
    if (outcome.result == CURLE_OK) return kDownloadOk;
    MyLog::GetLogger()->info("the manifest {}: {} (HTTP {})", url, curl_easy_strerror(outcome.result), outcome.status);
    return kDownloadFailed;
}

}  // namespace

DownloadOutcome SaveZipToDir(const wchar_t* installDir, wchar_t* path, HWND window, const DownloadOptions& options)
{
    ZeroMemory(path, MAX_PATH * sizeof(wchar_t));
    wcsncpy(path, installDir, MAX_PATH - 1);
    PathAppendW(path, L"temp.zip");
    if (PathFileExistsW(path)) DeleteFileW(path);
    return RetryAttempts(
        window, options,
        [&](const DownloadOptions& attempt, ResumeState* state) { return DownloadPackage(path, window, attempt, state); },
        [&] { return FileLength(path); });
}

DownloadOutcome FetchManifest(HWND window, const DownloadOptions& options, std::string* text)
{
    return RetryAttempts(
        window, options,
        [&](const DownloadOptions& attempt, ResumeState* state) {
            return FetchSmallFile(attempt.url + kManifestSuffix, window, attempt, state, text);
        },
        [] { return int64_t{0}; });
}
