#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QLocalServer;
class QLocalSocket;

// Takes project files that the desktop hands to the program and keeps the first one until the root
// view takes it. Files arrive in two ways: the command line of this process at start-up, and the
// command line of a later launch, which hands its paths over to this (first) instance through a
// per-user local socket and exits.
//
// The bridge opens nothing itself: it only keeps one pending project path. A newer path replaces
// one not yet taken; taking clears the slot, so a path is opened once.
class OpenProjectBridge : public QObject
{
    Q_OBJECT

public:
    // A hand-over message larger than this is refused. Paths are at most a few KiB each, so this
    // leaves room for hundreds of files selected at once.
    static constexpr qint64 maximumMessageSize = 1024 * 1024;

    explicit OpenProjectBridge(QObject *parent = nullptr);
    ~OpenProjectBridge() override;

    // The first argument whose lower-cased extension is "kivo", as a clean absolute path. "file:"
    // URLs are turned into local paths; anything else (a URL of another scheme included) is a
    // path, made absolute against cwd. Everything else on the list is ignored, images included.
    static std::optional<QString> pickProject(const QStringList &args, const QString &cwd);

    // The local server name of the current user's running instance in this desktop session: a
    // launch on another display starts its own window rather than handing over to one the user
    // cannot see there.
    static QString defaultServerName();
    // The name for a runtime folder (may be empty), a display ("" when none) and a user id.
    static QString serverNameFor(const QString &runtimeDir, const QString &display, uint userID);

    // What a second launch prints on standard error when it was given files that the running
    // window does not take (only the first project file is taken); empty when nothing was left out.
    static QString notHandedOverMessage(const QStringList &args, const QString &cwd);

    // Second-launch side: sends the arguments (made absolute against cwd) to the instance that
    // listens under serverName. True when that instance took them; the caller then exits with 0.
    // False when no instance is running (the caller becomes the first instance).
    static bool handOverToRunningInstance(const QStringList &args, const QString &cwd,
                                          const QString &serverName = defaultServerName(),
                                          int timeoutMs = 2000);

    // First-instance side: listens for later launches under serverName. A socket left behind by a
    // crashed instance is removed; a live instance's is not. False when listening failed (the
    // program still works, it only cannot receive hand-overs).
    bool listen(const QString &serverName = defaultServerName());
    bool isListening() const;
    QString serverName() const;

    // Start-up in one call, after the QApplication exists: hands args over to a running instance
    // and returns false (the caller exits with 0), or listens as the first instance, makes the
    // command-line project pending and returns true. args exclude the program name.
    bool startInstance(const QStringList &args, const QString &cwd, const QString &serverName = defaultServerName());

    // Picks the project out of args (see pickProject) and, when there is one, makes it pending.
    // Returns whether a project was found.
    bool handleOpenDocuments(const QStringList &args, const QString &cwd);

    std::optional<QString> pendingProjectURL() const { return m_pendingProjectURL; }
    void setPendingProjectURL(const std::optional<QString> &path);

    // Returns the pending path and empties the slot.
    std::optional<QString> consumePendingProjectURL();

Q_SIGNALS:
    // Every new value, also the empty value left by consumePendingProjectURL().
    void pendingProjectURLChanged();
    // A later launch handed its arguments over (possibly none): raise the window.
    void activationRequested();

private:
    void acceptConnections();
    void readHandOver(QLocalSocket *socket);
    void finishHandOver(QLocalSocket *socket);

    std::optional<QString> m_pendingProjectURL;
    QLocalServer *m_server = nullptr;
};
