#pragma once
// The check of a package manifest's signature against the release keys the
// build embeds, with the system's CNG: ECDSA P-256 over SHA-256. bcrypt.dll
// is loaded at run time from the system folder, as for the package's hash.

#include <string>
#include <vector>

// `keys`: each a release key's public half, base64 of its 64 bytes X || Y
// (tools/release-key.sh prints it). The index of the key that signed
// `message` with `signature` (r || s, 64 bytes); -1 when none did, or a key
// cannot be read, or CNG is missing.
int ManifestSigner(const std::string& message, const std::string& signature, const std::vector<std::string>& keys);
