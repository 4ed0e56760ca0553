// The download and the report on the networks users have: HTTPS with the
// certificate checks the system makes, redirects, mirrors, and the proxies
// Windows is configured with. nginx (TLS with the tests' own authority,
// which the prefix trusts) and tinyproxy on loopback.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InstallTestSupport.h"
#include "ZipWriter.h"
#include "install/InstallCountReport.h"
#include "install/PackageDownload.h"
#include "install/RequestPolicy.h"
#include "install/SetupMessages.h"
#include "install/SystemProxy.h"
#include "services/MyLog.h"

using namespace testing_support;
using namespace install_testing;

namespace {

std::string Url(const char* scheme, const char* server, const std::string& path)
{
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(ServerPort(server)) + "/" + path;
}

std::string ProxyLog(const char* name)
{
    return ReadFileBytes(ServersDir() + L"\\proxies\\" + Widen(name) + L".log");
}

struct NetworkTest : ::testing::Test {
    TempDir dir{L"box-net"};
    std::string tag = UniqueTag("net");
    std::wstring packagePath = dir / L"temp.zip";
    std::string file = "net-" + tag + ".zip";
    std::string served = PatternBytes(600000, 41);

    void SetUp() override
    {
        ASSERT_NE(ServerPort("tls-good"), 0) << "the servers fixture did not run";
        cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        SystemProxy::Instance().Reset();
        ForgetProxyLogin();
        Publish(file, served);
    }
    void TearDown() override
    {
        CloseHandle(cancelEvent);
        cancelEvent = nullptr;
        SystemProxy::Instance().Reset();
        ForgetProxyLogin();
    }

    std::string Package() const { return ReadFileBytes(packagePath); }

    // One attempt from `url`; the cause of a failure in `cause`.
    int Attempt(const std::string& url, FailureCause* cause = nullptr, const RequestOptions& request = {})
    {
        DeleteFileW(packagePath.c_str());
        DownloadOptions options;
        options.url = url;
        options.request = request;
        ResumeState state;
        int result = DownloadPackage(packagePath.c_str(), nullptr, options, &state);
        if (cause != nullptr) *cause = state.cause;
        return result;
    }
};

}  // namespace

TEST_F(NetworkTest, HttpsFromAServerThisSystemTrustsAndEachCertificateItDoesNot)
{
    EXPECT_EQ(Attempt(Url("https", "tls-good", file)), kDownloadOk);
    EXPECT_TRUE(Package() == served);

    // Each refusal is its own, and nothing of the answer lands on disk.
    const struct {
        const char* server;
        FailureCause cause;
    } refused[] = {
        {"tls-untrusted", FailureCause::CertificateUntrusted},
        {"tls-expired", FailureCause::CertificateExpired},
        {"tls-wronghost", FailureCause::CertificateWrongHost},
    };
    for (const auto& c : refused) {
        FailureCause cause = FailureCause::Network;
        EXPECT_EQ(Attempt(Url("https", c.server, file), &cause), kDownloadFailed) << c.server;
        EXPECT_EQ(cause, c.cause) << c.server << ": " << DescribeCause(cause);
        EXPECT_TRUE(Package().empty()) << c.server << ": " << Package().size() << " bytes";
    }
}

TEST_F(NetworkTest, RedirectsGoFromHttpToHttpsButNeverBack)
{
    EXPECT_EQ(Attempt(Url("http", "tls-tohttps", file)), kDownloadOk);
    EXPECT_TRUE(Package() == served);

    FailureCause cause = FailureCause::Network;
    EXPECT_EQ(Attempt(Url("https", "tls-tohttp", file), &cause), kDownloadFailed);
    EXPECT_EQ(cause, FailureCause::InsecureRedirect);
    EXPECT_TRUE(Package().empty()) << Package().size() << " bytes";
}

