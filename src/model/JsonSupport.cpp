#include "model/JsonSupport.h"

#include "model/UuidText.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <cstring>

namespace Json {

DecodeError::DecodeError(QString path, QString message)
    : m_path(std::move(path))
    , m_message(std::move(message))
    , m_what((m_path.isEmpty() ? QStringLiteral("(root)") : m_path).toUtf8() + ": " + m_message.toUtf8())
{
}

EncodeError::EncodeError(QString path)
    : m_path(std::move(path))
    , m_what("non-finite number at " + m_path.toUtf8())
{
}

QString memberPath(const QString &parent, const QString &key)
{
    return parent.isEmpty() ? key : parent + u'.' + key;
}

QString elementPath(const QString &parent, qsizetype index)
{
    return parent + u'[' + QString::number(index) + u']';
}

QString stringValue(const QJsonValue &value, const QString &path)
{
    if (!value.isString())
        throw DecodeError(path, QStringLiteral("expected a string"));
    return value.toString();
}

double numberValue(const QJsonValue &value, const QString &path)
{
    if (!value.isDouble())
        throw DecodeError(path, QStringLiteral("expected a number"));
    return value.toDouble();
}

qint64 integerValue(const QJsonValue &value, const QString &path)
{
    if (!value.isDouble())
        throw DecodeError(path, QStringLiteral("expected an integer"));
    // toInteger() answers only for whole numbers that fit in 64 bits; the default 0 is ambiguous,
    // so a 0 is accepted only when the number itself is 0.
    const qint64 integer = value.toInteger(0);
    if (integer == 0 && value.toDouble() != 0)
        throw DecodeError(path, QStringLiteral("expected an integer"));
    return integer;
}

bool boolValue(const QJsonValue &value, const QString &path)
{
    if (!value.isBool())
        throw DecodeError(path, QStringLiteral("expected a boolean"));
    return value.toBool();
}

QUuid uuidValue(const QJsonValue &value, const QString &path)
{
    const std::optional<QUuid> id = UuidText::parse(stringValue(value, path));
    if (!id)
        throw DecodeError(path, QStringLiteral("expected a UUID"));
    return *id;
}

std::optional<QByteArray> decodeBase64Strict(QStringView text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'=') {
            ++padding;
            continue;
        }
        const bool inAlphabet = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')
            || c == u'+' || c == u'/';
        // Padding may only close the text: no alphabet character after an "=".
        if (!inAlphabet || padding > 0)
            return std::nullopt;
    }
    if (padding > 2)
        return std::nullopt;
    const auto result = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (result.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
        return std::nullopt;
    return result.decoded;
}

QByteArray base64Value(const QJsonValue &value, const QString &path)
{
    const std::optional<QByteArray> bytes = decodeBase64Strict(stringValue(value, path));
    if (!bytes)
        throw DecodeError(path, QStringLiteral("expected Base64 data"));
    return *bytes;
}

ObjectReader::ObjectReader(const QJsonValue &value, QString path)
    : m_path(std::move(path))
{
    if (!value.isObject())
        throw DecodeError(m_path, QStringLiteral("expected an object"));
    m_object = value.toObject();
}

ObjectReader::ObjectReader(QJsonObject object, QString path)
    : m_object(std::move(object))
    , m_path(std::move(path))
{
}

bool ObjectReader::has(const QString &key) const
{
    const QJsonValue value = m_object.value(key);
    return !value.isUndefined() && !value.isNull();
}

QJsonValue ObjectReader::required(const QString &key) const
{
    if (!has(key))
        throw DecodeError(pathOf(key), QStringLiteral("missing required member"));
    return m_object.value(key);
}

std::optional<QJsonValue> ObjectReader::optional(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    return m_object.value(key);
}

QString ObjectReader::string(const QString &key) const
{
    return stringValue(required(key), pathOf(key));
}

std::optional<QString> ObjectReader::optionalString(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    return stringValue(m_object.value(key), pathOf(key));
}

double ObjectReader::number(const QString &key) const
{
    return numberValue(required(key), pathOf(key));
}

std::optional<double> ObjectReader::optionalNumber(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    return numberValue(m_object.value(key), pathOf(key));
}

qint64 ObjectReader::integer(const QString &key) const
{
    return integerValue(required(key), pathOf(key));
}

std::optional<qint64> ObjectReader::optionalInteger(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    return integerValue(m_object.value(key), pathOf(key));
}

bool ObjectReader::boolean(const QString &key) const
{
    return boolValue(required(key), pathOf(key));
}

QUuid ObjectReader::uuid(const QString &key) const
{
    return uuidValue(required(key), pathOf(key));
}

std::optional<QUuid> ObjectReader::optionalUuid(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    return uuidValue(m_object.value(key), pathOf(key));
}

QByteArray ObjectReader::base64(const QString &key) const
{
    return base64Value(required(key), pathOf(key));
}

ObjectReader ObjectReader::object(const QString &key) const
{
    return ObjectReader(required(key), pathOf(key));
}

qint64 parsedStructureBytes(const QByteArray &bytes)
{
    qint64 containers = 0;
    qint64 values = 0;
    const char *at = bytes.constData();
    const char *end = at + bytes.size();
    while (at < end) {
        switch (*at) {
        case '"': {
            // To the closing quote: one not escaped by an odd run of backslashes. Strings (pictures'
            // base64, long texts) are most of a project, so they are crossed with memchr.
            const char *from = at + 1;
            for (;;) {
                const auto *quote = static_cast<const char *>(std::memchr(from, '"', size_t(end - from)));
                if (!quote)
                    return containers * 160 + values * 16;
                const char *slash = quote;
                while (slash > at + 1 && slash[-1] == '\\')
                    --slash;
                from = quote + 1;
                if ((quote - slash) % 2 == 0)
                    break;
            }
            at = from;
            continue;
        }
        case '[':
        case '{':
            ++containers;
            ++values;
            break;
        case ',':
        case ':':
            ++values;
            break;
        default:
            break;
        }
        ++at;
    }
    return containers * 160 + values * 16;
}

QJsonObject parseObject(const QByteArray &bytes)
{
    if (parsedStructureBytes(bytes) > maxParsedStructureBytes)
        throw DecodeError(QString(), QStringLiteral("too many values to read"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodeError(QString(), QStringLiteral("not valid JSON: ") + error.errorString());
    if (!document.isObject())
        throw DecodeError(QString(), QStringLiteral("expected an object"));
    return document.object();
}

QJsonValue finiteNumber(double value, const QString &path)
{
    if (!std::isfinite(value))
        throw EncodeError(path);
    return QJsonValue(value);
}

QString base64Text(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}

QByteArray prettyText(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray compactText(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray compactText(const QJsonArray &array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace Json
