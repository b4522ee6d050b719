#include "shell/AppUpdateInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <limits>

namespace {

// Optional text field: absent and null mean none; any other non-string type rejects.
bool readOptionalString(const QJsonObject &object, const QString &key, std::optional<QString> &out)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

// A JSON number that is a whole number within 64 bits. Qt reads every JSON number as a number
// without telling integers from doubles, so "12.0" passes as 12 while 12.5, 1e30 or NaN do not.
std::optional<qint64> wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const qint64 low = value.toInteger(std::numeric_limits<qint64>::min());
    const qint64 high = value.toInteger(std::numeric_limits<qint64>::max());
    if (low != high)
        return std::nullopt;
    return low;
}

} // namespace

QString AppUpdateInfo::id() const
{
    return version + QLatin1Char('-') + QString::number(build.value_or(0));
}

std::optional<AppUpdateInfo> AppUpdateInfo::decode(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    AppUpdateInfo info;

    const QJsonValue version = object.value(QLatin1String("version"));
    if (!version.isString())
        return std::nullopt;
    info.version = version.toString();

    const QJsonValue build = object.value(QLatin1String("build"));
    if (!build.isUndefined() && !build.isNull()) {
        info.build = wholeNumber(build);
        if (!info.build)
            return std::nullopt;
    }

    const QJsonValue download = object.value(QLatin1String("download_url"));
    if (!download.isString() || download.toString().isEmpty())
        return std::nullopt;
    info.downloadURL = QUrl(download.toString(), QUrl::StrictMode);
    if (!info.downloadURL.isValid())
        return std::nullopt;

    const QJsonValue notes = object.value(QLatin1String("release_notes"));
    if (!notes.isUndefined() && !notes.isNull()) {
        if (!notes.isArray())
            return std::nullopt;
        for (const QJsonValue &note : notes.toArray()) {
            if (!note.isString())
                return std::nullopt;
            info.releaseNotes.append(note.toString());
        }
    }

    if (!readOptionalString(object, QStringLiteral("published_at"), info.publishedAt)
        || !readOptionalString(object, QStringLiteral("minimum_system_version"), info.minimumSystemVersion))
        return std::nullopt;

    return info;
}
