#pragma once
// Builds small zip archives in memory for tests: stored (uncompressed)
// entries, optionally with a wrong checksum to stand for a damaged entry.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class TestZip {
public:
    void Add(const std::string& name, const std::string& data, bool damaged = false)
    {
        m_entries.push_back({name, data, damaged});
    }

    std::string Bytes() const
    {
        std::string out, directory;
        for (const Entry& entry : m_entries) {
            uint32_t crc = static_cast<uint32_t>(
                crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())));
            if (entry.damaged) crc ^= 0x5A5A5A5A;
            uint32_t offset = static_cast<uint32_t>(out.size());
            uint32_t size = static_cast<uint32_t>(entry.data.size());
            uint16_t nameLength = static_cast<uint16_t>(entry.name.size());
            Put32(out, 0x04034b50);
            Put16(out, 20); Put16(out, 0); Put16(out, 0);  // version, flags, stored
            Put16(out, 0); Put16(out, 0x21);               // 1980-01-01 00:00
            Put32(out, crc); Put32(out, size); Put32(out, size);
            Put16(out, nameLength); Put16(out, 0);
            out += entry.name;
            out += entry.data;

            Put32(directory, 0x02014b50);
            Put16(directory, 20); Put16(directory, 20); Put16(directory, 0); Put16(directory, 0);
            Put16(directory, 0); Put16(directory, 0x21);
            Put32(directory, crc); Put32(directory, size); Put32(directory, size);
            Put16(directory, nameLength); Put16(directory, 0); Put16(directory, 0);
            Put16(directory, 0); Put16(directory, 0); Put32(directory, 0);
            Put32(directory, offset);
            directory += entry.name;
        }
        uint32_t directoryOffset = static_cast<uint32_t>(out.size());
        out += directory;
        Put32(out, 0x06054b50);
        Put16(out, 0); Put16(out, 0);
        Put16(out, static_cast<uint16_t>(m_entries.size())); Put16(out, static_cast<uint16_t>(m_entries.size()));
        Put32(out, static_cast<uint32_t>(directory.size())); Put32(out, directoryOffset);
        Put16(out, 0);
        return out;
    }

private:
    struct Entry {
        std::string name;
        std::string data;
        bool damaged;
    };
    static void Put16(std::string& out, uint16_t value)
    {
        out += static_cast<char>(value & 0xFF);
        out += static_cast<char>(value >> 8);
    }
    static void Put32(std::string& out, uint32_t value)
    {
        Put16(out, static_cast<uint16_t>(value & 0xFFFF));
        Put16(out, static_cast<uint16_t>(value >> 16));
    }
    std::vector<Entry> m_entries;
};

}  // namespace testing_support
