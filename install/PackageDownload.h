#pragma once
// Fetches the product package over HTTP into "temp.zip" in the installation
// directory, resuming a broken transfer, pausing 3 s before every attempt,
// and reporting progress (bytes held over the whole length) to the setup
// window.
//
// Runs on the install thread only. A cancel request is seen in the pause
// before an attempt and on every transfer-information callback (libcurl calls
// it about once a second even while no data arrives); either way the call
// unwinds: the transfer is aborted, the file and handles are closed and
// nothing more is posted.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "install/RequestPolicy.h"

// The package address the library defaults to: http, the package server of
// the build, "/Orrery2.zip". An installer names its own (InstallSettings).
extern const char* const kPackageUrl;

// The shipped values; tests shorten the pause and the bounds.
struct DownloadOptions {
    std::string url = kPackageUrl;
    // The same package elsewhere, tried in turn after `url` when an attempt
    // cannot connect, gets a 5xx, stalls or meets a bad certificate.
    std::vector<std::string> mirrors;
    // The proxy login prompt and its window (the download's window when none).
    RequestOptions request;
    DWORD pauseMs = 3000;           // before every attempt, the first included
    long stallSeconds = 30;         // below 1 byte/s for this long: the attempt failed
    long connectTimeoutSeconds = 30;
    // Failed attempts in a row that leave the file no longer than the
    // longest it has been before the download gives up; 0: never (the
    // wizard's user can leave with Escape, an unattended installation has
    // nobody to).
    int maxFruitlessAttempts = 0;
    // Attempts in a row refused outright (a certificate, a redirect to
    // plain http, a proxy's refusal) before the download gives up; 0: never.
    // They will not mend by themselves in the next seconds.
    int maxRefusedAttempts = 0;
    // The most bytes the package may have: the size the build pins. 0: the
    // free space of the folder's disk, less kFreeSpaceMarginBytes. An answer
    // that would pass it fails at once, so that an endless or wrong answer
    // never fills the disk.
    int64_t maxBytes = 0;
};

// What the disk keeps free when nothing pins the package's size.
constexpr int64_t kFreeSpaceMarginBytes = 4 * 1024 * 1024;

enum class DownloadOutcome {
    Done,         // the file holds a whole answer: on to the package check
    Cancelled,    // the user asked to stop
    GaveUp,       // options.maxFruitlessAttempts or maxRefusedAttempts failed in a row (logged)
    TooLarge,     // the answer passes options.maxBytes, or the disk's room (logged)
    CannotWrite,  // the file cannot be opened or written: the disk, not the network (logged)
};

// Fills `path` (260 wide characters) with installDir\temp.zip, deletes an
// old file there and tries until an attempt succeeds, the user asks to stop,
// the answer is too large or cannot be written, or options.maxFruitless-
// Attempts have failed. After each failed attempt the user is told which
// retry comes next. The file is left as it is: the caller decides whether
// it stays.
DownloadOutcome SaveZipToDir(const wchar_t* installDir, wchar_t* path, HWND window);
DownloadOutcome SaveZipToDir(const wchar_t* installDir, wchar_t* path, HWND window, const DownloadOptions& options);

// The package's signed manifest, fetched from the package's address with this
// suffix (and from each mirror's), through the same attempts as the package:
// pauses, retries, mirrors, bounds. Done with the file in `text`; larger than
// kMaxManifestBytes fails the attempt.
constexpr char kManifestSuffix[] = ".sig.json";
constexpr size_t kMaxManifestBytes = 64 * 1024;
DownloadOutcome FetchManifest(HWND window, const DownloadOptions& options, std::string* text);

enum : int {
    kDownloadOk = 0,
    kDownloadFailed = -1,  // the network or the server: another attempt may do better
    kDownloadCancelled = -2,
    kDownloadTooLarge = -3,
    kDownloadCannotWrite = -4,
};

// What the attempts of one download know of the bytes the file holds, and of
// the last attempt.
struct ResumeState {
    // What the server said those bytes are (its ETag, else its Last-Modified):
    // a resumed request carries it in If-Range, so a package replaced on the
    // server since is sent whole instead of spliced onto the old bytes. A
    // file held without one is never resumed: it starts again from byte 0.
    std::string validator;
    // The whole length the answer that started the file gave; -1 unknown. A
    // resumed answer that gives another is another file.
    int64_t total = -1;
    // Why the last attempt failed, and whether the next should go to the
    // next mirror (its server could not be reached, failed, stalled or
    // could not prove who it is).
    FailureCause cause = FailureCause::Network;
    bool mirrorFailed = false;
};

// One attempt: appends to the file at `path` from its current length, or
// starts it again where that is the only safe thing to do. `state` carries
// what earlier attempts learnt; without one the attempt starts from byte 0.
int DownloadPackage(const wchar_t* path, HWND window);
int DownloadPackage(const wchar_t* path, HWND window, const DownloadOptions& options, ResumeState* state = nullptr);

// The transfer-information callback's record; lives on the stack of one attempt.
struct DownloadProgress {
    curl_off_t lastReported = 0;
    // Bytes already in the file before this answer's body: the bar shows the
    // whole file, not the rest alone. -1 until the answer's start is known.
    int64_t base = -1;
    bool (*reporter)(HWND window, double percent) = nullptr;
    HWND window = nullptr;
};

// Reports at most once per thousandth of the requested bytes, and tests for
// a cancel request every time. Non-zero aborts the transfer.
int OnTransferInfo(void* data, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow);

// The open package file of one attempt and where the body should start in it.
struct PackageFile {
    FILE* file = nullptr;
    CURL* handle = nullptr;
    int64_t offset = 0;
    int64_t maxBytes = 0;  // the bound on the whole file; 0: none
    int64_t written = 0;   // body bytes of this answer written so far
    bool startChecked = false;
    bool tooLarge = false;    // set when the bound stopped the transfer
    int writeError = 0;       // errno of a block the disk did not take
    ResumeState* state = nullptr;  // updated when the body is written
    DownloadProgress* progress = nullptr;
};

// libcurl's write callback: appends the block to the package file. Before the
// first block it makes sure the body continues the file; a short count aborts
// the transfer, as does a block that would take the file past its bound.
size_t WriteToFile(char* data, size_t size, size_t count, void* packageFile);
