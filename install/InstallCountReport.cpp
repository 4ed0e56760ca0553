#include "install/InstallCountReport.h"

#include <windows.h>
#include <bcrypt.h>

#include <cctype>
#include <cstdio>

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

class AlgorithmProvider {
public:
    explicit AlgorithmProvider(const wchar_t* algorithm)
    {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&m_handle, algorithm, nullptr, 0))) m_handle = nullptr;
    }
    ~AlgorithmProvider()
    {
        if (m_handle) BCryptCloseAlgorithmProvider(m_handle, 0);
    }
    AlgorithmProvider(const AlgorithmProvider&) = delete;
    AlgorithmProvider& operator=(const AlgorithmProvider&) = delete;
    BCRYPT_ALG_HANDLE Get() const { return m_handle; }

private:
    BCRYPT_ALG_HANDLE m_handle = nullptr;
};

class Hash {
public:
    explicit Hash(BCRYPT_ALG_HANDLE algorithm)
    {
        // Since Windows 7 CNG keeps the hash object itself when given none.
        if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &m_handle, nullptr, 0, nullptr, 0, 0))) m_handle = nullptr;
    }
    ~Hash()
    {
        if (m_handle) BCryptDestroyHash(m_handle);
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    BCRYPT_HASH_HANDLE Get() const { return m_handle; }

private:
    BCRYPT_HASH_HANDLE m_handle = nullptr;
};

}  // namespace

std::string Md5Hex(const std::string& text)
{
    AlgorithmProvider md5(BCRYPT_MD5_ALGORITHM);
    if (!md5.Get()) return std::string();
    Hash hash(md5.Get());
    if (!hash.Get()) return std::string();
    auto* bytes = reinterpret_cast<PUCHAR>(const_cast<char*>(text.data()));
    UCHAR digest[16];
    if (!BCRYPT_SUCCESS(BCryptHashData(hash.Get(), bytes, static_cast<ULONG>(text.size()), 0)) ||
        !BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest, sizeof digest, 0)))
        return std::string();
    std::string hex;
    for (UCHAR byte : digest) {
        char two[3];
        snprintf(two, sizeof two, "%02x", byte);
        hex += two;
    }
    return hex;
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