TEST_F(NetworkTest, AMirrorServesWhenTheFirstAddressRefusesAndTheUserSeesWhy)
{
    // A port nobody listens on: the one the fault server had before it was
    // asked to stop is not known, so take a closed one from the system.
    const std::string dead = "https://127.0.0.1:" + std::to_string(ClosedPort()) + "/" + file;
    MessageCollector window;
    DownloadOptions options;
    options.url = dead;
    options.mirrors = {Url("https", "tls-untrusted", file), Url("https", "tls-good", file)};
    options.pauseMs = 20;
    wchar_t path[MAX_PATH];
    ASSERT_EQ(SaveZipToDir(dir.Slash().c_str(), path, window.Handle(), options), DownloadOutcome::Done);
    EXPECT_TRUE(Package() == served);
    EXPECT_EQ(Notices(Drain(window)), (std::vector<std::wstring>{L"网络连接失败，正在重试（第 1 次）",
                                                                 L"服务器证书不受信任，正在重试（第 2 次）"}));
}

TEST_F(NetworkTest, TheNamedProxyAndThePacScriptCarryThePackageAndTheReport)
{
    const std::string proxy = "127.0.0.1:" + std::to_string(ServerPort("proxy"));
    {
        ProxySettingScope setting(2, proxy, "<local>");
        EXPECT_EQ(Attempt(Url("https", "tls-good", file)), kDownloadOk);
        EXPECT_TRUE(Package() == served);
        EXPECT_NE(ProxyLog("proxy").find("CONNECT 127.0.0.1:" + std::to_string(ServerPort("tls-good"))),
                  std::string::npos)
            << ProxyLog("proxy");
        // The report takes the same way.
        const std::string api = "http://127.0.0.1:" + std::to_string(ServerPort("api")) + "/" + tag + "/int1";
        EXPECT_EQ(ReportInstallation(api, MyHttp::Limits()), MyHttp::Outcome::Accepted);
        EXPECT_NE(ProxyLog("proxy").find("GET " + api + "/api/systemcvn/incInstallNum?"), std::string::npos)
            << ProxyLog("proxy");
    }

    // A PAC script served by nginx names the proxy.
    SystemProxy::Instance().Reset();
    const std::string pac = "pac-" + tag + ".pac";
    Publish(pac, "function FindProxyForURL(url, host) { return \"PROXY " + proxy + "\"; }\n");
    const std::string packageUrl = Url("http", "nginx", file) + "?via=pac-" + tag;
    {
        ProxySettingScope setting(4, "", "", Url("http", "nginx", pac));
        EXPECT_EQ(Attempt(packageUrl), kDownloadOk);
        EXPECT_TRUE(Package() == served);
    }
    EXPECT_NE(ProxyLog("proxy").find("GET " + packageUrl), std::string::npos) << ProxyLog("proxy");
}

TEST_F(NetworkTest, AProxyNamedForHttpsAloneLeavesPlainHttpToTheSameHostDirect)
{
    // The routes are kept per scheme and host: the package's https way must
    // not become the plain-http report's.
    const std::string proxy = "127.0.0.1:" + std::to_string(ServerPort("proxy"));
    ProxySettingScope setting(2, "https=" + proxy, "");
    EXPECT_EQ(Attempt(Url("https", "tls-good", file)), kDownloadOk);
    EXPECT_NE(ProxyLog("proxy").find("CONNECT 127.0.0.1:" + std::to_string(ServerPort("tls-good"))), std::string::npos);
    const std::string api = "http://127.0.0.1:" + std::to_string(ServerPort("api")) + "/" + tag + "/int2";
    EXPECT_EQ(ReportInstallation(api, MyHttp::Limits()), MyHttp::Outcome::Accepted);
    EXPECT_EQ(ProxyLog("proxy").find(api), std::string::npos) << ProxyLog("proxy");
}

