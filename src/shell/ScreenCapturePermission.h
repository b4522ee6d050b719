#pragma once

#include "platform/ScreenCaptureAccess.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSettings;

// Asks once per user for the screen-recording permission that screenshot markup needs, and takes
// the hint in the status line back once the permission is there. Nothing else depends on the
// permission; without it nothing is switched off.
//
// The status line belongs to the main view model; it is read and written through the two given
// functions.
class ScreenCapturePermission
{
public:
    static const QString promptedKey; // "kivo.screenCapturePermissionPrompted.v1"
    static const QString hintText;
    static const QString readyText;

    // The settings pages for screen capture, tried in order, then a general page. Empty where the
    // desktop has no such page (as on every desktop this program runs on): nothing is opened.
    static QStringList settingsAddresses();
    static QString fallbackSettingsAddress();

    ScreenCapturePermission(std::unique_ptr<ScreenCaptureAccess> access, QSettings &settings,
                            std::function<QString()> statusMessage,
                            std::function<void(const QString &)> setStatusMessage);

    // First appearance of the window: once per window, and the system is asked at most once per
    // user (remembered in the settings). The first time without access it asks, opens the settings
    // page and leaves the hint in the status line.
    void requestIfNeeded();

    // Looks at the permission again (the application became active). Once granted, the hint, and
    // only the hint, gives way to the ready text.
    void refresh();

    // Opens the first settings address that opens, else the fallback, if there is one.
    void openSettings();

    bool isGranted() const { return m_granted; }
    bool didCheck() const { return m_didCheck; }
    ScreenCaptureAccess &access() const { return *m_access; }

private:
    std::unique_ptr<ScreenCaptureAccess> m_access;
    QSettings &m_settings;
    std::function<QString()> m_statusMessage;
    std::function<void(const QString &)> m_setStatusMessage;
    bool m_didCheck = false;
    bool m_granted = false;
};
