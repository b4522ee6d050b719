#include "shell/OpenProjectBridge.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QUrl>

#include <memory>

#include <unistd.h>

namespace {

// The first line of every hand-over. A connection without it (a probe, a stranger) is ignored.
const QByteArray handOverHeader = QByteArrayLiteral("kivora-open-1\n");

// A stalled sender must not hold its connection open for ever.
constexpr int handOverIdleTimeoutMs = 5000;

QString absolutePathOf(const QString &argument, const QString &cwd)
{
    // Only "file:" URLs name local files; a URL of any other scheme is taken as a path.
    const QUrl url(argument);
    if (url.isValid() && url.isLocalFile())
        return QDir::cleanPath(url.toLocalFile());
    return QDir::cleanPath(QDir(cwd).absoluteFilePath(argument));
}

bool hasProjectExtension(const QString &path)
{
    // Same rule as a path extension: the text after the last dot of the file name, where a name
    // that only starts with a dot (".kivo") has no extension.
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && name.mid(dot + 1).toLower() == QLatin1String("kivo");
}

} // namespace

OpenProjectBridge::OpenProjectBridge(QObject *parent)
    : QObject(parent)
{
}

OpenProjectBridge::~OpenProjectBridge() = default;

std::optional<QString> OpenProjectBridge::pickProject(const QStringList &args, const QString &cwd)
{
    for (const QString &argument : args) {
        if (argument.isEmpty())
            continue;
        const QString path = absolutePathOf(argument, cwd);
        if (hasProjectExtension(path))
            return path;
    }
    return std::nullopt;
}

QString OpenProjectBridge::defaultServerName()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    return serverNameFor(qEnvironmentVariable("XDG_RUNTIME_DIR"), display, ::getuid());
}

QString OpenProjectBridge::serverNameFor(const QString &runtimeDir, const QString &display, uint userID)
{
    // The display keeps the windows of different sessions apart; it becomes a short file-name part.
    QString session;
    for (QChar c : display.left(32)) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
            || c == u'.' || c == u'-';
        session += plain ? c : QChar(u'_');
    }
    const QString suffix = session.isEmpty() ? QString() : QLatin1Char('-') + session;
    // The runtime folder belongs to the user alone; without one, the user id keeps the names of
    // different users apart in the shared temporary folder.
    if (!runtimeDir.isEmpty() && QFileInfo(runtimeDir).isDir())
        return QDir(runtimeDir).filePath(QStringLiteral("kivora-instance") + suffix);
    return QStringLiteral("kivora-instance-%1").arg(userID) + suffix;
}

QString OpenProjectBridge::notHandedOverMessage(const QStringList &args, const QString &cwd)
{
    const std::optional<QString> project = pickProject(args, cwd);
    qsizetype ignored = 0;
    bool projectSeen = false;
    for (const QString &argument : args) {
        if (argument.isEmpty())
            continue;
        if (project && !projectSeen && absolutePathOf(argument, cwd) == *project) {
            projectSeen = true;
            continue;
        }
        ++ignored;
    }
    if (ignored == 0)
        return {};
    return QStringLiteral("Kivora 已在运行：只把项目文件（.kivo）交给已打开的窗口，另外 %1 个文件没有打开。").arg(ignored);
}

bool OpenProjectBridge::handOverToRunningInstance(const QStringList &args, const QString &cwd,
                                                  const QString &serverName, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;

    QByteArray message = handOverHeader;
    for (const QString &argument : args) {
        if (argument.isEmpty())
            continue;
        const QString path = absolutePathOf(argument, cwd);
        // A path with a line break cannot travel in a line-based message.
        if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')))
            continue;
        message += path.toUtf8() + '\n';
    }
    if (message.size() > maximumMessageSize) {
        // Too many files for one message: the receiver only ever opens the first project, so
        // send just that one.
        message = handOverHeader;
        if (const auto project = pickProject(args, cwd);
            project && !project->contains(QLatin1Char('\n')) && !project->contains(QLatin1Char('\r')))
            message += project->toUtf8() + '\n';
    }

    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs))
            return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool OpenProjectBridge::listen(const QString &serverName)
{
    delete m_server;
    m_server = nullptr;

    // Another instance may be alive under this name, or a crashed one left its socket file
    // behind. Only the latter may be removed. The check must come first: with access options set,
    // listening moves the new socket into place and would silently replace a live one.
    QLocalSocket probe;
    probe.connectToServer(serverName);
    const bool alive = probe.waitForConnected(500);
    probe.abort();
    if (alive)
        return false;
    QLocalServer::removeServer(serverName);

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(serverName)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &OpenProjectBridge::acceptConnections);
    return true;
}

