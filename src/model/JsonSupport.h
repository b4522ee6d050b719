#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <exception>
#include <optional>
#include <vector>

// Strict reading and careful writing of the JSON records the program stores (project files and
// preferences). QJsonValue converts silently (a string reads as 0, NaN is written as null), which
// would accept broken files and produce unreadable ones; these helpers refuse both instead.
//
// Reading: a required member that is missing or null, or any member of the wrong JSON type, throws
// DecodeError carrying the key path ("images[0].annotations[2].kind"). Optional members that are
// missing or null read as absent. Unknown keys are ignored. Top-level decoders catch the error and
// turn it into their own failure value, so nothing is ever partially read.
//
// Writing: numbers go through finiteNumber(), which throws EncodeError for NaN and infinities.
namespace Json {

class DecodeError : public std::exception {
public:
    DecodeError(QString path, QString message);
    const QString &path() const { return m_path; }
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_path;
    QString m_message;
    QByteArray m_what;
};

class EncodeError : public std::exception {
public:
    explicit EncodeError(QString path);
    const QString &path() const { return m_path; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_path;
    QByteArray m_what;
};

// Path of a member or an element below a parent path.
QString memberPath(const QString &parent, const QString &key);
QString elementPath(const QString &parent, qsizetype index);

// Single values; each throws DecodeError naming `path` when the value has the wrong type.
QString stringValue(const QJsonValue &value, const QString &path);
double numberValue(const QJsonValue &value, const QString &path);
// A JSON number without a fractional part that fits in 64 bits.
qint64 integerValue(const QJsonValue &value, const QString &path);
// Only true and false: 0 and 1 are numbers, not booleans.
bool boolValue(const QJsonValue &value, const QString &path);
// 36 characters, 8-4-4-4-12 hexadecimal digits, either case.
QUuid uuidValue(const QJsonValue &value, const QString &path);
// Standard Base64 alphabet with "=" padding and no line breaks or other characters.
QByteArray base64Value(const QJsonValue &value, const QString &path);

// Strict Base64 decoding; nothing for any text that is not canonical standard Base64.
std::optional<QByteArray> decodeBase64Strict(QStringView text);

// Reads the members of one JSON object.
class ObjectReader {
public:
    // Throws DecodeError when the value is not an object.
    ObjectReader(const QJsonValue &value, QString path);
    explicit ObjectReader(QJsonObject object, QString path = {});

    const QString &path() const { return m_path; }
    QString pathOf(const QString &key) const { return memberPath(m_path, key); }
    // Present and not null.
    bool has(const QString &key) const;
    // The raw value of a required member; throws when it is missing or null.
    QJsonValue required(const QString &key) const;
    // The raw value of an optional member; nothing when missing or null.
    std::optional<QJsonValue> optional(const QString &key) const;

    QString string(const QString &key) const;
    std::optional<QString> optionalString(const QString &key) const;
    double number(const QString &key) const;
    std::optional<double> optionalNumber(const QString &key) const;
    qint64 integer(const QString &key) const;
    std::optional<qint64> optionalInteger(const QString &key) const;
    bool boolean(const QString &key) const;
    QUuid uuid(const QString &key) const;
    std::optional<QUuid> optionalUuid(const QString &key) const;
    QByteArray base64(const QString &key) const;
    ObjectReader object(const QString &key) const;

    // The elements of an array value, each read by `read`.
    template<typename Read>
    static auto readArray(const QJsonValue &value, const QString &path, Read read)
    {
        using Element = decltype(read(QJsonValue(), QString()));
        if (!value.isArray())
            throw DecodeError(path, QStringLiteral("expected an array"));
        const QJsonArray array = value.toArray();
        std::vector<Element> result;
        result.reserve(size_t(array.size()));
        for (qsizetype i = 0; i < array.size(); ++i)
            result.push_back(read(array.at(i), elementPath(path, i)));
        return result;
    }

    // A required array, each element read by `read(const QJsonValue &, const QString &path)`.
    template<typename Read>
    auto array(const QString &key, Read read) const
    {
        return readArray(required(key), pathOf(key), read);
    }
    // An optional array: missing or null gives nothing.
    template<typename Read>
    auto optionalArray(const QString &key, Read read) const
        -> std::optional<decltype(readArray(QJsonValue(), QString(), read))>
    {
        if (!has(key))
            return std::nullopt;
        return readArray(m_object.value(key), pathOf(key), read);
    }

private:
    QJsonObject m_object;
    QString m_path;
};

// Parsed, every array and object takes about 160 bytes and every other value about 16, beyond
// the text of its strings: a file of tiny arrays ("[0],[0],…") needs some 44 bytes per byte.
// A document whose structure would need more than this is refused before it is parsed.
constexpr qint64 maxParsedStructureBytes = qint64(1) << 30;

// The memory the document's structure would take parsed, by the estimate above, from a scan of
// its bytes that skips the strings.
qint64 parsedStructureBytes(const QByteArray &bytes);

// Parses a whole document whose root must be an object; throws DecodeError otherwise, and for a
// document whose structure would take more than maxParsedStructureBytes.
QJsonObject parseObject(const QByteArray &bytes);

// A number for writing; throws EncodeError for NaN and infinities.
QJsonValue finiteNumber(double value, const QString &path);

// Standard Base64 with padding and no line breaks.
QString base64Text(const QByteArray &bytes);

// Pretty-printed (members sorted by key, as QJsonObject keeps them) and compact forms.
QByteArray prettyText(const QJsonObject &object);
QByteArray compactText(const QJsonObject &object);
QByteArray compactText(const QJsonArray &array);

} // namespace Json
