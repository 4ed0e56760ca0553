#include "install/InstallCountReport.h"

#include <windows.h>
#include <bcrypt.h>

#include <cctype>
#include <cstdio>

#include "install/CngHash.h"
#include "install/NonceStr.h"

#ifndef BOX_API_HOST
#error "BOX_API_HOST and BOX_API_PORT come from the build"
#endif

const char* const kApiServer = "http://" BOX_API_HOST ":" BOX_API_PORT;

namespace {

constexpr char kReportPath[] = "/api/systemcvn/incInstallNum?";
constexpr char kAppIdAndNonceKey[] = "appid=desktop_app&nonce_str=";
// Shared with the server, which checks the signature with it.
constexpr char kSigningKey[] = "tesvor571209834461";

}  // namespace

std::string Md5Hex(const std::string& text)
{
    CngHash md5(BCRYPT_MD5_ALGORITHM);
    md5.Update(text.data(), text.size());
    return md5.HexDigest();
}

std::string MakeReportUrl(const std::string& server, const std::string& nonce)
{
    std::string query = std::string(kAppIdAndNonceKey) + nonce;
    std::string sign = Md5Hex(query + "&key=" + kSigningKey);
    for (char& c : sign) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    query += "&sign=" + sign;
    return server + kReportPath + query;
}

MyHttp::Outcome ReportInstallation(const std::string& server, const MyHttp::Limits& limits)
{
    MyHttp http;
    return http.Get(MakeReportUrl(server, MakeNonceStr()), limits);
}

void incInstallNum() { ReportInstallation(kApiServer, MyHttp::Limits()); }
