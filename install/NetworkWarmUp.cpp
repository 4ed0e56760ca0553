#include "install/NetworkWarmUp.h"

#include <objbase.h>
#include <process.h>
#include <wincrypt.h>

#include <memory>

#include "install/SystemProxy.h"
#include "ui/core/SystemLibrary.h"

namespace {

HANDLE s_warmUp = nullptr;
HANDLE s_preloaded = nullptr;

// What Wine's network DLLs load by name as they go (winhttp: iphlpapi,
// dhcpcsvc, secur32, crypt32; secur32: its security packages and schannel;
// crypt32: cryptnet; cryptnet: wininet; the packages: netapi32, dnsapi).
// Wine resolves those with the old search order, program folder first; and
// secur32 unloads what a failing security package brought, so a DLL that
// was loaded a moment ago is looked for again. Loaded here from the system
// folder and held, each is found by name whenever it is asked for (Windows
// maps most of them as KnownDLLs anyway). Holding secur32 also keeps curl
// from setting SSPI up anew for every attempt (it loads secur32, which
// starts every security package, and unloads it again: under Wine 20 ms an
// attempt).
constexpr const wchar_t* kNetworkLibraries[] = {
    L"iphlpapi.dll", L"dhcpcsvc.dll", L"dnsapi.dll",   L"netapi32.dll", L"kerberos.dll", L"msv1_0.dll",
    L"secur32.dll",  L"schannel.dll", L"crypt32.dll", L"cryptnet.dll", L"wininet.dll"};

unsigned __stdcall WarmUp(void* argument)
{
    const std::unique_ptr<std::vector<std::string>> urls(static_cast<std::vector<std::string>*>(argument));
    for (const wchar_t* name : kNetworkLibraries) SkinUI::LoadSystemLibrary(name);
    SetEvent(s_preloaded);
    // The roots before the proxies: a request that starts meanwhile reads
    // its proxy settings itself, beside this. One chain, of the first root,
    // also builds the default chain engine with its stores.
    if (HCERTSTORE roots = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                         CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG |
                                             CERT_STORE_OPEN_EXISTING_FLAG,
                                         L"Root")) {
        if (PCCERT_CONTEXT root = CertEnumCertificatesInStore(roots, nullptr)) {
            CERT_CHAIN_PARA para = {};
            para.cbSize = sizeof para;
            PCCERT_CHAIN_CONTEXT chain = nullptr;
            if (CertGetCertificateChain(nullptr, root, nullptr, nullptr, &para, 0, nullptr, &chain)) {
                CertFreeCertificateChain(chain);
            }
            CertFreeCertificateContext(root);
        }
        CertCloseStore(roots, 0);
    }
    // As the installation's own thread: a PAC script runs through COM.
    const HRESULT com = CoInitialize(nullptr);
    for (const std::string& url : *urls) {
        if (!url.empty()) SystemProxy::Instance().Prefetch(url);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

}  // namespace

void StartNetworkWarmUp(std::vector<std::string> urls)
{
    if (s_warmUp != nullptr) return;
    s_preloaded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (s_preloaded == nullptr) return;
    auto* work = new std::vector<std::string>(std::move(urls));
    s_warmUp = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WarmUp, work, 0, nullptr));
    if (s_warmUp == nullptr) {
        delete work;
        SetEvent(s_preloaded);
    }
}

void WaitForNetworkLibraries()
{
    // Bounded: a system that cannot load them lets the request go on.
    if (s_preloaded != nullptr) WaitForSingleObject(s_preloaded, 10000);
}

bool WaitForNetworkWarmUp(DWORD timeoutMs)
{
    return s_warmUp == nullptr || WaitForSingleObject(s_warmUp, timeoutMs) == WAIT_OBJECT_0;
}
