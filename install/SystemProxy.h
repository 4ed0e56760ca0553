#pragma once
// The ways to a URL that Windows is configured with for the current user
// (Internet Options, as WinHTTP reads them): automatic detection (WPAD), a
// PAC script, a named proxy with its per-protocol entries and bypass list,
// and the direct way. The download and the report try them in that order,
// and the first that reaches a server is kept for the rest of the run.
//
// A machine with no proxy configured gets the direct way alone (after a
// detection that finds nothing).

#include <mutex>
#include <string>
#include <vector>

struct ProxyRoute {
    std::string proxy;   // "http://host:port" for curl; empty: direct
    std::string source;  // "auto-detect", "PAC", "named" or "direct", for the log
    bool operator==(const ProxyRoute& other) const { return proxy == other.proxy; }
};

// A URL's scheme and host (empty where it has none).
struct UrlParts {
    std::string scheme;
    std::string host;
};
UrlParts ParseUrl(const std::string& url);

// What the named-proxy setting says for one URL; pure, so tested apart.
// `proxies`: "host:port" for every protocol, or entries such as
// "http=a:80;https=b:443" (';' or spaces between them). `bypass`: entries
// such as "*.corp.example;10.*;<local>" (<local>: host names without a dot).
// Empty when the URL goes direct (bypassed, or no entry for its scheme).
std::string NamedProxyFor(const std::string& scheme, const std::string& host, const std::wstring& proxies,
                          const std::wstring& bypass);

class SystemProxy {
public:
    // The one the run shares: what was found and kept lasts the run.
    static SystemProxy& Instance();

    // The routes to try for `url`, the one that worked before first, the
    // direct way last; read from the system once per scheme and host. The
    // first request there logs what was found.
    std::vector<ProxyRoute> RoutesFor(const std::string& url);
    // Reads the routes for `url` ahead of its first request, without
    // a word in the log: a thread may do it while the log is not yet open.
    void Prefetch(const std::string& url);
    // `route` reached a server: it goes first from now on.
    void Remember(const ProxyRoute& route);
    // Forgets what was read and kept (tests change the settings in between).
    void Reset();

private:
    struct OriginRoutes {
        std::string origin;  // scheme://host
        std::vector<ProxyRoute> routes;
        std::vector<std::string> notes;  // what the reading found, for the log
        bool logged = false;
    };

    SystemProxy() = default;
    static OriginRoutes ReadRoutes(const std::string& url);
    // The origin's entry; null when it has not been read. Under m_mutex.
    OriginRoutes* Known(const std::string& origin);
    // Reads the routes for `url`'s origin unless they are known.
    void Read(const std::string& url, const std::string& origin);

    std::mutex m_mutex;
    // One reading at a time: a request that comes while the prefetch reads
    // waits for its answer instead of asking the system a second time.
    std::mutex m_readMutex;
    std::vector<OriginRoutes> m_byOrigin;
    bool m_remembered = false;
    ProxyRoute m_worked;
};
