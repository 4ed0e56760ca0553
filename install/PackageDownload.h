#pragma once
// Fetches the product package over plain HTTP into "temp.zip" in the
// installation directory, resuming a broken transfer, pausing 3 s before
// every attempt, and reporting progress to the setup window.
//
// Runs on the install thread only. A cancel request is seen in the pause
// before an attempt and on every transfer-information callback (libcurl calls
// it about once a second even while no data arrives); either way the call
// unwinds: the transfer is aborted, the file and handles are closed and
// nothing more is posted.

#include <windows.h>

#include <cstdint>
#include <string>

#include <curl/curl.h>

// The package address, compiled in: http, the package server, "/Orrery2.zip".
extern const char* const kPackageUrl;

// The shipped values; tests shorten the pause and the bounds.
struct DownloadOptions {
    std::string url = kPackageUrl;
    DWORD pauseMs = 3000;           // before every attempt, the first included
    long stallSeconds = 30;         // below 1 byte/s for this long: the attempt failed
    long connectTimeoutSeconds = 30;
    // Failed attempts in a row that add no byte to the file before the
    // download gives up; 0: never (the wizard's user can leave with Escape,
    // an unattended installation has nobody to).
    int maxFruitlessAttempts = 0;
};

// Fills `path` (260 wide characters) with installDir\temp.zip, deletes an
// old file there and tries until an attempt succeeds (true), the user asks
// to stop (false) or options.maxFruitlessAttempts have failed in a row
// without adding to the file (false, logged). After each failed attempt the
// user is told which retry comes next.
bool SaveZipToDir(const wchar_t* installDir, wchar_t* path, HWND window);
bool SaveZipToDir(const wchar_t* installDir, wchar_t* path, HWND window, const DownloadOptions& options);

enum : int {
    kDownloadOk = 0,  // also when the file could not be opened: the extraction reports that
    kDownloadFailed = -1,
    kDownloadCancelled = -2,
};

// One attempt: appends to the file at `path` from its current length.
// `validator` is what the server said the file's bytes are (its ETag, else
// its Last-Modified): a resumed request carries it in If-Range, so a package
// replaced on the server since is sent whole instead of spliced onto the
// old bytes. The attempt updates it from the answer whose body it writes.
int DownloadPackage(const wchar_t* path, HWND window);
int DownloadPackage(const wchar_t* path, HWND window, const DownloadOptions& options, std::string* validator = nullptr);

// The transfer-information callback's record; lives on the stack of one attempt.
struct DownloadProgress {
    curl_off_t lastReported = 0;
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
    bool startChecked = false;
    std::string* validator = nullptr;  // updated when the body is written
};

// libcurl's write callback: appends the block to the package file. Before the
// first block it makes sure the body continues the file; a short count aborts
// the transfer.
size_t WriteToFile(char* data, size_t size, size_t count, void* packageFile);
