#include "install/SystemProxy.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cwctype>
#include <memory>

#include <curl/curl.h>

#include "services/MyLog.h"

namespace {

std::wstring Wide(const std::string& text)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

std::string Narrow(const std::wstring& text)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &narrow[0], length, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length - 1));
    return narrow;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The entries of a proxy or bypass list: ';' and white space separate them.
std::vector<std::wstring> Entries(const std::wstring& list)
{
    std::vector<std::wstring> entries;
    std::wstring entry;
    for (wchar_t c : list) {
        if (c == L';' || std::iswspace(c)) {
            if (!entry.empty()) entries.push_back(entry);
            entry.clear();
        } else {
            entry += c;
        }
    }
    if (!entry.empty()) entries.push_back(entry);
    return entries;
}

// '*' matches any run of characters, case aside.
bool WildcardMatch(const std::wstring& pattern, const std::wstring& text)
{
    size_t p = 0, t = 0, star = std::wstring::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == text[t] || pattern[p] == L'?')) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = t;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

bool Bypassed(const std::wstring& host, const std::wstring& bypass)
{
    const std::wstring name = Lower(host);
    for (const std::wstring& entry : Entries(Lower(bypass))) {
        if (entry == L"<local>") {
            if (name.find(L'.') == std::wstring::npos) return true;
            continue;
        }
        // "http://host" entries name a scheme too; the host part decides.
        std::wstring pattern = entry;
        const size_t scheme = pattern.find(L"://");
        if (scheme != std::wstring::npos) pattern = pattern.substr(scheme + 3);
        if (WildcardMatch(pattern, name)) return true;
    }
    return false;
}

// "host:port" (or "http://host:port") as curl takes an HTTP proxy.
std::string ProxyUrl(const std::wstring& entry)
{
    std::string proxy = Narrow(entry);
    if (proxy.find("://") == std::string::npos) proxy = "http://" + proxy;
    return proxy;
}

// What the routes are read for: the named proxy may differ by scheme (an
// http and an https address on one host), and a PAC script sees both.
std::string Origin(const std::string& url)
{
    const UrlParts parts = ParseUrl(url);
    return parts.scheme + "://" + parts.host;
}

struct GlobalString {
    void operator()(wchar_t* text) const { GlobalFree(text); }
};
using SystemText = std::unique_ptr<wchar_t, GlobalString>;

// WinHTTP's answer for `url` under `options`: the proxies it names, or the
// direct way; nothing when it found no answer (no WPAD server, a PAC script
// that cannot be had).
std::vector<ProxyRoute> AskWinHttp(const std::wstring& url, WINHTTP_AUTOPROXY_OPTIONS& options, const char* source,
                                   std::vector<std::string>& notes)
{
    std::vector<ProxyRoute> routes;
    HINTERNET session = WinHttpOpen(L"Install", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (session == nullptr) return routes;
    WINHTTP_PROXY_INFO info = {};
    if (WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) {
        SystemText proxies(info.lpszProxy);
        SystemText bypass(info.lpszProxyBypass);
        if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && proxies) {
            for (const std::wstring& entry : Entries(proxies.get())) routes.push_back({ProxyUrl(entry), source});
        } else {
            routes.push_back({std::string(), source});
        }
    } else {
        notes.push_back(fmt::format("proxy {}: no answer (error {})", source, GetLastError()));
    }
    WinHttpCloseHandle(session);
    return routes;
}

}  // namespace

std::string NamedProxyFor(const std::string& scheme, const std::string& host, const std::wstring& proxies,
                          const std::wstring& bypass)
{
    if (Bypassed(Wide(host), bypass)) return std::string();
    std::wstring common, forScheme;
    const std::wstring wanted = Wide(scheme) + L"=";
    for (const std::wstring& entry : Entries(proxies)) {
        const size_t equals = entry.find(L'=');
        if (equals == std::wstring::npos) {
            if (common.empty()) common = entry;
        } else if (Lower(entry.substr(0, equals + 1)) == wanted && forScheme.empty()) {
            forScheme = entry.substr(equals + 1);
        }
    }
    const std::wstring chosen = !forScheme.empty() ? forScheme : common;
    return chosen.empty() ? std::string() : ProxyUrl(chosen);
}

