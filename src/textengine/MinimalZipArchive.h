#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

// A ZIP archive whose entries are stored uncompressed: local headers with the data, then the
// central directory and the end record. No time stamps, extra fields, comments or ZIP64, so the
// same entries always give the same bytes.
struct MinimalZipArchive {
    struct Entry {
        QString path; // forward slashes, no leading slash; written as UTF-8
        QByteArray data;
    };

    std::vector<Entry> entries;

    // The archive, or nothing when an entry does not fit the format's fields (a name above
    // 65,535 bytes, sizes or offsets above 0xFFFFFFFF, more than 65,535 entries): a truncated
    // field would make a broken file.
    std::optional<QByteArray> archiveData() const;

    // CRC-32 as ZIP and zlib compute it ("123456789" gives CBF43926).
    static quint32 crc32(QByteArrayView data);
};
