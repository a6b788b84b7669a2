#include "raw_zip.h"

#include <zlib.h>

namespace rk::test {

namespace {

std::string RawDeflate(const std::string& content) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, content.size()) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::uint32_t Crc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

} // namespace

std::string RepeatedZerosStream(std::size_t chunk, std::size_t count) {
    // Flushed to a byte boundary and not final, the chunk's blocks decode
    // the same wherever they stand: their first symbol is a literal and their
    // matches reach back only into the chunk.
    const std::string zeros(chunk, '\0');
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string block(deflateBound(&stream, zeros.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    stream.avail_in = static_cast<uInt>(zeros.size());
    stream.next_out = reinterpret_cast<Bytef*>(block.data());
    stream.avail_out = static_cast<uInt>(block.size());
    deflate(&stream, Z_SYNC_FLUSH);
    block.resize(stream.total_out);
    deflateEnd(&stream);
    std::string out;
    out.reserve(block.size() * count + 2);
    for (std::size_t i = 0; i < count; ++i)
        out += block;
    // An empty final block with the fixed codes.
    out += std::string("\x03\x00", 2);
    return out;
}

RawEntry UnixEntry(std::string name, std::string content, std::uint32_t mode) {
    RawEntry entry;
    entry.name = std::move(name);
    entry.content = std::move(content);
    entry.externalAttributes = mode << 16;
    return entry;
}

RawEntry DosEntry(std::string name, std::string content, std::uint8_t dosBits) {
    RawEntry entry;
    entry.name = std::move(name);
    entry.content = std::move(content);
    entry.madeOn = kMadeOnDos;
    entry.externalAttributes = dosBits;
    return entry;
}

std::string LittleEndian(std::uint64_t value, int size) {
    std::string bytes;
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xff);
    return bytes;
}

std::string ExtraField(std::uint16_t id, const std::string& data) {
    return LittleEndian(id, 2) + LittleEndian(data.size(), 2) + data;
}

std::string RawZip(const std::vector<RawEntry>& entries) {
    std::string archive;
    std::string central;
    std::vector<std::size_t> offsets;
    for (const auto& entry : entries) {
        const std::string packed =
            entry.packed ? *entry.packed
                         : (entry.deflate ? RawDeflate(entry.content) : entry.content);
        const std::uint32_t packedSize =
            entry.declaredPackedSize.value_or(static_cast<std::uint32_t>(packed.size()));
        const std::uint32_t size =
            entry.declaredSize.value_or(static_cast<std::uint32_t>(entry.content.size()));
        const std::uint32_t crc = Crc(entry.content.substr(0, size));
        const std::uint16_t method = entry.deflate ? 8 : 0;
        // From the version needed on: the same in both records.
        const std::string common = LittleEndian(20, 2) + LittleEndian(entry.flags, 2) +
                                   LittleEndian(method, 2) + LittleEndian(entry.dosTime, 2) +
                                   LittleEndian(entry.dosDate, 2) + LittleEndian(crc, 4) +
                                   LittleEndian(packedSize, 4) + LittleEndian(size, 4) +
                                   LittleEndian(entry.name.size(), 2);
        const std::size_t offset =
            entry.sharesDataOf ? offsets.at(*entry.sharesDataOf) : archive.size();
        offsets.push_back(offset);
        if (!entry.sharesDataOf)
            archive += LittleEndian(0x04034b50, 4) + common +
                       LittleEndian(entry.localExtra.size(), 2) + entry.name + entry.localExtra +
                       packed;
        central += LittleEndian(0x02014b50, 4) + LittleEndian(entry.madeOn << 8 | 20, 2) + common +
                   LittleEndian(entry.centralExtra.size(), 2) + LittleEndian(0, 2) +
                   LittleEndian(0, 2) + LittleEndian(0, 2) +
                   LittleEndian(entry.externalAttributes, 4) + LittleEndian(offset, 4) +
                   entry.name + entry.centralExtra;
    }
    const std::size_t centralAt = archive.size();
    archive += central;
    archive += LittleEndian(0x06054b50, 4) + LittleEndian(0, 4) + LittleEndian(entries.size(), 2) +
               LittleEndian(entries.size(), 2) + LittleEndian(central.size(), 4) +
               LittleEndian(centralAt, 4) + LittleEndian(0, 2);
    return archive;
}

} // namespace rk::test
