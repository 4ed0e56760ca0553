#pragma once
// Hashes with the system's CNG. bcrypt.dll is no KnownDLL, so it is loaded at
// run time from the system folder only (a static import would be looked up
// beside Install.exe first, before any of our code runs).

#include <windows.h>

#include <cstddef>
#include <string>

class CngHash {
public:
    // BCRYPT_MD5_ALGORITHM, BCRYPT_SHA256_ALGORITHM, ...
    explicit CngHash(const wchar_t* algorithm);
    ~CngHash();
    CngHash(const CngHash&) = delete;
    CngHash& operator=(const CngHash&) = delete;

    // False when CNG or the algorithm is missing, or a step failed.
    bool IsValid() const { return m_hash != nullptr && m_ok; }
    void Update(const void* data, size_t size);
    // The digest's bytes; empty when anything failed. Ends the hash.
    std::string Digest();
    // The digest in lower-case hex; empty when anything failed. Ends the hash.
    std::string HexDigest();

private:
    void* m_algorithm = nullptr;
    void* m_hash = nullptr;
    bool m_ok = true;
};

// The lower-case hex digest of a whole file, read in large blocks; empty when
// the file cannot be read or CNG fails.
std::string HashFileHex(const wchar_t* algorithm, const wchar_t* path);
