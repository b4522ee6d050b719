#pragma once

#include <QUrl>

#include <memory>

// The operating system's screen-recording permission, behind an interface so that the prompt logic
// can be tested with a fake.
//
// Linux has no such permission: X11 lets every client read the screen, and Wayland asks through
// the desktop portal for each capture, with no lasting state to query. The default implementation
// therefore reports access as granted, asks nothing and opens nothing.
class ScreenCaptureAccess
{
public:
    virtual ~ScreenCaptureAccess() = default;

    // Whether capture is allowed, without asking the user.
    virtual bool preflight() = 0;
    // Asks the system for access; the answer comes later, through preflight().
    virtual void request() = 0;
    // Opens a settings address; true when it was opened.
    virtual bool openUrl(const QUrl &url) = 0;

    // The implementation for this platform.
    static std::unique_ptr<ScreenCaptureAccess> createDefault();
};

class LinuxScreenCaptureAccess final : public ScreenCaptureAccess
{
public:
    bool preflight() override { return true; }
    void request() override {}
    // The settings addresses belong to another desktop; handing them to xdg-open would only raise
    // an error dialog, so nothing is ever opened.
    bool openUrl(const QUrl &) override { return false; }
};
