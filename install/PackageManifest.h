#pragma once
// The signed package manifest, as published next to the package
// (<package URL>.sig.json):
//
//   {"manifest":"<base64 of the manifest's bytes>","signature":"<base64 of r || s>"}
//
// and inside, the manifest's own bytes, exactly as signed:
//
//   {"package":"Orrery2.zip","size":1243685,"sha256":"<64 hex digits>",
//    "version":7,"expires":1798675200}
//
// The signature (ECDSA P-256 over SHA-256, r and s as 32 bytes each) covers
// those bytes as they are: nothing is re-encoded or put in a canonical form
// before it is checked. "expires" is seconds since 1970 (UTC), "version" a
// number that grows with every release.
//
// Read strictly: data from the network, and what it says is installed as
// administrator. Both objects are flat; a name given twice, a number with a
// fraction, a sign, an exponent or leading zeros, or more digits than fit, a
// hash that is not 64 hex digits, a missing member, or anything after the
// closing brace refuses the whole manifest. Unknown members are skipped, so
// later manifests can say more. Pure: no Windows, built and fuzzed natively.

#include <cstdint>
#include <string>

struct SignedManifest {
    std::string manifest;   // the signed bytes
    std::string signature;  // r || s, 64 bytes
};

struct PackageManifest {
    std::string package;  // the file name it describes (informative)
    int64_t size = 0;
    std::string sha256;  // lower-case hex
    int64_t version = 0;
    int64_t expires = 0;  // seconds since 1970-01-01 UTC
};

// The outer file. False (with `error` set) when it is not exactly the
// envelope above, or a base64 text does not decode.
bool ReadSignedManifest(const std::string& file, SignedManifest* out, std::string* error);

// The signed bytes, once their signature has been checked.
bool ReadPackageManifest(const std::string& bytes, PackageManifest* out, std::string* error);

// Standard base64 with padding, nothing else (no line breaks, no URL
// alphabet); false for anything that is not.
bool DecodeBase64(const std::string& text, std::string* bytes);
