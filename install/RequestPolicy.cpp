#include "install/RequestPolicy.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "install/NetworkWarmUp.h"
#include "install/SetupMessages.h"
#include "services/MyLog.h"

namespace {

constexpr long kMaxRedirects = 5;
// Logins asked for in one request before the proxy's refusal stands.
constexpr int kMaxLoginPrompts = 3;

// libcurl's global state, set up and torn down around every request, once
// the system's network DLLs are in place (WaitForNetworkLibraries).
struct CurlGlobal {
    CurlGlobal()
    {
        WaitForNetworkLibraries();
        curl_global_init(CURL_GLOBAL_ALL);
    }
    ~CurlGlobal() { curl_global_cleanup(); }
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;
};

struct EasyHandleCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

std::string Utf8(const std::wstring& text)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &narrow[0], length, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length - 1));
    return narrow;
}

void Wipe(std::string& secret)
{
    if (!secret.empty()) SecureZeroMemory(&secret[0], secret.size());
    secret.clear();
}

void Wipe(std::wstring& secret)
{
    if (!secret.empty()) SecureZeroMemory(&secret[0], secret.size() * sizeof(wchar_t));
    secret.clear();
}

// The run's proxy login: typed once, kept in memory for the rest of the run.
struct ProxyLogin {
    std::mutex mutex;
    std::string proxy;
    std::string user;
    std::string password;
    bool declined = false;  // the user cancelled: nobody is asked again
};

ProxyLogin& Login()
{
    static ProxyLogin login;
    return login;
}


// One try's connection checks.
struct Connection {
    CURL* handle = nullptr;
    CertificateVerdict verdict = CertificateVerdict::Trusted;
};

// After every connection is made (and its TLS handshake done), before the
// request goes out on it: the https server must prove who it is first.
int OnPrerequest(void* data, char*, char*, int, int)
{
    auto* connection = static_cast<Connection*>(data);
    char* url = nullptr;
    curl_easy_getinfo(connection->handle, CURLINFO_EFFECTIVE_URL, &url);
    const UrlParts parts = ParseUrl(url != nullptr ? url : "");
    if (parts.scheme != "https") return CURL_PREREQFUNC_OK;
    connection->verdict = CheckServerCertificate(connection->handle, parts.host);
    if (connection->verdict == CertificateVerdict::Trusted) return CURL_PREREQFUNC_OK;
    MyLog::GetLogger()->error("the certificate of {} is {}: nothing is sent to it", parts.host,
                              DescribeVerdict(connection->verdict));
    return CURL_PREREQFUNC_ABORT;
}

// curl's trace, as its own verbose mode writes it, but with every
// authorization header's value left out.
int OnTrace(CURL*, curl_infotype type, char* data, size_t size, void*)
{
    const char* mark = nullptr;
    switch (type) {
    case CURLINFO_TEXT: mark = "* "; break;
    case CURLINFO_HEADER_IN: mark = "< "; break;
    case CURLINFO_HEADER_OUT: mark = "> "; break;
    default: return 0;
    }
    std::string text(data, size);
    if (type == CURLINFO_HEADER_OUT) {
        for (const char* name : {"\nProxy-Authorization:", "\nAuthorization:"}) {
            std::string lines = "\n" + text;
            size_t at = lines.find(name);
            if (at == std::string::npos) continue;
            const size_t value = at + strlen(name);
            const size_t end = lines.find('\r', value);
            lines.replace(value, end == std::string::npos ? std::string::npos : end - value, " (not shown)");
            text = lines.substr(1);
        }
    }
    fputs(mark, stderr);
    fwrite(text.data(), 1, text.size(), stderr);
    return 0;
}

FailureCause CauseOf(const Connection& connection, CURLcode result, const ProxyRoute& route, long status,
                     long connectStatus)
{
    switch (connection.verdict) {
    case CertificateVerdict::Trusted: break;
    case CertificateVerdict::Untrusted: return FailureCause::CertificateUntrusted;
    case CertificateVerdict::Expired: return FailureCause::CertificateExpired;
    case CertificateVerdict::WrongHost: return FailureCause::CertificateWrongHost;
    case CertificateVerdict::Revoked: return FailureCause::CertificateRevoked;
    default: return FailureCause::CertificateInvalid;
    }
    // The only protocols curl may use are the allowed ones: a refused one
    // can only be a redirect's target.
    if (result == CURLE_UNSUPPORTED_PROTOCOL) return FailureCause::InsecureRedirect;
    if (!route.proxy.empty()) {
        // Some proxies (tinyproxy) answer a refused login to a tunnel with
        // 401 instead of 407; that answer can only be the proxy's own.
        if (connectStatus == 407 || connectStatus == 401 || status == 407) return FailureCause::ProxyLogin;
        // The tunnel to an https server refused by the proxy itself.
        if (connectStatus >= 300) return FailureCause::ProxyRefused;
    }
    return FailureCause::Network;
}

// A proxy that never answered: the next way may do.
bool ProxyUnreachable(const RequestOutcome& outcome, long connectStatus)
{
    return !outcome.route.proxy.empty() && outcome.status == 0 && connectStatus == 0 &&
           (outcome.result == CURLE_COULDNT_CONNECT || outcome.result == CURLE_COULDNT_RESOLVE_PROXY);
}

