#include "shell/AppUpdateManager.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <limits>

// The manifest address is a build setting (the CMake cache variable of the same name); without it
// the program never contacts any host.
#ifndef KIVORA_UPDATE_URL
#define KIVORA_UPDATE_URL ""
#endif

// The running build number, also a build setting.
#ifndef KIVORA_BUILD_NUMBER
#define KIVORA_BUILD_NUMBER "1"
#endif

namespace {

const QString checkingText = QStringLiteral("正在检查更新...");
const QString failedText = QStringLiteral("检查更新失败，请稍后重试");
const QString upToDateText = QStringLiteral("当前已是最新版本");

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}

QString runningVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("1.0.0") : version;
}

bool isVersionSeparator(char32_t c)
{
    return c == U'.' || c == U'-' || c == U'_' || c == U'+' || c == U' ';
}

// Value of the leading run of number characters of a piece; 0 without a run, or when the run is
// not plain ASCII digits (other scripts, fractions) or does not fit in 64 bits.
qint64 leadingNumber(const QList<uint> &piece)
{
    qsizetype end = 0;
    while (end < piece.size() && QChar::isNumber(char32_t(piece[end])))
        ++end;
    qint64 value = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const uint c = piece[i];
        if (c < '0' || c > '9')
            return 0;
        const qint64 digit = qint64(c - '0');
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

QUrl AppUpdateManager::defaultUpdateInfoURL()
{
    const QString address = QStringLiteral(KIVORA_UPDATE_URL);
    return address.isEmpty() ? QUrl() : QUrl(address, QUrl::StrictMode);
}

AppUpdateManager::AppUpdateManager(const QUrl &updateInfoURL, QObject *parent)
    : AppUpdateManager(updateInfoURL, runningVersion(), QStringLiteral(KIVORA_BUILD_NUMBER), parent)
{
}

AppUpdateManager::AppUpdateManager(const QUrl &updateInfoURL, const QString &currentVersion,
                                   const QString &currentBuildText, QObject *parent)
    : QObject(parent)
    , m_updateInfoURL(updateInfoURL)
    , m_currentVersion(currentVersion.isEmpty() ? QStringLiteral("1.0.0") : currentVersion)
    , m_currentBuild(parseBuild(currentBuildText))
    , m_network(new QNetworkAccessManager(this))
{
}

AppUpdateManager::~AppUpdateManager()
{
    // A request still in flight ends here, without reaching a half-destroyed manager.
    const auto replies = m_network->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies) {
        reply->disconnect(this);
        reply->abort();
    }
}

void AppUpdateManager::checkForUpdates(bool silent)
{
    if (m_isChecking)
        return;
    if (!isWebAddress(m_updateInfoURL)) {
        // No manifest address in this build: fail at once, without any network access.
        if (!silent)
            setStatusMessage(failedText);
        return;
    }

    setIsChecking(true);
    if (!silent)
        setStatusMessage(checkingText);

    QNetworkRequest request(m_updateInfoURL);
    request.setTransferTimeout(m_transferTimeoutMs);
    // A cached manifest could hide a new release.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);

    QNetworkReply *reply = m_network->get(request);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > maximumManifestSize)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, silent] { finishRequest(reply, silent); });
}

void AppUpdateManager::finishRequest(QNetworkReply *reply, bool silent)
{
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        failCheck(silent);
        return;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || status.toInt() < 200 || status.toInt() > 299) {
        failCheck(silent);
        return;
    }
    const QByteArray body = reply->read(maximumManifestSize + 1);
    const auto info = body.size() > maximumManifestSize ? std::nullopt : AppUpdateInfo::decode(body);
    if (!info) {
        failCheck(silent);
        return;
    }
    handleUpdateInfo(*info, silent);
}

void AppUpdateManager::failCheck(bool silent)
{
    // What was known before (latest release, available update) stays.
    setIsChecking(false);
    if (!silent)
        setStatusMessage(failedText);
}

void AppUpdateManager::handleUpdateInfo(const AppUpdateInfo &info, bool silent)
{
    setLatestRelease(info);
    setIsChecking(false);
    if (isNewer(info, m_currentVersion, m_currentBuild)) {
        setAvailableUpdate(info);
        setStatusMessage(QStringLiteral("发现新版本 v") + info.version);
    } else {
        setAvailableUpdate(std::nullopt);
        if (!silent)
            setStatusMessage(upToDateText);
    }
}

QUrl AppUpdateManager::websiteRootURL() const
{
    if (!isWebAddress(m_updateInfoURL))
        return {};
    QUrl root;
    root.setScheme(m_updateInfoURL.scheme());
    root.setHost(m_updateInfoURL.host());
    root.setPort(m_updateInfoURL.port());
    root.setPath(QStringLiteral("/"));
    return root;
}

