// The report against our API server on loopback, which checks signatures as
// the real one does and answers what each case needs.

#include <gtest/gtest.h>

#include <winsock2.h>

#include <string>

#include "InstallTestSupport.h"
#include "install/InstallCountReport.h"
#include "services/MyLog.h"

using namespace testing_support;
using namespace install_testing;

TEST(Md5Hex, RfcTestVectors)
{
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(Md5Hex(std::string("\0\xFF", 2)), "d07d34efac6328007ad67c7e0a985e00") << "bytes, not text";
}

TEST(ReportUrl, SignedQueryInItsOrder)
{
    std::string url = MakeReportUrl("http://api.example:81", "P1kAlMiG2Kb7FzP5tM1QBI6DSS92c31A");
    EXPECT_EQ(url,
              "http://api.example:81/api/systemcvn/incInstallNum?appid=desktop_app"
              "&nonce_str=P1kAlMiG2Kb7FzP5tM1QBI6DSS92c31A&sign=E6DDACE455508B0D39B62AF3583753D8");
    EXPECT_EQ(url.substr(url.find('?') + 1).size(), 98u);
    EXPECT_EQ(url.find("key"), std::string::npos);
    EXPECT_STREQ(kApiServer, "http://" BOX_API_HOST ":" BOX_API_PORT);
}

namespace {

struct ReportTest : ::testing::Test {
    TempDir logDir{L"box-report"};
    std::string tag = UniqueTag("report");

    void SetUp() override
    {
        ASSERT_NE(ServerPort("api"), 0) << "the servers fixture did not run";
        ASSERT_TRUE(MyLog::Init(logDir.Path().c_str()));
    }
    void TearDown() override { MyLog::Shutdown(); }

    std::string Server(const std::string& answer) const
    {
        return "http://127.0.0.1:" + std::to_string(ServerPort("api")) + "/" + tag + "/" + answer;
    }
    std::string Requests() const
    {
        return HttpGetText("http://127.0.0.1:" + std::to_string(ServerPort("api")) + "/_log?tag=" + tag);
    }
    // Read while the logger is still open: the error line must already be on disk.
    std::string Log() const { return ReadFileBytes(logDir / L"logs\\InstallRotating.txt"); }
};

}  // namespace

TEST_F(ReportTest, AcceptedExactlyWhenSuccessReadsAsOne)
{
    struct Case {
        const char* answer;
        MyHttp::Outcome outcome;
        const char* loggedBody;
    } cases[] = {
        {"int1", MyHttp::Outcome::Accepted, nullptr},
        {"str1", MyHttp::Outcome::Accepted, nullptr},
        {"json500", MyHttp::Outcome::Accepted, nullptr},  // the status is not looked at
        {"true", MyHttp::Outcome::Refused, "{\"success\":true}"},
        {"float1", MyHttp::Outcome::Refused, "{\"success\":1.0}"},
        {"missing", MyHttp::Outcome::Refused, "{\"code\":200}"},
        {"nonjson", MyHttp::Outcome::Refused, "<html><body>maintenance</body></html>"},
        {"error500", MyHttp::Outcome::Refused, "<html><body>Internal Server Error</body></html>"},
        // UTF-8 from the server, code page 936 in the log.
        {"chinese", MyHttp::Outcome::Refused, "{\"success\":0,\"msg\":\"\xC7\xA9\xC3\xFB\xB4\xED\xCE\xF3\"}"},
    };
    for (const Case& c : cases) {
        tag = UniqueTag(c.answer);
        size_t logBefore = Log().size();
        EXPECT_EQ(ReportInstallation(Server(c.answer), MyHttp::Limits()), c.outcome) << c.answer;
        std::string requests = Requests();
        EXPECT_EQ(requests.rfind("valid appid=desktop_app&nonce_str=", 0), 0u) << requests;
        EXPECT_EQ(requests.find('\n'), std::string::npos) << "one request, no retry: " << requests;

        std::string added = Log().substr(logBefore);
        if (c.loggedBody == nullptr) {
            EXPECT_EQ(added, "") << c.answer;
        } else {
            std::string url = Server(c.answer) + "/api/systemcvn/incInstallNum?" + requests.substr(6);
            std::string line = "] [E] ";
            EXPECT_NE(added.find(line), std::string::npos) << added;
            EXPECT_NE(added.find("] url:" + url + "-----res:" + c.loggedBody + "\r\n"), std::string::npos) << added;
        }
    }
}

TEST_F(ReportTest, SilentOrMissingServersCostOnlyTheBound)
{
    MyHttp::Limits quick;
    quick.connectTimeoutSeconds = 2;
    quick.totalTimeoutSeconds = 2;
    DWORD start = GetTickCount();
    EXPECT_EQ(ReportInstallation(Server("silent"), quick), MyHttp::Outcome::TransferFailed);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 1900u);
    EXPECT_LT(elapsed, 5000u);

    // A port nobody listens on.
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    WSACleanup();
    start = GetTickCount();
    EXPECT_EQ(ReportInstallation("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)), quick),
              MyHttp::Outcome::TransferFailed);
    EXPECT_LT(GetTickCount() - start, 3000u);

    // The shipped call, with the compiled-in server not running here.
    incInstallNum();
    EXPECT_EQ(Log(), "");
}
