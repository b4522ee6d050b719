#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

// Packages built at test time with libzip, and byte surgery on them for hostile cases.
namespace ZipFixtures {

using Entries = std::vector<std::pair<QString, QByteArray>>;

// Writes a ZIP with deflated entries (stored when deflate is false); optionally encrypts one.
bool write(const QString &path, const Entries &entries, bool deflate = true, int encryptIndex = -1);

// Rewrites the uncompressed-size field of the named entry in its local and central headers.
QByteArray withDeclaredSize(QByteArray zip, const QByteArray &name, quint32 size);

// Every entry of an archive read back through libzip (sizes and CRCs checked); false on error.
bool readAll(const QByteArray &zip, Entries *entries);

QByteArray documentXml(const QString &bodyParagraphs, const QString &prefix = QStringLiteral("w"));

} // namespace ZipFixtures
