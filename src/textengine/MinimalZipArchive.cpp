#include "textengine/MinimalZipArchive.h"

#include <array>

namespace {

constexpr std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        table[i] = value;
    }
    return table;
}

// Built at compile time: nothing to initialise on first use, and safe from any thread.
constexpr std::array<quint32, 256> crcTable = makeCrcTable();

void put16(QByteArray &out, quint32 value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void put32(QByteArray &out, quint32 value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

constexpr quint64 max16 = 0xFFFF;
constexpr quint64 max32 = 0xFFFFFFFF;

} // namespace

quint32 MinimalZipArchive::crc32(QByteArrayView data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = crcTable[(crc ^ quint8(byte)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::optional<QByteArray> MinimalZipArchive::archiveData() const
{
    if (entries.size() > max16)
        return std::nullopt;
    struct Written {
        QByteArray name;
        quint32 size;
        quint32 crc;
        quint32 offset;
    };
    std::vector<Written> written;
    written.reserve(entries.size());
    QByteArray archive;
    for (const Entry &entry : entries) {
        const QByteArray name = entry.path.toUtf8();
        const quint64 offset = quint64(archive.size());
        if (quint64(name.size()) > max16 || quint64(entry.data.size()) > max32 || offset > max32)
            return std::nullopt;
        const quint32 crc = crc32(entry.data);
        const quint32 size = quint32(entry.data.size());
        put32(archive, 0x04034b50);
        put16(archive, 20); // version needed: 2.0
        put16(archive, 0);  // flags
        put16(archive, 0);  // stored
        put16(archive, 0);  // time
        put16(archive, 0);  // date
        put32(archive, crc);
        put32(archive, size);
        put32(archive, size);
        put16(archive, quint32(name.size()));
        put16(archive, 0); // extra field length
        archive.append(name);
        archive.append(entry.data);
        written.push_back({name, size, crc, quint32(offset)});
    }
    const quint64 directoryOffset = quint64(archive.size());
    QByteArray directory;
    for (const Written &entry : written) {
        put32(directory, 0x02014b50);
        put16(directory, 20); // made by 2.0
        put16(directory, 20); // needed 2.0
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, entry.crc);
        put32(directory, entry.size);
        put32(directory, entry.size);
        put16(directory, quint32(entry.name.size()));
        put16(directory, 0); // extra
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, 0); // external attributes
        put32(directory, entry.offset);
        directory.append(entry.name);
    }
    if (directoryOffset > max32 || quint64(directory.size()) > max32)
        return std::nullopt;
    archive.append(directory);
    put32(archive, 0x06054b50);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, quint32(written.size()));
    put16(archive, quint32(written.size()));
    put32(archive, quint32(directory.size()));
    put32(archive, quint32(directoryOffset));
    put16(archive, 0);
    return archive;
}
