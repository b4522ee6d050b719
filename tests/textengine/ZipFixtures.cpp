#include "ZipFixtures.h"

#include <QFile>

#include <zip.h>

namespace ZipFixtures {

bool write(const QString &path, const Entries &entries, bool deflate, int encryptIndex)
{
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const QByteArray &data = entries[k].second;
        zip_source_t *source = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
        const zip_int64_t index =
            zip_file_add(archive, entries[k].first.toUtf8().constData(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        zip_set_file_compression(archive, zip_uint64_t(index), deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        if (int(k) == encryptIndex
            && zip_file_set_encryption(archive, zip_uint64_t(index), ZIP_EM_AES_256, "secret") != 0) {
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

namespace {

quint32 read32(const QByteArray &b, qsizetype at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
        | quint32(quint8(b[at + 3])) << 24;
}
quint16 read16(const QByteArray &b, qsizetype at)
{
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}
void write32(QByteArray &b, qsizetype at, quint32 v)
{
    for (int k = 0; k < 4; ++k)
        b[at + k] = char((v >> (8 * k)) & 0xFF);
}

} // namespace

QByteArray withDeclaredSize(QByteArray zip, const QByteArray &name, quint32 size)
{
    for (qsizetype at = 0; at + 46 <= zip.size(); ++at) {
        const quint32 signature = read32(zip, at);
        if (signature == 0x04034b50) {
            const quint16 nameLength = read16(zip, at + 26);
            if (zip.mid(at + 30, nameLength) == name)
                write32(zip, at + 22, size);
        } else if (signature == 0x02014b50) {
            const quint16 nameLength = read16(zip, at + 28);
            if (zip.mid(at + 46, nameLength) == name)
                write32(zip, at + 24, size);
        }
    }
    return zip;
}

bool readAll(const QByteArray &zip, Entries *entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &error);
    if (!source)
        return false;
    zip_t *archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_source_free(source);
        return false;
    }
    bool ok = true;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t index = 0; index < count && ok; ++index) {
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(index), 0, &stat);
        zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(index), 0);
        if (!file) {
            ok = false;
            break;
        }
        QByteArray data(qsizetype(stat.size), Qt::Uninitialized);
        const zip_int64_t got = zip_fread(file, data.data(), stat.size);
        char extra;
        ok = got == zip_int64_t(stat.size) && zip_fread(file, &extra, 1) == 0;
        zip_fclose(file);
        entries->emplace_back(QString::fromUtf8(stat.name), data);
    }
    zip_discard(archive);
    return ok;
}

QByteArray documentXml(const QString &bodyParagraphs, const QString &prefix)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                          "<%1:document xmlns:%1=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
                          "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
                          "<%1:body>%2</%1:body></%1:document>")
        .arg(prefix, bodyParagraphs)
        .toUtf8();
}

} // namespace ZipFixtures
