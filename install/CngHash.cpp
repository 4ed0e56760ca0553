#include "install/CngHash.h"

#include <bcrypt.h>

#include <cstdio>
#include <type_traits>
#include <vector>

#include "ui/core/SystemLibrary.h"

namespace {

struct CngFunctions {
    decltype(&BCryptOpenAlgorithmProvider) open = nullptr;
    decltype(&BCryptCloseAlgorithmProvider) close = nullptr;
    decltype(&BCryptCreateHash) create = nullptr;
    decltype(&BCryptHashData) hashData = nullptr;
    decltype(&BCryptGetProperty) getProperty = nullptr;
    decltype(&BCryptFinishHash) finish = nullptr;
    decltype(&BCryptDestroyHash) destroy = nullptr;
    bool complete = false;
};

const CngFunctions& Cng()
{
    static const CngFunctions functions = [] {
        CngFunctions f;
        HMODULE module = SkinUI::LoadSystemLibrary(L"bcrypt.dll");
        if (module == nullptr) return f;
        auto find = [module](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
                reinterpret_cast<void*>(::GetProcAddress(module, name)));
            return slot != nullptr;
        };
        f.complete = find(f.open, "BCryptOpenAlgorithmProvider") && find(f.close, "BCryptCloseAlgorithmProvider") &&
                     find(f.create, "BCryptCreateHash") && find(f.hashData, "BCryptHashData") &&
                     find(f.getProperty, "BCryptGetProperty") && find(f.finish, "BCryptFinishHash") &&
                     find(f.destroy, "BCryptDestroyHash");
        return f;
    }();
    return functions;
}

}  // namespace

CngHash::CngHash(const wchar_t* algorithm)
{
    const CngFunctions& cng = Cng();
    if (!cng.complete) return;
    BCRYPT_ALG_HANDLE provider = nullptr;
    if (!BCRYPT_SUCCESS(cng.open(&provider, algorithm, nullptr, 0))) return;
    m_algorithm = provider;
    BCRYPT_HASH_HANDLE hash = nullptr;
    // Since Windows 7 CNG keeps the hash object itself when given none.
    if (BCRYPT_SUCCESS(cng.create(provider, &hash, nullptr, 0, nullptr, 0, 0))) m_hash = hash;
}

CngHash::~CngHash()
{
    const CngFunctions& cng = Cng();
    if (m_hash != nullptr) cng.destroy(m_hash);
    if (m_algorithm != nullptr) cng.close(m_algorithm, 0);
}

void CngHash::Update(const void* data, size_t size)
{
    if (!IsValid()) return;
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0 && m_ok) {
        const ULONG chunk = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        m_ok = BCRYPT_SUCCESS(Cng().hashData(m_hash, bytes, chunk, 0));
        bytes += chunk;
        size -= chunk;
    }
}

std::string CngHash::Digest()
{
    if (!IsValid()) return std::string();
    const CngFunctions& cng = Cng();
    DWORD length = 0;
    ULONG written = 0;
    if (!BCRYPT_SUCCESS(cng.getProperty(m_hash, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof length,
                                        &written, 0)) ||
        length == 0 || length > 64) {
        m_ok = false;
        return std::string();
    }
    UCHAR digest[64];
    m_ok = BCRYPT_SUCCESS(cng.finish(m_hash, digest, length, 0));
    if (!m_ok) return std::string();
    return std::string(reinterpret_cast<const char*>(digest), length);
}

std::string CngHash::HexDigest()
{
    const std::string digest = Digest();
    std::string hex;
    for (unsigned char byte : digest) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", byte);
        hex += two;
    }
    return hex;
}

std::string HashFileHex(const wchar_t* algorithm, const wchar_t* path)
{
    HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    CngHash hash(algorithm);
    std::vector<unsigned char> buffer(1 << 20);
    DWORD read = 0;
    bool ok = hash.IsValid();
    while (ok) {
        if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) ok = false;
        else if (read == 0) break;
        else hash.Update(buffer.data(), read);
    }
    ::CloseHandle(file);
    return ok ? hash.HexDigest() : std::string();
}
