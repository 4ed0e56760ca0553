#include "InstallTestSupport.h"

#include <winsock2.h>

#include <process.h>

#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "install/SetupMessages.h"
#include "ui/core/UIString.h"

namespace install_testing {

std::wstring ServersDir()
{
    std::wstring dir = L"Z:" + testing_support::Widen(BOX_TEST_SERVERS_DIR);
    for (auto& c : dir)
        if (c == L'/') c = L'\\';
    return dir;
}

int ServerPort(const char* name)
{
    std::string text = testing_support::ReadFileBytes(ServersDir() + L"\\" + testing_support::Widen(name) + L".port");
    return text.empty() ? 0 : std::atoi(text.c_str());
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Publish(const std::string& name, const std::string& bytes)
{
    WriteFileBytes(ServersDir() + L"\\www\\" + testing_support::Widen(name), bytes);
}

namespace {

size_t Collect(char* data, size_t size, size_t count, void* into)
{
    static_cast<std::string*>(into)->append(data, size * count);
    return size * count;
}

}  // namespace

std::string HttpGetText(const std::string& url)
{
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return body;
}

int ClosedPort()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        int length = sizeof address;
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    closesocket(s);
    return port;
}

namespace {

constexpr wchar_t kConnections[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr wchar_t kSettingsValue[] = L"DefaultConnectionSettings";

void AppendDword(std::string& bytes, DWORD value) { bytes.append(reinterpret_cast<const char*>(&value), 4); }

}  // namespace

ProxySettingScope::ProxySettingScope(unsigned flags, const std::string& proxy, const std::string& bypass,
                                     const std::string& pacUrl)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    if (key == nullptr) return;
    DWORD size = 0;
    if (RegQueryValueExW(key, kSettingsValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        m_saved.resize(size);
        RegQueryValueExW(key, kSettingsValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&m_saved[0]), &size);
        m_hadValue = true;
    }
    static DWORD counter = 100;
    std::string value;
    AppendDword(value, 0x46);
    AppendDword(value, ++counter);
    AppendDword(value, flags);
    for (const std::string* text : {&proxy, &bypass, &pacUrl}) {
        AppendDword(value, static_cast<DWORD>(text->size()));
        value += *text;
    }
    value.append(32, '\0');
    RegSetValueExW(key, kSettingsValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(value.data()),
                   static_cast<DWORD>(value.size()));
    RegCloseKey(key);
}

ProxySettingScope::~ProxySettingScope()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kConnections, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
    if (m_hadValue) {
        RegSetValueExW(key, kSettingsValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(m_saved.data()),
                       static_cast<DWORD>(m_saved.size()));
    } else {
        RegDeleteValueW(key, kSettingsValue);
    }
    RegCloseKey(key);
}

std::string UniqueTag(const char* prefix)
{
    static std::atomic<int> counter{0};
    char tag[96];
    snprintf(tag, sizeof tag, "%s-%lu-%lu-%d", prefix, GetCurrentProcessId(), GetTickCount(), ++counter);
    return tag;
}

namespace {

Posted Convert(const testing_support::MessageCollector::Message& m)
{
    Posted posted;
    posted.message = m.message;
    if (m.message == WM_SETUP_STATUS_TEXT) {
        auto* text = reinterpret_cast<SkinUI::CUIString*>(m.wParam);
        posted.text = text->GetData();
        posted.notice = m.lParam == kStatusForUser || m.lParam == kStatusFailure;
        posted.failure = m.lParam == kStatusFailure;
        delete text;
    } else {
        posted.value = static_cast<unsigned>(m.wParam);
    }
    return posted;
}

}  // namespace

std::vector<Posted> Drain(testing_support::MessageCollector& window)
{
    std::vector<Posted> out;
    for (auto& m : window.Pump()) out.push_back(Convert(m));
    return out;
}

bool PumpUntilEnded(HANDLE thread, testing_support::MessageCollector& window, std::vector<Posted>& into,
                    DWORD timeoutMs, const std::function<void(const Posted&)>& onMessage)
{
    DWORD start = GetTickCount();
    for (;;) {
        for (auto& m : window.Pump()) {
            into.push_back(Convert(m));
            if (onMessage) onMessage(into.back());
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, timeoutMs - elapsed, QS_POSTMESSAGE);
        if (wait == WAIT_OBJECT_0) {
            // Whatever was posted before the end is still waiting.
            for (auto& m : window.Pump()) {
                into.push_back(Convert(m));
                if (onMessage) onMessage(into.back());
            }
            return true;
        }
    }
}

std::vector<std::wstring> StatusTexts(const std::vector<Posted>& messages)
{
    std::vector<std::wstring> texts;
    for (auto& m : messages)
        if (m.message == WM_SETUP_STATUS_TEXT && !m.notice) texts.push_back(m.text);
    return texts;
}

std::vector<std::wstring> Notices(const std::vector<Posted>& messages)
{
    std::vector<std::wstring> texts;
    for (auto& m : messages)
        if (m.message == WM_SETUP_STATUS_TEXT && m.notice) texts.push_back(m.text);
    return texts;
}

std::vector<unsigned> Progress(const std::vector<Posted>& messages, UINT which)
{
    std::vector<unsigned> values;
    for (auto& m : messages)
        if (m.message == which) values.push_back(m.value);
    return values;
}

// Wine 8's GetProcessHandleCount always reports 0; the system's handle list
// (SystemHandleInformation) has every handle with its owner.
DWORD HandleCount()
{
    struct HandleEntry {
        ULONG processId;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        void* object;
        ACCESS_MASK access;
    };
    struct HandleList {
        ULONG count;
        HandleEntry entries[1];
    };
    using QueryFn = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);
    static auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    constexpr ULONG kSystemHandleInformation = 16;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ULONG needed = 0;
        LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) break;
        if (buffer.size() >= (1u << 28)) return 0;
        buffer.resize(buffer.size() * 2);
    }
    auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    DWORD mine = 0;
    for (ULONG i = 0; i < list->count; ++i)
        if (list->entries[i].processId == GetCurrentProcessId()) ++mine;
    return mine;
}

namespace {

unsigned __stdcall ReportOnce(void*)
{
    ReportDownloadProgress(nullptr, 0);
    return 0;
}

unsigned __stdcall HoldCancelMutex(void*)
{
    std::lock_guard<std::mutex> hold(cancelMutex);
    Sleep(200);
    return 0;
}

void RunToEnd(unsigned(__stdcall* proc)(void*), DWORD meanwhileMs, void (*meanwhile)())
{
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, nullptr, 0, nullptr));
    Sleep(meanwhileMs);
    meanwhile();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

}  // namespace

void ContendForCancelMutexOnce()
{
    // Each side waits for the other once: a thread like the install thread
    // reporting while the window holds the mutex, and the window asking to
    // stop while that thread holds it (with no cancelEvent yet, nothing is
    // signalled).
    cancelMutex.lock();
    RunToEnd(ReportOnce, 100, [] { cancelMutex.unlock(); });
    RunToEnd(HoldCancelMutex, 50, [] { RequestCancel(); });
}

}  // namespace install_testing