RequestOutcome Try(const std::string& url, const ProxyRoute& route, const std::function<void(CURL*)>& setup,
                   const RequestOptions& options, const std::function<void(CURL*)>& inspect, long* connectStatus)
{
    RequestOutcome outcome;
    outcome.route = route;
    std::unique_ptr<CURL, EasyHandleCleanup> handle(curl_easy_init());
    if (!handle) {
        outcome.result = CURLE_OUT_OF_MEMORY;
        return outcome;
    }
    CURL* curl = handle.get();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    setup(curl);

    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // From https, https only: a redirect never takes the package or the
    // report back to plain http.
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, url.compare(0, 8, "https://") == 0 ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    // The certificate is checked by OnPrerequest with the system's chain
    // engine; Schannel's own check would only say that it refused.
    Connection connection;
    connection.handle = curl;
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, OnPrerequest);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, &connection);

    // Always named, so that no environment variable chooses one.
    curl_easy_setopt(curl, CURLOPT_PROXY, route.proxy.c_str());
    std::string user, password;
    if (!route.proxy.empty()) {
        {
            ProxyLogin& login = Login();
            std::lock_guard<std::mutex> lock(login.mutex);
            if (login.proxy == route.proxy && !login.user.empty()) {
                user = login.user;
                password = login.password;
            }
        }
        if (user.empty()) {
            // As the logged-on user, through SSPI.
            curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, ":");
            curl_easy_setopt(curl, CURLOPT_PROXYAUTH, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM);
        } else {
            curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, user.c_str());
            curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, password.c_str());
            curl_easy_setopt(curl, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
        }
    }
    if (options.trace) {
        curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, OnTrace);
        curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    }

    outcome.result = curl_easy_perform(curl);
    Wipe(password);
    if (inspect) inspect(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &outcome.status);
    curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, connectStatus);
    outcome.cause = CauseOf(connection, outcome.result, route, outcome.status, *connectStatus);
    if (connection.verdict != CertificateVerdict::Trusted) outcome.result = CURLE_PEER_FAILED_VERIFICATION;
    return outcome;
}

}  // namespace

const char* DescribeCause(FailureCause cause)
{
    switch (cause) {
    case FailureCause::CertificateUntrusted: return "the server's certificate is not trusted";
    case FailureCause::CertificateExpired: return "the server's certificate has expired";
    case FailureCause::CertificateWrongHost: return "the server's certificate is for another host";
    case FailureCause::CertificateRevoked: return "the server's certificate is revoked";
    case FailureCause::CertificateInvalid: return "the server's certificate is invalid";
    case FailureCause::InsecureRedirect: return "a redirect to a protocol not allowed (https to http)";
    case FailureCause::ProxyRefused: return "the proxy refused the connection";
    case FailureCause::ProxyLogin: return "the proxy wants a login that was not given";
    default: return "the network";
    }
}

bool AskProxyLoginThroughWindow(HWND window, ProxyLoginRequest& request)
{
    if (window == nullptr) return false;
    // Sent, not posted: the install thread waits for the answer. A window
    // that is gone answers at once, with nothing given.
    SendMessageW(window, WM_SETUP_PROXY_LOGIN, 0, reinterpret_cast<LPARAM>(&request));
    return request.given;
}

RequestOutcome PerformRequest(const std::string& url, const std::function<void(CURL*)>& setup,
                              const RequestOptions& options, const std::function<void(CURL*)>& inspect)
{
    const CurlGlobal global;
    auto logger = MyLog::GetLogger();
    const std::vector<ProxyRoute> routes = SystemProxy::Instance().RoutesFor(url);
    RequestOutcome outcome;
    for (size_t i = 0; i < routes.size(); ++i) {
        const ProxyRoute& route = routes[i];
        long connectStatus = 0;
        for (int prompts = 0;; ++prompts) {
            connectStatus = 0;
            outcome = Try(url, route, setup, options, inspect, &connectStatus);
            if (outcome.cause != FailureCause::ProxyLogin || prompts == kMaxLoginPrompts) break;
            ProxyLogin& login = Login();
            ProxyLoginRequest request;
            {
                std::lock_guard<std::mutex> lock(login.mutex);
                if (login.declined) break;
                request.again = prompts > 0 || (login.proxy == route.proxy && !login.user.empty());
            }
            request.proxy.assign(route.proxy.begin(), route.proxy.end());
            logger->info("the proxy {} wants a login{}", route.proxy, request.again ? " (the last one was refused)" : "");
            const bool given = options.askLogin != nullptr && options.askLogin(options.window, request) && request.given;
            std::lock_guard<std::mutex> lock(login.mutex);
            if (!given) {
                login.declined = true;
                logger->warn("no login for the proxy {}: it refuses the request", route.proxy);
                break;
            }
            login.proxy = route.proxy;
            login.user = Utf8(request.user);
            Wipe(login.password);
            login.password = Utf8(request.password);
            Wipe(request.password);
            logger->info("the proxy {}: a login as {} was typed", route.proxy, login.user);
        }
        if (ProxyUnreachable(outcome, connectStatus) && i + 1 < routes.size()) {
            logger->warn("the proxy {} ({}) cannot be reached: {}", route.proxy, route.source,
                         curl_easy_strerror(outcome.result));
            continue;
        }
        if (outcome.status != 0 || connectStatus != 0) SystemProxy::Instance().Remember(route);
        break;
    }
    if (outcome.result != CURLE_OK && outcome.result != CURLE_ABORTED_BY_CALLBACK) {
        logger->info("{} through {} ({}): {} (HTTP {}): {}", url,
                     outcome.route.proxy.empty() ? "no proxy" : outcome.route.proxy, outcome.route.source,
                     curl_easy_strerror(outcome.result), outcome.status, DescribeCause(outcome.cause));
    }
    return outcome;
}

void ForgetProxyLogin()
{
    ProxyLogin& login = Login();
    std::lock_guard<std::mutex> lock(login.mutex);
    login.proxy.clear();
    Wipe(login.user);
    Wipe(login.password);
    login.declined = false;
}