TEST_F(NetworkTest, AProxyThatCannotBeReachedGivesWayOneThatRefusesDoesNot)
{
    // Named but down: the direct way is next, and is kept for the run.
    {
        ProxySettingScope setting(2, "127.0.0.1:" + std::to_string(ClosedPort()));
        EXPECT_EQ(Attempt(Url("https", "tls-good", file)), kDownloadOk);
        EXPECT_TRUE(Package() == served);
    }
    SystemProxy::Instance().Reset();
    // Up, and refusing the tunnel: a refusal, never bypassed.
    ProxySettingScope setting(2, "127.0.0.1:" + std::to_string(ServerPort("proxyrefuse")));
    FailureCause cause = FailureCause::Network;
    EXPECT_EQ(Attempt(Url("https", "tls-good", file), &cause), kDownloadFailed);
    EXPECT_EQ(cause, FailureCause::ProxyRefused);
    EXPECT_TRUE(Package().empty()) << Package().size() << " bytes";
}

namespace {

std::vector<ProxyLoginRequest> g_asked;
std::vector<std::pair<std::wstring, std::wstring>> g_answers;

bool TypedLogin(HWND, ProxyLoginRequest& request)
{
    g_asked.push_back(request);
    if (g_answers.empty()) return false;
    request.user = g_answers.front().first;
    request.password = g_answers.front().second;
    request.given = true;
    g_answers.erase(g_answers.begin());
    return true;
}

}  // namespace

TEST_F(NetworkTest, AProxyLoginIsAskedOnceAgainWhenRefusedAndKeptForTheRun)
{
    ProxySettingScope setting(2, "127.0.0.1:" + std::to_string(ServerPort("proxyauth")));
    RequestOptions request;
    request.askLogin = TypedLogin;
    g_asked.clear();
    g_answers = {{L"alice", L"wrong"}, {L"alice", L"secret"}};
    EXPECT_EQ(Attempt(Url("https", "tls-good", file), nullptr, request), kDownloadOk);
    EXPECT_TRUE(Package() == served);
    ASSERT_EQ(g_asked.size(), 2u);
    EXPECT_FALSE(g_asked[0].again);
    EXPECT_TRUE(g_asked[1].again);

    // The next request uses what was typed, without asking.
    EXPECT_EQ(Attempt(Url("https", "tls-good", file), nullptr, request), kDownloadOk);
    EXPECT_EQ(g_asked.size(), 2u);

    // Cancelled: the proxy's refusal stands, and nobody is asked again.
    ForgetProxyLogin();
    g_asked.clear();
    FailureCause cause = FailureCause::Network;
    EXPECT_EQ(Attempt(Url("https", "tls-good", file), &cause, request), kDownloadFailed);
    EXPECT_EQ(cause, FailureCause::ProxyLogin);
    EXPECT_EQ(Attempt(Url("https", "tls-good", file), &cause, request), kDownloadFailed);
    EXPECT_EQ(g_asked.size(), 1u);
}

TEST(NamedProxy, PerProtocolEntriesAndTheBypassList)
{
    EXPECT_EQ(NamedProxyFor("https", "example.com", L"proxy:8080", L""), "http://proxy:8080");
    EXPECT_EQ(NamedProxyFor("https", "example.com", L"http=a:80;https=b:443", L""), "http://b:443");
    EXPECT_EQ(NamedProxyFor("http", "example.com", L"http=a:80 https=b:443", L""), "http://a:80");
    EXPECT_EQ(NamedProxyFor("https", "example.com", L"http=a:80", L""), "");
    EXPECT_EQ(NamedProxyFor("https", "example.com", L"ftp=f:21;common:3128", L""), "http://common:3128");
    // <local> is a name without a dot; the rest are patterns of names.
    EXPECT_EQ(NamedProxyFor("https", "intranet", L"p:1", L"<local>"), "");
    EXPECT_EQ(NamedProxyFor("https", "127.0.0.1", L"p:1", L"<local>"), "http://p:1");
    EXPECT_EQ(NamedProxyFor("https", "pkg.Corp.Example", L"p:1", L"*.corp.example;10.*"), "");
    EXPECT_EQ(NamedProxyFor("https", "10.1.2.3", L"p:1", L"*.corp.example; 10.*"), "");
    EXPECT_EQ(NamedProxyFor("https", "corp.example.org", L"p:1", L"*.corp.example"), "http://p:1");
}
