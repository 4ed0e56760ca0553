// Times the installer's own extraction and download in-process, for
// tools/bench-install.sh:
//
//   install_bench extract <archive> <destination>
//   install_bench download <url> <folder>
//   install_bench winsock <url> <folder>
//
// `winsock` is the floor under our download: one HTTP GET over a bare
// blocking socket, each received block written straight to the file, no
// library in between. What Wine's sockets and file writes allow by
// themselves.
//
// Prints one line of key=value pairs; the script compares them with native
// tools. Nothing is asserted here.

#include <winsock2.h>
#include <windows.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "install/NetworkWarmUp.h"
#include "install/PackageDownload.h"
#include "install/SetupMessages.h"
#include "install/StagedInstall.h"
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

// GET http://host:port/path over one socket into `path`; the body's bytes,
// or -1.
long long BareDownload(const std::string& url, const std::wstring& path)
{
    const std::string prefix = "http://";
    if (url.compare(0, prefix.size(), prefix) != 0) return -1;
    std::string rest = url.substr(prefix.size());
    size_t slash = rest.find('/');
    std::string hostPort = rest.substr(0, slash);
    std::string target = slash == std::string::npos ? "/" : rest.substr(slash);
    size_t colon = hostPort.find(':');
    std::string host = hostPort.substr(0, colon);
    std::string port = colon == std::string::npos ? "80" : hostPort.substr(colon + 1);

    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* address = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &address) != 0) return -1;
    SOCKET sock = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    int connected = sock == INVALID_SOCKET ? -1 : connect(sock, address->ai_addr, static_cast<int>(address->ai_addrlen));
    freeaddrinfo(address);
    if (connected != 0) return -1;
    // The socket's receive buffer and the reads our transfer asks of curl.
    int socketBytes = 16 * 1024 * 1024;
    setsockopt(sock, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&socketBytes), sizeof socketBytes);
    int bufferBytes = 512 * 1024;
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: " + hostPort + "\r\nConnection: close\r\n\r\n";
    send(sock, request.data(), static_cast<int>(request.size()), 0);

    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        closesocket(sock);
        return -1;
    }
    std::string buffer(bufferBytes, '\0');
    std::string head;
    bool inBody = false;
    long long body = 0;
    for (;;) {
        int got = recv(sock, &buffer[0], bufferBytes, 0);
        if (got <= 0) break;
        const char* data = buffer.data();
        DWORD size = static_cast<DWORD>(got);
        if (!inBody) {
            head.append(data, size);
            size_t end = head.find("\r\n\r\n");
            if (end == std::string::npos) continue;
            inBody = true;
            size_t bodyInBlock = head.size() - (end + 4);
            data += size - bodyInBlock;
            size = static_cast<DWORD>(bodyInBlock);
        }
        DWORD written = 0;
        if (size > 0 && !WriteFile(file, data, size, &written, nullptr)) break;
        body += size;
    }
    CloseHandle(file);
    closesocket(sock);
    return body;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4 && !(argc == 5 && std::wstring(argv[1]) == L"stage")) {
        fwprintf(stderr, L"usage: install_bench extract <archive> <destination> | stage <archive> <destination> "
                         L"<flush threads> | download|winsock <url> <folder>\n");
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
    if (command == L"stage") {
        // The installer's way: into the staging folder, every file flushed
        // (0: not at all), the swap, the clean-up; each step timed.
        std::wstring destination = argv[3];
        if (destination.back() != L'\\') destination += L'\\';
        CreateDirectoryW(destination.c_str(), nullptr);
        const StagedInstallPaths paths = StagedPaths(destination);
        CreateDirectoryW(paths.staging.c_str(), nullptr);
        LARGE_INTEGER extracted, flushed, swapped, cleaned;
        QueryPerformanceCounter(&start);
        int result = UnzipWidthProgress(argv[2], paths.staging.c_str(), static_cast<HWND>(nullptr));
        SetCurrentDirectoryW(destination.c_str());
        QueryPerformanceCounter(&extracted);
        std::wstring culprit;
        const bool flushOk = FlushStagedFiles(paths, static_cast<unsigned>(_wtoi(argv[4])), &culprit);
        QueryPerformanceCounter(&flushed);
        const SwapOutcome swap = SwapStagedFiles(paths, &culprit, 0);
        QueryPerformanceCounter(&swapped);
        RemoveStagingLeftovers(paths);
        QueryPerformanceCounter(&cleaned);
        fprintf(stderr, "extract_seconds=%.3f flush_seconds=%.3f swap_seconds=%.3f cleanup_seconds=%.3f result=%d swap=%d\n",
                Seconds(start, extracted), Seconds(extracted, flushed), Seconds(flushed, swapped), Seconds(swapped, cleaned),
                result, static_cast<int>(swap));
        return result == 0 && flushOk && swap == SwapOutcome::Committed ? 0 : 1;
    }
    if (command == L"download" || command == L"download-warm") {
        std::wstring path = std::wstring(argv[3]) + L"\\temp.zip";
        DeleteFileW(path.c_str());
        DownloadOptions options;
        options.url = Ansi(argv[2]);
        // As in the installer, where the warm-up runs while the first page
        // shows: the download starts after it has ended.
        if (command == L"download-warm") {
            StartNetworkWarmUp({options.url});
            WaitForNetworkWarmUp(INFINITE);
        }
        QueryPerformanceCounter(&start);
        int result = DownloadPackage(path.c_str(), nullptr, options);
        QueryPerformanceCounter(&end);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
        long long bytes = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        fprintf(stderr, "download_seconds=%.3f bytes=%lld result=%d\n", Seconds(start, end), bytes, result);
        return result == 0 ? 0 : 1;
    }
    if (command == L"winsock") {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        std::wstring path = std::wstring(argv[3]) + L"\\winsock.zip";
        QueryPerformanceCounter(&start);
        long long bytes = BareDownload(Ansi(argv[2]), path);
        QueryPerformanceCounter(&end);
        fprintf(stderr, "winsock_seconds=%.3f bytes=%lld\n", Seconds(start, end), bytes);
        WSACleanup();
        return bytes > 0 ? 0 : 1;
    }
    return 2;
}
