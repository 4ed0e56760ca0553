#pragma once
// Helpers shared by the Windows tests: scratch folders, child processes,
// files as bytes, and a hidden window that collects posted messages.

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under %TEMP%, removed with its content on destruction.
class TempDir {
public:
    explicit TempDir(const wchar_t* tag = L"box");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return m_path; }
    // Path with a trailing backslash, as the installer keeps installDir.
    std::wstring Slash() const { return m_path + L"\\"; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

void RemoveTree(const std::wstring& path);

// The directory of the running test executable (helpers are built beside it).
std::wstring ExeDir();

// Starts `commandLine` in `currentDir` and waits up to `timeoutMs`.
// Returns the exit code, or -1 when it could not start or did not end
// (it is then terminated).
long RunProcess(const std::wstring& commandLine, const std::wstring& currentDir, DWORD timeoutMs = 60000);

bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
std::vector<std::wstring> ListFiles(const std::wstring& dir, const std::wstring& pattern = L"*");

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);  // to UTF-8

// A hidden message-only window; posted messages pile up until Pump reads them.
class MessageCollector {
public:
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    MessageCollector();
    ~MessageCollector();
    HWND Handle() const { return m_window; }
    // Reads every message waiting for the window, in order.
    std::vector<Message> Pump();

private:
    HWND m_window = nullptr;
};

}  // namespace testing_support
