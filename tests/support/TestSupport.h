#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace TestSupport {

// Runs the event loop until the condition holds or the time is up; returns the condition. The
// bound is generous: it is only reached on a real fault, never by a slow machine.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 30000);

// A solid image of the given size and colour (ARGB32).
QImage solidImage(int width, int height, QColor color = Qt::white);

// Writes bytes to a file, creating folders on the way; returns the path.
QString writeFile(const QString &path, const QByteArray &bytes);

// The image encoded in `format` ("PNG", "JPEG", …); quality −1 is the writer's default.
QByteArray encodedImage(const QImage &image, const char *format, int quality = -1);

// The file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);

// The largest difference of any channel (alpha included) between two images of the same size.
int maxChannelDifference(const QImage &a, const QImage &b);

// Points HOME (and so the Desktop) at `home` for its lifetime, with XDG_CONFIG_HOME unset so the
// user's folder settings cannot send the Desktop elsewhere; both are restored afterwards. Make it
// before anything asks QStandardPaths for a folder.
class TemporaryHome {
public:
    explicit TemporaryHome(const QString &home);
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome &) = delete;
    TemporaryHome &operator=(const TemporaryHome &) = delete;

private:
    QByteArray m_home;
    QByteArray m_config;
    bool m_hadConfig;
};

} // namespace TestSupport
