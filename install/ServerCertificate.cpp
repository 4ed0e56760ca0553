#include "install/ServerCertificate.h"

// The chain's parameters with the retrieval timeout (revocation servers).
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include "ui/core/SystemLibrary.h"

namespace {

// secur32 is no KnownDLL; curl loads it from the system folder too.
using QueryContextAttributesFn = SECURITY_STATUS(SEC_ENTRY*)(PCtxtHandle, ULONG, void*);

QueryContextAttributesFn QueryContextAttributesFunction()
{
    static const auto function = reinterpret_cast<QueryContextAttributesFn>(reinterpret_cast<void*>(
        GetProcAddress(SkinUI::LoadSystemLibrary(L"secur32.dll"), "QueryContextAttributesW")));
    return function;
}

std::wstring Wide(const std::string& text)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// The chain's own findings, read here rather than left to the SSL policy
// alone: Wine's policy passes a chain that stops short of any trusted root
// (an unknown issuer), and stops at an unanswered revocation question before
// it would look at the host name.
CertificateVerdict VerdictOfChain(DWORD status)
{
    // Best effort: a revocation server that did not answer is no refusal.
    status &= ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
    if (status == CERT_TRUST_NO_ERROR) return CertificateVerdict::Trusted;
    if (status & CERT_TRUST_IS_REVOKED) return CertificateVerdict::Revoked;
    if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC |
                  CERT_TRUST_IS_NOT_SIGNATURE_VALID)) {
        return CertificateVerdict::Untrusted;
    }
    if (status & (CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED)) return CertificateVerdict::Expired;
    return CertificateVerdict::Invalid;
}

CertificateVerdict VerdictOfPolicy(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS: return CertificateVerdict::Trusted;
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE): return CertificateVerdict::Untrusted;
    case static_cast<DWORD>(CERT_E_EXPIRED):
    case static_cast<DWORD>(CERT_E_VALIDITYPERIODNESTING): return CertificateVerdict::Expired;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH): return CertificateVerdict::WrongHost;
    case static_cast<DWORD>(CRYPT_E_REVOKED): return CertificateVerdict::Revoked;
    default: return CertificateVerdict::Invalid;
    }
}

// SECURITY_FLAG_IGNORE_REVOCATION, which wininet.h defines (no reason to
// include WinINet's header for one flag of the SSL policy).
constexpr DWORD kIgnoreRevocation = 0x00000080;

// A revocation server gets this long, in all, before the check goes on
// without its word.
constexpr DWORD kRevocationTimeoutMs = 5000;

}  // namespace

const char* DescribeVerdict(CertificateVerdict verdict)
{
    switch (verdict) {
    case CertificateVerdict::Trusted: return "trusted";
    case CertificateVerdict::Untrusted: return "issued by an authority this system does not trust";
    case CertificateVerdict::Expired: return "expired or not yet valid";
    case CertificateVerdict::WrongHost: return "issued for another host name";
    case CertificateVerdict::Revoked: return "revoked";
    default: return "invalid";
    }
}

CertificateVerdict CheckServerCertificate(CURL* handle, const std::string& host)
{
    curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || session == nullptr ||
        session->backend != CURLSSLBACKEND_SCHANNEL || session->internals == nullptr) {
        return CertificateVerdict::Invalid;
    }
    const QueryContextAttributesFn query = QueryContextAttributesFunction();
    if (query == nullptr) return CertificateVerdict::Invalid;
    PCCERT_CONTEXT certificate = nullptr;
    if (query(static_cast<PCtxtHandle>(session->internals), SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
        certificate == nullptr) {
        return CertificateVerdict::Invalid;
    }

    // A certificate for servers, chained with what the server sent along
    // (its intermediates) to a root this machine trusts.
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    char* usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    chainPara.dwUrlRetrievalTimeout = kRevocationTimeoutMs;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    const BOOL built = CertGetCertificateChain(
        nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
        CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT, nullptr, &chain);
    CertificateVerdict verdict = CertificateVerdict::Invalid;
    if (built && chain != nullptr) {
        verdict = VerdictOfChain(chain->TrustStatus.dwErrorStatus);
        if (verdict == CertificateVerdict::Trusted) {
            // The chain stands: the SSL policy checks the rest, the host
            // name above all. Revocation was weighed above (best effort).
            std::wstring name = Wide(host);
            SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
            ssl.cbSize = sizeof ssl;
            ssl.dwAuthType = AUTHTYPE_SERVER;
            ssl.fdwChecks = kIgnoreRevocation;
            ssl.pwszServerName = &name[0];
            CERT_CHAIN_POLICY_PARA policy = {};
            policy.cbSize = sizeof policy;
            policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
            policy.pvExtraPolicyPara = &ssl;
            CERT_CHAIN_POLICY_STATUS status = {};
            status.cbSize = sizeof status;
            verdict = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)
                          ? VerdictOfPolicy(status.dwError)
                          : CertificateVerdict::Invalid;
        }
        CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(certificate);
    return verdict;
}
