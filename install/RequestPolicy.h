#pragma once
// What every request of the installer (the package, the report) obeys, and
// how it reaches its server:
//   - http and https only, also where a redirect points; at most 5
//     redirects, and never from https back to http;
//   - an https server's certificate checked by the system's chain engine
//     (ServerCertificate) on every connection, before a request is sent;
//   - the ways Windows is configured with (SystemProxy) in their order: a
//     proxy that cannot be reached gives way to the next, one that answers
//     decides (a refusal is a refusal, never bypassed);
//   - a proxy login as the logged-on user (Negotiate, NTLM) first; where the
//     proxy wants credentials the logon cannot give, the user is asked once
//     (the system's dialog, through the window's thread) and what they type
//     is used for the rest of the run, in memory only: never logged, never
//     written.

#include <windows.h>

#include <functional>
#include <string>

#include <curl/curl.h>

#include "install/ServerCertificate.h"
#include "install/SystemProxy.h"

// Why a request failed, for the status line and the log.
enum class FailureCause {
    Network,  // no answer, a cut, a stall, an error status
    CertificateUntrusted,
    CertificateExpired,
    CertificateWrongHost,
    CertificateRevoked,
    CertificateInvalid,
    InsecureRedirect,  // to http from https, or to another protocol
    ProxyRefused,
    ProxyLogin,  // the proxy wants a login that nothing gave or satisfied
};

const char* DescribeCause(FailureCause cause);

// Asked on the install thread when a proxy wants credentials; fills `user`
// and `password` and returns true, or returns false (cancelled, nobody to
// ask). `again`: the last ones were refused.
struct ProxyLoginRequest {
    std::wstring proxy;
    bool again = false;
    std::wstring user;
    std::wstring password;
    bool given = false;
};
using ProxyLoginPrompt = bool (*)(HWND window, ProxyLoginRequest& request);

// The shipped prompt: sends WM_SETUP_PROXY_LOGIN to `window`, whose thread
// shows the system's dialog (AskProxyLoginWithDialog) or answers no.
bool AskProxyLoginThroughWindow(HWND window, ProxyLoginRequest& request);

struct RequestOptions {
    HWND window = nullptr;  // whose thread may be asked for a proxy login
    ProxyLoginPrompt askLogin = AskProxyLoginThroughWindow;
    // Turn curl's trace on standard error on (the download's; the report's
    // stays quiet). Credentials are never in it.
    bool trace = false;
};

struct RequestOutcome {
    CURLcode result = CURLE_OK;
    long status = 0;  // the server's HTTP status; 0 when none came
    FailureCause cause = FailureCause::Network;
    ProxyRoute route;  // the way the last try took
};

// Performs one request for `url`: `setup` gives a fresh handle the request's
// own options (its callbacks, its range) and is called again for every try
// (another route, a login); this adds the policy above and performs.
// `inspect`, when given, sees each try's handle after it was performed.
RequestOutcome PerformRequest(const std::string& url, const std::function<void(CURL*)>& setup,
                              const RequestOptions& options,
                              const std::function<void(CURL*)>& inspect = nullptr);

// Forgets the run's proxy login (tests).
void ForgetProxyLogin();
