#pragma once
// Builds zip archives in memory for the tests: stored or deflated entries,
// directory entries, any name bytes and DOS time stamps, so that each test
// can make exactly the (possibly hostile) package it needs.

#include <cstdint>
#include <string>
#include <vector>

class ZipWriter {
public:
    enum class Method { Stored, Deflated };

    // 2001-02-03 04:05:06 as DOS date (high 16 bits) and time (low 16 bits).
    static constexpr uint32_t kDefaultDosTime = (21u << 25) | (2u << 21) | (3u << 16) | (4u << 11) | (5u << 5) | 3u;

    // `utf8Name` sets general-purpose bit 11: the name is UTF-8.
    void AddFile(const std::string& name, const std::string& data, Method method = Method::Deflated,
                 uint32_t dosTime = kDefaultDosTime, bool utf8Name = false);
    // `name` should end with '/'.
    void AddDirectory(const std::string& name, uint32_t dosTime = kDefaultDosTime);
    // Makes the last entry claim another uncompressed size (and, with
    // `matchingCrc`, the checksum of its data cut or padded with zeros to that
    // size): archives whose data say otherwise than their directory.
    void DeclareSize(uint32_t size, bool matchingCrc = false);

    // The archive; the central directory claims `extraEntries` more entries
    // than it holds when asked to (a damaged directory).
    std::string Finish(unsigned extraEntries = 0) const;

    // Where entry `index`'s data starts in what Finish returns.
    size_t DataOffset(size_t index) const;

private:
    struct Entry {
        std::string name;
        std::string data;  // as stored (compressed when deflated)
        uint16_t method;
        uint32_t crc;
        uint32_t size;
        uint32_t dosTime;
        uint32_t externalAttributes;
        uint16_t flags = 0;
    };
    std::vector<Entry> m_entries;
};

// Deterministic filler bytes: the same on every platform and run.
std::string PatternBytes(size_t size, uint32_t seed = 1);
