#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// The update manifest ("/version.json" on the maker's website), decoded. Decoding is strict: a
// required key that is missing, or any known key holding a value of the wrong JSON type, rejects
// the whole manifest. Unknown keys are ignored.
struct AppUpdateInfo
{
    QString version;                             // "version", required
    std::optional<qint64> build;                 // "build", a whole number
    QUrl downloadURL;                            // "download_url", required, a valid URL
    QStringList releaseNotes;                    // "release_notes", strings only
    std::optional<QString> publishedAt;          // "published_at"
    std::optional<QString> minimumSystemVersion; // "minimum_system_version"

    bool operator==(const AppUpdateInfo &) const = default;

    // version + "-" + build (0 without one): "1.4.0-12". Two fetches of the same release share it.
    QString id() const;

    static std::optional<AppUpdateInfo> decode(const QByteArray &json);
};
