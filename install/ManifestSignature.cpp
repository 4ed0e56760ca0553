#include "install/ManifestSignature.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <type_traits>

#include "install/CngHash.h"
#include "install/PackageManifest.h"
#include "ui/core/SystemLibrary.h"

namespace {

struct EcdsaFunctions {
    decltype(&BCryptOpenAlgorithmProvider) open = nullptr;
    decltype(&BCryptCloseAlgorithmProvider) close = nullptr;
    decltype(&BCryptImportKeyPair) import = nullptr;
    decltype(&BCryptVerifySignature) verify = nullptr;
    decltype(&BCryptDestroyKey) destroy = nullptr;
    bool complete = false;
};

const EcdsaFunctions& Ecdsa()
{
    static const EcdsaFunctions functions = [] {
        EcdsaFunctions f;
        HMODULE module = SkinUI::LoadSystemLibrary(L"bcrypt.dll");
        if (module == nullptr) return f;
        auto find = [module](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
                reinterpret_cast<void*>(::GetProcAddress(module, name)));
            return slot != nullptr;
        };
        f.complete = find(f.open, "BCryptOpenAlgorithmProvider") && find(f.close, "BCryptCloseAlgorithmProvider") &&
                     find(f.import, "BCryptImportKeyPair") && find(f.verify, "BCryptVerifySignature") &&
                     find(f.destroy, "BCryptDestroyKey");
        return f;
    }();
    return functions;
}

constexpr ULONG kCoordinateBytes = 32;

// Does the key (X || Y) verify `signature` over `digest`?
bool Verifies(const EcdsaFunctions& cng, BCRYPT_ALG_HANDLE algorithm, const std::string& point,
              const std::string& digest, const std::string& signature)
{
    if (point.size() != 2 * kCoordinateBytes) return false;
    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateBytes];
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateBytes};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, point.data(), point.size());
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!BCRYPT_SUCCESS(cng.import(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob, sizeof blob, 0))) return false;
    const NTSTATUS status = cng.verify(key, nullptr, reinterpret_cast<PUCHAR>(const_cast<char*>(digest.data())),
                                       static_cast<ULONG>(digest.size()),
                                       reinterpret_cast<PUCHAR>(const_cast<char*>(signature.data())),
                                       static_cast<ULONG>(signature.size()), 0);
    cng.destroy(key);
    return BCRYPT_SUCCESS(status);
}

}  // namespace

int ManifestSigner(const std::string& message, const std::string& signature, const std::vector<std::string>& keys)
{
    const EcdsaFunctions& cng = Ecdsa();
    if (!cng.complete || signature.size() != 2 * kCoordinateBytes) return -1;
    CngHash hash(BCRYPT_SHA256_ALGORITHM);
    hash.Update(message.data(), message.size());
    const std::string digest = hash.Digest();
    if (digest.size() != 32) return -1;
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(cng.open(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) return -1;
    int signer = -1;
    for (size_t i = 0; i < keys.size() && signer < 0; ++i) {
        std::string point;
        if (DecodeBase64(keys[i], &point) && Verifies(cng, algorithm, point, digest, signature)) {
            signer = static_cast<int>(i);
        }
    }
    cng.close(algorithm, 0);
    return signer;
}
