#include "model/FileSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <mutex>

namespace FileSupport {

std::optional<QUrl> droppedURL(const QVariant &item)
{
    if (!item.isValid())
        return std::nullopt;
    switch (item.typeId()) {
    case QMetaType::QUrl: {
        const QUrl url = item.toUrl();
        return url.isEmpty() ? std::nullopt : std::optional<QUrl>(url);
    }
    case QMetaType::QByteArray: {
        const QByteArray data = item.toByteArray();
        if (data.isEmpty())
            return std::nullopt;
        const QUrl url = QUrl::fromEncoded(data, QUrl::StrictMode);
        return url.isValid() && !url.isEmpty() ? std::optional<QUrl>(url) : std::nullopt;
    }
    case QMetaType::QString: {
        const QUrl url(item.toString(), QUrl::StrictMode);
        if (!url.isValid() || url.scheme().isEmpty())
            return std::nullopt;
        return url;
    }
    default:
        return std::nullopt;
    }
}

QStringList uniqueFileURLs(const QStringList &paths)
{
    QStringList result;
    QSet<QString> seen;
    for (const QString &path : paths) {
        const QString key = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (seen.contains(key))
            continue;
        seen.insert(key);
        result.append(path);
    }
    return result;
}

namespace {

// The note and, when there are a few, the files' names: a long list would not fit the status line.
QString fileSupportNamedNote(const QString &note, const QStringList &paths)
{
    if (paths.isEmpty())
        return {};
    if (paths.size() > 3)
        return note;
    QStringList names;
    for (const QString &path : paths)
        names << QFileInfo(path).fileName();
    return note + QStringLiteral("：") + names.join(QStringLiteral("、"));
}

} // namespace

QString unreadableFilesNote(const QStringList &paths)
{
    return fileSupportNamedNote(QStringLiteral("，%1 个文件无法读取").arg(paths.size()), paths);
}

QString tooLargeFilesNote(const QStringList &paths)
{
    return fileSupportNamedNote(QStringLiteral("，%1 张图片过大，无法处理").arg(paths.size()), paths);
}

QString numberedNamesNote(const QStringList &paths)
{
    if (paths.isEmpty())
        return {};
    return QStringLiteral("，%1 张因重名另存为 ").arg(paths.size()) + QFileInfo(paths.front()).fileName()
        + (paths.size() > 1 ? QStringLiteral(" 等") : QString());
}

QString exportTimestamp(const QDateTime &moment)
{
    // QDateTime::toString formats with the C locale in Qt 6: ASCII digits whatever the system
    // locale.
    return moment.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

namespace {

std::mutex fileSupportMomentMutex;
std::optional<QDateTime> fileSupportFixedMoment;

} // namespace

QString exportTimestamp()
{
    {
        const std::lock_guard lock(fileSupportMomentMutex);
        if (fileSupportFixedMoment)
            return exportTimestamp(*fileSupportFixedMoment);
    }
    return exportTimestamp(QDateTime::currentDateTime());
}

FixedExportMoment::FixedExportMoment(const QDateTime &moment)
{
    const std::lock_guard lock(fileSupportMomentMutex);
    fileSupportFixedMoment = moment;
}

FixedExportMoment::~FixedExportMoment()
{
    const std::lock_guard lock(fileSupportMomentMutex);
    fileSupportFixedMoment.reset();
}

} // namespace FileSupport
