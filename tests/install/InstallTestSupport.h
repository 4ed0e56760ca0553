#pragma once
// What the install tests share: the servers the CTest fixture started on
// loopback (reached through Wine's Z: drive, which maps the Unix root), and
// the messages the install thread posts, in a form tests can compare.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace install_testing {

// The fixture's folder, as Wine sees it.
std::wstring ServersDir();
// "nginx", "fault" or "api"; 0 when the fixture did not run.
int ServerPort(const char* name);
// Puts `bytes` where nginx and the fault server serve them as /<name>.
void Publish(const std::string& name, const std::string& bytes);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// A GET with libcurl, for the servers' request logs.
std::string HttpGetText(const std::string& url);
// A loopback port that nothing listens on (the system's choice, closed again).
int ClosedPort();
// Unique within this machine and run: tags the requests of one test.
std::string UniqueTag(const char* prefix);

struct Posted {
    UINT message;
    unsigned value = 0;   // progress percent
    std::wstring text;    // status text
    bool notice = false;   // a status text for the user (kStatusForUser or kStatusFailure)
    bool failure = false;  // the installation's stop (kStatusFailure)
};

// Reads every waiting message; status texts are copied and their payloads
// deleted, as the window would.
std::vector<Posted> Drain(testing_support::MessageCollector& window);

// Pumps `window` until `thread` ends or `timeoutMs` passes, handing every
// message to `onMessage` as it arrives. Returns false on time-out.
bool PumpUntilEnded(HANDLE thread, testing_support::MessageCollector& window, std::vector<Posted>& into,
                    DWORD timeoutMs, const std::function<void(const Posted&)>& onMessage = nullptr);

// The step-by-step status texts, and apart from them what the user is told.
std::vector<std::wstring> StatusTexts(const std::vector<Posted>& messages);
std::vector<std::wstring> Notices(const std::vector<Posted>& messages);
std::vector<unsigned> Progress(const std::vector<Posted>& messages, UINT which);

// The current user's proxy settings as Internet Options writes them (the
// DefaultConnectionSettings value that WinHTTP reads), for the life of the
// object; what was there before comes back after. Flags: 1 direct, 2 a
// named proxy, 4 a PAC script's URL, 8 automatic detection.
class ProxySettingScope {
public:
    ProxySettingScope(unsigned flags, const std::string& proxy, const std::string& bypass = "",
                      const std::string& pacUrl = "");
    ~ProxySettingScope();
    ProxySettingScope(const ProxySettingScope&) = delete;
    ProxySettingScope& operator=(const ProxySettingScope&) = delete;

private:
    std::string m_saved;
    bool m_hadValue = false;
};

// The process's open handles, for leak checks around whole runs.
DWORD HandleCount();

// Makes the window side and a reporter meet on cancelMutex once. The
// threading library gives a mutex its wait event at the first contention and
// keeps it to the end: without this, a leak check fails at random on the one
// run where the two threads first happen to collide.
void ContendForCancelMutexOnce();

}  // namespace install_testing
