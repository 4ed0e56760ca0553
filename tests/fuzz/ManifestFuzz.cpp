// The signed package manifest as the installer reads it from the network:
// the envelope, then (as if its signature held) the manifest inside, and the
// input itself as a manifest. Beyond not crashing:
//   - base64 is read one way only: what decodes encodes back to the same text;
//   - a manifest read has a positive size and a 64-digit lower-case hash;
//   - a refusal always says why.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "install/PackageManifest.h"

namespace {

std::string EncodeBase64(const std::string& bytes)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    size_t at = 0;
    for (; at + 3 <= bytes.size(); at += 3) {
        const uint32_t group = (static_cast<uint8_t>(bytes[at]) << 16) | (static_cast<uint8_t>(bytes[at + 1]) << 8) |
                               static_cast<uint8_t>(bytes[at + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) text.push_back(kDigits[(group >> shift) & 63]);
    }
    const size_t left = bytes.size() - at;
    if (left > 0) {
        uint32_t group = static_cast<uint8_t>(bytes[at]) << 16;
        if (left == 2) group |= static_cast<uint8_t>(bytes[at + 1]) << 8;
        text.push_back(kDigits[(group >> 18) & 63]);
        text.push_back(kDigits[(group >> 12) & 63]);
        text.push_back(left == 2 ? kDigits[(group >> 6) & 63] : '=');
        text.push_back('=');
    }
    return text;
}

void CheckManifest(const std::string& bytes)
{
    PackageManifest manifest;
    std::string error;
    if (!ReadPackageManifest(bytes, &manifest, &error)) {
        if (error.empty()) abort();
        return;
    }
    if (!error.empty() || manifest.size <= 0 || manifest.sha256.size() != 64 || manifest.version < 0 ||
        manifest.expires < 0) {
        abort();
    }
    for (char c : manifest.sha256)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string bytes;
    if (DecodeBase64(input, &bytes) && EncodeBase64(bytes) != input) abort();

    SignedManifest envelope;
    std::string error;
    if (ReadSignedManifest(input, &envelope, &error)) {
        if (envelope.signature.size() != 64) abort();
        CheckManifest(envelope.manifest);
    } else if (error.empty()) {
        abort();
    }
    CheckManifest(input);
    return 0;
}
