// Times the installer's own extraction and download in-process, for
// tools/bench-install.sh:
//
//   install_bench extract <archive> <destination>
//   install_bench download <url> <folder>
//
// Prints one line of key=value pairs; the script compares them with native
// tools. Nothing is asserted here.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "install/PackageDownload.h"
#include "install/SetupMessages.h"
#include "install/UnzipWithProgress.h"

namespace {

std::string Ansi(const wchar_t* wide)
{
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        fwprintf(stderr, L"usage: install_bench extract <archive> <destination> | download <url> <folder>\n");
        return 2;
    }
    std::wstring command = argv[1];
    // As in the installer: every report and transfer callback tests it.
    cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    LARGE_INTEGER start, end;
    if (command == L"extract") {
        // The extraction traces each entry on stdout; that is part of its cost.
        QueryPerformanceCounter(&start);
        int result = UnzipWidthProgress(argv[2], argv[3], static_cast<HWND>(nullptr));
        QueryPerformanceCounter(&end);
        fprintf(stderr, "extract_seconds=%.3f result=%d\n", Seconds(start, end), result);
        return result == 0 ? 0 : 1;
    }
    if (command == L"download") {
        std::wstring path = std::wstring(argv[3]) + L"\\temp.zip";
        DeleteFileW(path.c_str());
        DownloadOptions options;
        options.url = Ansi(argv[2]);
        QueryPerformanceCounter(&start);
        int result = DownloadPackage(path.c_str(), nullptr, options);
        QueryPerformanceCounter(&end);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
        long long bytes = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        fprintf(stderr, "download_seconds=%.3f bytes=%lld result=%d\n", Seconds(start, end), bytes, result);
        return result == 0 ? 0 : 1;
    }
    return 2;
}
