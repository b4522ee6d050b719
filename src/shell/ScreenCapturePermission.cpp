#include "shell/ScreenCapturePermission.h"

#include <QSettings>
#include <QUrl>

const QString ScreenCapturePermission::promptedKey = QStringLiteral("kivo.screenCapturePermissionPrompted.v1");
const QString ScreenCapturePermission::hintText = QStringLiteral("如需截图标注，请在系统设置中允许屏幕录制权限");
const QString ScreenCapturePermission::readyText = QStringLiteral("就绪");

// The desktops this program runs on have no settings page for a screen-capture permission.
QStringList ScreenCapturePermission::settingsAddresses() { return {}; }

QString ScreenCapturePermission::fallbackSettingsAddress() { return {}; }

ScreenCapturePermission::ScreenCapturePermission(std::unique_ptr<ScreenCaptureAccess> access, QSettings &settings,
                                                 std::function<QString()> statusMessage,
                                                 std::function<void(const QString &)> setStatusMessage)
    : m_access(std::move(access))
    , m_settings(settings)
    , m_statusMessage(std::move(statusMessage))
    , m_setStatusMessage(std::move(setStatusMessage))
    , m_granted(m_access->preflight())
{
}

void ScreenCapturePermission::requestIfNeeded()
{
    if (m_didCheck)
        return;
    m_didCheck = true;

    refresh();
    if (m_granted)
        return;
    // Asked in an earlier launch: a user who said no is not asked again.
    if (m_settings.value(promptedKey, false).toBool())
        return;

    // Remembered before asking, so that a crash during the request cannot lead to asking twice.
    m_settings.setValue(promptedKey, true);
    m_settings.sync();
    m_access->request();
    openSettings();
    m_setStatusMessage(hintText);
}

void ScreenCapturePermission::refresh()
{
    m_granted = m_access->preflight();
    if (m_granted && m_statusMessage() == hintText)
        m_setStatusMessage(readyText);
}

void ScreenCapturePermission::openSettings()
{
    for (const QString &address : settingsAddresses()) {
        const QUrl url(address, QUrl::StrictMode);
        if (url.isValid() && m_access->openUrl(url))
            return;
    }
    if (const QString fallback = fallbackSettingsAddress(); !fallback.isEmpty())
        m_access->openUrl(QUrl(fallback));
}
