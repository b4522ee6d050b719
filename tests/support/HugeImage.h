#pragma once

#include <QByteArray>
#include <QtEndian>

// A PNG whose header claims width × height pixels (8-bit grey) but that carries only two
// compressed rows: enough for a reader to report the size, cheap to write. Above the decode cap
// it is refused from the header, before width × height bytes are asked for.
inline QByteArray pngClaimingSize(quint32 width, quint32 height)
{
    const auto crc32 = [](const QByteArray &bytes) {
        quint32 crc = 0xFFFFFFFFu;
        for (const char c : bytes) {
            crc ^= quint8(c);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    const auto chunk = [&](const char *type, const QByteArray &data) {
        QByteArray body = QByteArray(type, 4) + data;
        QByteArray out(4, '\0');
        qToBigEndian(quint32(data.size()), out.data());
        QByteArray crc(4, '\0');
        qToBigEndian(crc32(body), crc.data());
        return out + body + crc;
    };
    QByteArray header(13, '\0');
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = 8; // bit depth; colour type 0 (grey), deflate, no filter, no interlace
    // Two rows of zeros, zlib-compressed (qCompress puts a 4-byte length before the stream).
    const QByteArray rows = qCompress(QByteArray(2 * (int(width) + 1), '\0')).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", rows)
        + chunk("IEND", QByteArray());
}