bool OpenProjectBridge::startInstance(const QStringList &args, const QString &cwd, const QString &serverName)
{
    if (handOverToRunningInstance(args, cwd, serverName))
        return false;
    // Without the server this window still works; it only cannot receive later launches.
    listen(serverName);
    handleOpenDocuments(args, cwd);
    return true;
}

bool OpenProjectBridge::isListening() const
{
    return m_server && m_server->isListening();
}

QString OpenProjectBridge::serverName() const
{
    return m_server ? m_server->fullServerName() : QString();
}

void OpenProjectBridge::acceptConnections()
{
    while (m_server && m_server->hasPendingConnections()) {
        QLocalSocket *socket = m_server->nextPendingConnection();
        if (!socket)
            return;
        socket->setProperty("handOverBuffer", QByteArray());

        auto *idleTimer = new QTimer(socket);
        idleTimer->setSingleShot(true);
        idleTimer->setInterval(handOverIdleTimeoutMs);
        connect(idleTimer, &QTimer::timeout, socket, [socket] {
            socket->setProperty("handOverRejected", true);
            socket->abort();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, idleTimer] {
            idleTimer->start();
            readHandOver(socket);
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { finishHandOver(socket); });
        idleTimer->start();
        readHandOver(socket);
        if (socket->state() == QLocalSocket::UnconnectedState)
            finishHandOver(socket);
    }
}

void OpenProjectBridge::readHandOver(QLocalSocket *socket)
{
    // A refused message is dropped unread; the socket is already being closed.
    if (!socket->isOpen() || socket->property("handOverRejected").toBool())
        return;
    QByteArray buffer = socket->property("handOverBuffer").toByteArray();
    buffer += socket->readAll();
    if (buffer.size() > maximumMessageSize) {
        socket->setProperty("handOverRejected", true);
        socket->setProperty("handOverBuffer", QByteArray());
        socket->abort();
        return;
    }
    socket->setProperty("handOverBuffer", buffer);
}

void OpenProjectBridge::finishHandOver(QLocalSocket *socket)
{
    if (socket->property("handOverFinished").toBool())
        return;
    socket->setProperty("handOverFinished", true);
    readHandOver(socket);
    const QByteArray buffer = socket->property("handOverBuffer").toByteArray();
    const bool rejected = socket->property("handOverRejected").toBool();
    socket->deleteLater();
    if (rejected || !buffer.startsWith(handOverHeader))
        return;

    QStringList paths;
    const QList<QByteArray> lines = buffer.mid(handOverHeader.size()).split('\n');
    for (const QByteArray &line : lines) {
        const QString path = QString::fromUtf8(line);
        // The sender makes every path absolute; anything else would be resolved against this
        // process's folder, which is not what the user meant.
        if (!path.isEmpty() && QDir::isAbsolutePath(path))
            paths.append(path);
    }
    handleOpenDocuments(paths, QDir::rootPath());
    Q_EMIT activationRequested();
}

bool OpenProjectBridge::handleOpenDocuments(const QStringList &args, const QString &cwd)
{
    const auto project = pickProject(args, cwd);
    if (!project)
        return false;
    setPendingProjectURL(project);
    return true;
}

void OpenProjectBridge::setPendingProjectURL(const std::optional<QString> &path)
{
    m_pendingProjectURL = path;
    Q_EMIT pendingProjectURLChanged();
}

std::optional<QString> OpenProjectBridge::consumePendingProjectURL()
{
    const auto taken = m_pendingProjectURL;
    if (taken)
        setPendingProjectURL(std::nullopt);
    return taken;
}