QUrl AppUpdateManager::downloadPageURL(const std::optional<AppUpdateInfo> &info) const
{
    // The manifest comes from the network: only a web address is handed to the desktop, never a
    // file, a script or another program's scheme.
    const std::optional<AppUpdateInfo> &record = info ? info : m_latestRelease;
    if (record && isWebAddress(record->downloadURL))
        return record->downloadURL;
    return websiteRootURL();
}

void AppUpdateManager::openDownloadPage(const std::optional<AppUpdateInfo> &info) const
{
    const QUrl url = downloadPageURL(info);
    if (!url.isEmpty())
        QDesktopServices::openUrl(url);
}

QList<qint64> AppUpdateManager::versionComponents(const QString &version)
{
    QList<qint64> components;
    QList<uint> piece;
    for (const uint c : version.toUcs4()) {
        if (isVersionSeparator(char32_t(c))) {
            components.append(leadingNumber(piece));
            piece.clear();
        } else {
            piece.append(c);
        }
    }
    components.append(leadingNumber(piece));
    return components;
}

std::strong_ordering AppUpdateManager::compareVersions(const QString &lhs, const QString &rhs)
{
    const QList<qint64> left = versionComponents(lhs);
    const QList<qint64> right = versionComponents(rhs);
    const qsizetype count = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 a = i < left.size() ? left[i] : 0;
        const qint64 b = i < right.size() ? right[i] : 0;
        if (a != b)
            return a <=> b;
    }
    return std::strong_ordering::equal;
}

bool AppUpdateManager::isNewer(const AppUpdateInfo &info, const QString &currentVersion, qint64 currentBuild)
{
    const auto order = compareVersions(info.version, currentVersion);
    return order > 0 || (order == 0 && currentBuild < info.build.value_or(0));
}

qint64 AppUpdateManager::parseBuild(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return 1;
    // Accumulate towards the sign so that the most negative value still fits.
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return 1;
        const qint64 digit = c - u'0';
        if (negative) {
            if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
                return 1;
            value = value * 10 - digit;
        } else {
            if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
                return 1;
            value = value * 10 + digit;
        }
    }
    return value;
}

QString AppUpdateManager::buttonTitle(bool isChecking, const std::optional<AppUpdateInfo> &update,
                                      const QString &currentVersion)
{
    if (update)
        return QStringLiteral("新版本 v") + update->version;
    if (isChecking)
        return QStringLiteral("检查更新");
    return QStringLiteral("v") + currentVersion;
}

QString AppUpdateManager::buttonToolTip(const std::optional<QString> &statusMessage)
{
    return statusMessage.value_or(QStringLiteral("检查更新"));
}

QString AppUpdateManager::buttonColorHex(const std::optional<AppUpdateInfo> &update)
{
    return update ? QStringLiteral("#059669") : QStringLiteral("#64748B");
}

QString AppUpdateManager::buttonSymbolName(bool isChecking, const std::optional<AppUpdateInfo> &update)
{
    if (isChecking)
        return {};
    return update ? QStringLiteral("arrow.down.circle.fill") : QStringLiteral("arrow.triangle.2.circlepath");
}

QString AppUpdateManager::alertMessage(const std::optional<AppUpdateInfo> &update, const QString &currentVersion)
{
    if (!update)
        return QStringLiteral("可以前往官网下载最新版本。");
    QStringList lines;
    lines.append(QStringLiteral("当前版本 v") + currentVersion + QStringLiteral("，最新版本 v") + update->version
                 + QStringLiteral("。"));
    if (!update->releaseNotes.isEmpty()) {
        lines.append(QString());
        for (const QString &note : update->releaseNotes)
            lines.append(QStringLiteral("· ") + note);
    }
    return lines.join(QLatin1Char('\n'));
}

QString AppUpdateManager::updateKey(const std::optional<AppUpdateInfo> &update)
{
    return update ? update->id() : QString();
}

void AppUpdateManager::setIsChecking(bool checking)
{
    if (m_isChecking == checking)
        return;
    m_isChecking = checking;
    Q_EMIT isCheckingChanged(checking);
}

void AppUpdateManager::setLatestRelease(const std::optional<AppUpdateInfo> &info)
{
    if (m_latestRelease == info)
        return;
    m_latestRelease = info;
    Q_EMIT latestReleaseChanged();
}

void AppUpdateManager::setAvailableUpdate(const std::optional<AppUpdateInfo> &info)
{
    if (m_availableUpdate == info)
        return;
    m_availableUpdate = info;
    Q_EMIT availableUpdateChanged();
}

void AppUpdateManager::setStatusMessage(const QString &message)
{
    if (m_statusMessage == message)
        return;
    m_statusMessage = message;
    Q_EMIT statusMessageChanged();
}