UrlParts ParseUrl(const std::string& url)
{
    UrlParts parts;
    CURLU* handle = curl_url();
    if (handle == nullptr) return parts;
    if (curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
        char* part = nullptr;
        if (curl_url_get(handle, CURLUPART_SCHEME, &part, 0) == CURLUE_OK) {
            parts.scheme = part;
            curl_free(part);
        }
        if (curl_url_get(handle, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
            parts.host = part;
            curl_free(part);
        }
    }
    curl_url_cleanup(handle);
    return parts;
}

SystemProxy& SystemProxy::Instance()
{
    // Never destroyed: a prefetch may still be asking the system when the
    // process exits.
    static SystemProxy* proxy = new SystemProxy();
    return *proxy;
}

SystemProxy::OriginRoutes SystemProxy::ReadRoutes(const std::string& url)
{
    OriginRoutes read;
    const UrlParts parts = ParseUrl(url);
    std::vector<ProxyRoute> routes;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config)) {
        read.notes.push_back(fmt::format("no proxy settings for this user (error {}): direct", GetLastError()));
        read.routes = {ProxyRoute{std::string(), "direct"}};
        return read;
    }
    SystemText autoConfigUrl(config.lpszAutoConfigUrl);
    SystemText proxies(config.lpszProxy);
    SystemText bypass(config.lpszProxyBypass);
    const std::wstring wideUrl = Wide(url);
    if (config.fAutoDetect) {
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        options.fAutoLogonIfChallenged = TRUE;
        for (const ProxyRoute& route : AskWinHttp(wideUrl, options, "auto-detect", read.notes)) routes.push_back(route);
    }
    if (autoConfigUrl && autoConfigUrl.get()[0] != L'\0') {
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = autoConfigUrl.get();
        options.fAutoLogonIfChallenged = TRUE;
        for (const ProxyRoute& route : AskWinHttp(wideUrl, options, "PAC", read.notes)) routes.push_back(route);
    }
    if (proxies && proxies.get()[0] != L'\0') {
        const std::string named = NamedProxyFor(parts.scheme, parts.host, proxies.get(), bypass ? bypass.get() : L"");
        routes.push_back({named, named.empty() ? "named (bypassed)" : "named"});
    }
    routes.push_back({std::string(), "direct"});
    // Each way once, in the first place it came.
    for (const ProxyRoute& route : routes) {
        if (std::find(read.routes.begin(), read.routes.end(), route) == read.routes.end()) read.routes.push_back(route);
    }
    for (const ProxyRoute& route : read.routes) {
        read.notes.push_back(fmt::format("route to {}: {} ({})", parts.host,
                                         route.proxy.empty() ? "direct" : route.proxy, route.source));
    }
    return read;
}

SystemProxy::OriginRoutes* SystemProxy::Known(const std::string& origin)
{
    for (OriginRoutes& known : m_byOrigin) {
        if (known.origin == origin) return &known;
    }
    return nullptr;
}

void SystemProxy::Read(const std::string& url, const std::string& origin)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Known(origin) != nullptr) return;
    }
    std::lock_guard<std::mutex> reading(m_readMutex);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Known(origin) != nullptr) return;
    }
    // Outside the lock: detection and a PAC script may take seconds.
    OriginRoutes read = ReadRoutes(url);
    read.origin = origin;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_byOrigin.push_back(std::move(read));
}

void SystemProxy::Prefetch(const std::string& url) { Read(url, Origin(url)); }

std::vector<ProxyRoute> SystemProxy::RoutesFor(const std::string& url)
{
    const std::string origin = Origin(url);
    Read(url, origin);
    std::lock_guard<std::mutex> lock(m_mutex);
    OriginRoutes* known = Known(origin);
    if (known == nullptr) return {ProxyRoute{std::string(), "direct"}};  // forgotten meanwhile (Reset)
    std::vector<ProxyRoute> routes = known->routes;
    if (!known->logged) {
        known->logged = true;
        for (const std::string& note : known->notes) MyLog::GetLogger()->info("{}", note);
    }
    if (m_remembered) {
        auto worked = std::find(routes.begin(), routes.end(), m_worked);
        if (worked != routes.end()) std::rotate(routes.begin(), worked, worked + 1);
    }
    return routes;
}

void SystemProxy::Remember(const ProxyRoute& route)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_worked = route;
    m_remembered = true;
}

void SystemProxy::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_byOrigin.clear();
    m_remembered = false;
}
