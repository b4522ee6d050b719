#pragma once

#include "shell/AppUpdateInfo.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <compare>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// Asks the maker's website whether a newer version exists. One instance per window; everything
// runs on the main thread. A check fetches the manifest once (never from a cache), compares its
// version with the running one and publishes the outcome. Nothing is downloaded or installed.
//
// The manifest address is set at build time; a build without one never touches the network: every
// check fails at once (silently at start-up).
class AppUpdateManager : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTransferTimeoutMs = 8000;
    // The manifest is a few hundred bytes; a longer answer is not a manifest.
    static constexpr qint64 maximumManifestSize = 256 * 1024;

    // The build-time manifest address, or an empty URL when none was configured.
    static QUrl defaultUpdateInfoURL();

    // Running version and build come from the application (applicationVersion(), else "1.0.0")
    // and the build-time build number.
    explicit AppUpdateManager(const QUrl &updateInfoURL = defaultUpdateInfoURL(), QObject *parent = nullptr);
    AppUpdateManager(const QUrl &updateInfoURL, const QString &currentVersion, const QString &currentBuildText,
                     QObject *parent = nullptr);
    ~AppUpdateManager() override;

    bool isChecking() const { return m_isChecking; }
    const std::optional<AppUpdateInfo> &latestRelease() const { return m_latestRelease; }
    const std::optional<AppUpdateInfo> &availableUpdate() const { return m_availableUpdate; }
    const std::optional<QString> &statusMessage() const { return m_statusMessage; }

    QUrl updateInfoURL() const { return m_updateInfoURL; }
    QString currentVersion() const { return m_currentVersion; }
    qint64 currentBuild() const { return m_currentBuild; }

    // Idle timeout of the request; the default is defaultTransferTimeoutMs.
    int transferTimeout() const { return m_transferTimeoutMs; }
    void setTransferTimeout(int milliseconds) { m_transferTimeoutMs = milliseconds; }

    // Starts a check and returns at once. Does nothing while a check is running. A silent check
    // writes no status text except the "new version" one.
    void checkForUpdates(bool silent);

    // Takes a decoded manifest: records it and decides whether it is newer than the running build.
    void handleUpdateInfo(const AppUpdateInfo &info, bool silent);

    // The address "去下载" opens (see downloadPageURL) handed to the desktop; nothing when empty.
    void openDownloadPage(const std::optional<AppUpdateInfo> &info) const;
    QUrl downloadPageURL(const std::optional<AppUpdateInfo> &info) const;
    // Scheme, host and port of the manifest address; empty when no web address is configured.
    QUrl websiteRootURL() const;

    // Texts and looks of the header button and the update alert for this manager's state.
    QString buttonTitle() const { return buttonTitle(m_isChecking, m_availableUpdate, m_currentVersion); }
    QString buttonToolTip() const { return buttonToolTip(m_statusMessage); }
    QString buttonColorHex() const { return buttonColorHex(m_availableUpdate); }
    QString buttonSymbolName() const { return buttonSymbolName(m_isChecking, m_availableUpdate); }
    QString alertMessage() const { return alertMessage(m_availableUpdate, m_currentVersion); }

    // Version arithmetic.
    static QList<qint64> versionComponents(const QString &version);
    // The first version relative to the second: greater = newer.
    static std::strong_ordering compareVersions(const QString &lhs, const QString &rhs);
    static bool isNewer(const AppUpdateInfo &info, const QString &currentVersion, qint64 currentBuild);
    // An optional sign and ASCII digits; anything else (empty, junk, overflow) counts as build 1.
    static qint64 parseBuild(const QString &text);

    // The same as pure functions of the state, for the header and the alert.
    static QString buttonTitle(bool isChecking, const std::optional<AppUpdateInfo> &update, const QString &currentVersion);
    static QString buttonToolTip(const std::optional<QString> &statusMessage);
    static QString buttonColorHex(const std::optional<AppUpdateInfo> &update);
    // The symbol before the title; empty while checking, when a spinner takes its place.
    static QString buttonSymbolName(bool isChecking, const std::optional<AppUpdateInfo> &update);
    static QString alertMessage(const std::optional<AppUpdateInfo> &update, const QString &currentVersion);
    // The key the window watches to raise the alert once per release: the update's id, or empty.
    static QString updateKey(const std::optional<AppUpdateInfo> &update);

Q_SIGNALS:
    void isCheckingChanged(bool isChecking);
    void latestReleaseChanged();
    void availableUpdateChanged();
    void statusMessageChanged();

private:
    void setIsChecking(bool checking);
    void setLatestRelease(const std::optional<AppUpdateInfo> &info);
    void setAvailableUpdate(const std::optional<AppUpdateInfo> &info);
    void setStatusMessage(const QString &message);
    void finishRequest(QNetworkReply *reply, bool silent);
    void failCheck(bool silent);

    QUrl m_updateInfoURL;
    QString m_currentVersion;
    qint64 m_currentBuild = 1;
    int m_transferTimeoutMs = defaultTransferTimeoutMs;

    bool m_isChecking = false;
    std::optional<AppUpdateInfo> m_latestRelease;
    std::optional<AppUpdateInfo> m_availableUpdate;
    std::optional<QString> m_statusMessage;

    QNetworkAccessManager *m_network = nullptr;
};
