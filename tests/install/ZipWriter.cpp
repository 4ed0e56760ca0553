#include "ZipWriter.h"

#include <stdexcept>

#include <zlib.h>

namespace {

void Put16(std::string& out, uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::string RawDeflate(const std::string& data)
{
    z_stream stream = {};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(stream.total_out);
    return out;
}

constexpr size_t kLocalHeaderBytes = 30;

}  // namespace

void ZipWriter::AddFile(const std::string& name, const std::string& data, Method method, uint32_t dosTime,
                        bool utf8Name)
{
    Entry entry;
    entry.flags = utf8Name ? 0x800 : 0;
    entry.name = name;
    entry.method = method == Method::Stored ? 0 : 8;
    entry.data = method == Method::Stored ? data : RawDeflate(data);
    entry.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    entry.size = static_cast<uint32_t>(data.size());
    entry.dosTime = dosTime;
    entry.externalAttributes = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
    m_entries.push_back(entry);
}

void ZipWriter::AddDirectory(const std::string& name, uint32_t dosTime)
{
    Entry entry;
    entry.name = name;
    entry.method = 0;
    entry.crc = 0;
    entry.size = 0;
    entry.dosTime = dosTime;
    entry.externalAttributes = 0x10;  // FILE_ATTRIBUTE_DIRECTORY
    m_entries.push_back(entry);
}

void ZipWriter::DeclareSize(uint32_t size, bool matchingCrc)
{
    Entry& entry = m_entries.back();
    entry.size = size;
    if (matchingCrc) {
        std::string claimed = entry.method == 0 ? entry.data : std::string();
        if (entry.method != 0) throw std::runtime_error("DeclareSize: a matching checksum only for stored entries");
        claimed.resize(size, '\0');
        entry.crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(claimed.data()), static_cast<uInt>(claimed.size())));
    }
}

size_t ZipWriter::DataOffset(size_t index) const
{
    size_t offset = 0;
    for (size_t i = 0; i < index; ++i) offset += kLocalHeaderBytes + m_entries[i].name.size() + m_entries[i].data.size();
    return offset + kLocalHeaderBytes + m_entries[index].name.size();
}

std::string ZipWriter::Finish(unsigned extraEntries) const
{
    std::string out;
    std::vector<uint32_t> offsets;
    for (const Entry& e : m_entries) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        Put32(out, 0x04034b50);
        Put16(out, 20);
        Put16(out, e.flags);
        Put16(out, e.method);
        Put32(out, e.dosTime);
        Put32(out, e.crc);
        Put32(out, static_cast<uint32_t>(e.data.size()));
        Put32(out, e.size);
        Put16(out, static_cast<uint32_t>(e.name.size()));
        Put16(out, 0);
        out += e.name;
        out += e.data;
    }
    size_t directoryStart = out.size();
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        Put32(out, 0x02014b50);
        Put16(out, 20);
        Put16(out, 20);
        Put16(out, e.flags);
        Put16(out, e.method);
        Put32(out, e.dosTime);
        Put32(out, e.crc);
        Put32(out, static_cast<uint32_t>(e.data.size()));
        Put32(out, e.size);
        Put16(out, static_cast<uint32_t>(e.name.size()));
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, 0);
        Put32(out, e.externalAttributes);
        Put32(out, offsets[i]);
        out += e.name;
    }
    size_t directorySize = out.size() - directoryStart;
    uint32_t count = static_cast<uint32_t>(m_entries.size() + extraEntries);
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, count);
    Put16(out, count);
    Put32(out, static_cast<uint32_t>(directorySize));
    Put32(out, static_cast<uint32_t>(directoryStart));
    Put16(out, 0);
    return out;
}

std::string PatternBytes(size_t size, uint32_t seed)
{
    std::string out(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out[i] = static_cast<char>(state >> 24);
    }
    return out;
}
