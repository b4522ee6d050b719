#include "shell/OpenProjectBridge.h"

#include "ShellTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString uniqueServerName()
{
    return QStringLiteral("kivora-test-") + QUuid::createUuid().toString(QUuid::Id128);
}

} // namespace

TEST(OpenProjectBridge, PickProjectTakesTheFirstProjectOnly)
{
    const QString cwd = QStringLiteral("/home/user/work");
    using Bridge = OpenProjectBridge;

    // Order: the image is skipped, the first of two projects wins.
    EXPECT_EQ(Bridge::pickProject({"/pics/a.png", "/p/first.kivo", "/p/second.kivo"}, cwd),
              QStringLiteral("/p/first.kivo"));
    // Capitals in the extension; the path keeps its own spelling.
    EXPECT_EQ(Bridge::pickProject({"/p/Plan.KIVO"}, cwd), QStringLiteral("/p/Plan.KIVO"));
    // Relative paths are made absolute against the working folder and cleaned.
    EXPECT_EQ(Bridge::pickProject({"sub/../doc.kivo"}, cwd), QStringLiteral("/home/user/work/doc.kivo"));
    // file: URLs become local paths, percent escapes decoded.
    EXPECT_EQ(Bridge::pickProject({"file:///tmp/My%20Project.kivo"}, cwd),
              QStringLiteral("/tmp/My Project.kivo"));
    // A URL of another scheme is only a (relative) path.
    EXPECT_EQ(Bridge::pickProject({"https://example.invalid/x.kivo"}, cwd),
              QStringLiteral("/home/user/work/https:/example.invalid/x.kivo"));
    // No project at all, a hidden file named like the extension, a folder-ish suffix, nothing.
    EXPECT_EQ(Bridge::pickProject({"/p/a.png", "/p/.kivo", "/p/a.kivo.bak", "", "/p/kivo"}, cwd), std::nullopt);
    EXPECT_EQ(Bridge::pickProject({}, cwd), std::nullopt);
}

TEST(OpenProjectBridge, PendingSlotKeepsTheNewestAndIsTakenOnce)
{
    OpenProjectBridge bridge;
    int changes = 0;
    QObject::connect(&bridge, &OpenProjectBridge::pendingProjectURLChanged, [&] { ++changes; });

    EXPECT_EQ(bridge.pendingProjectURL(), std::nullopt);
    EXPECT_EQ(bridge.consumePendingProjectURL(), std::nullopt);
    EXPECT_EQ(changes, 0);

    EXPECT_FALSE(bridge.handleOpenDocuments({"/a.png"}, "/"));
    EXPECT_EQ(changes, 0);

    EXPECT_TRUE(bridge.handleOpenDocuments({"/one.kivo"}, "/"));
    EXPECT_TRUE(bridge.handleOpenDocuments({"/two.kivo"}, "/"));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(bridge.consumePendingProjectURL(), QStringLiteral("/two.kivo"));
    EXPECT_EQ(changes, 3); // the emptied slot is announced too
    EXPECT_EQ(bridge.pendingProjectURL(), std::nullopt);
    EXPECT_EQ(bridge.consumePendingProjectURL(), std::nullopt);
}

TEST(OpenProjectBridge, SecondLaunchHandsItsPathsToTheRunningInstance)
{
    const QString name = uniqueServerName();
    EXPECT_FALSE(OpenProjectBridge::handOverToRunningInstance({"/x.kivo"}, "/", name, 300))
        << "nobody listens yet";

    OpenProjectBridge running;
    ASSERT_TRUE(running.listen(name));
    int activations = 0;
    QObject::connect(&running, &OpenProjectBridge::activationRequested, [&] { ++activations; });

    // Relative paths are resolved by the sender, against the sender's folder.
    EXPECT_TRUE(OpenProjectBridge::handOverToRunningInstance(
        {"photo.png", "projects/Review.Kivo", "other.kivo"}, "/srv/launch", name));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return activations == 1; }));
    EXPECT_EQ(running.consumePendingProjectURL(), QStringLiteral("/srv/launch/projects/Review.Kivo"));

    // A launch without files only raises the window.
    EXPECT_TRUE(OpenProjectBridge::handOverToRunningInstance({}, "/srv", name));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return activations == 2; }));
    EXPECT_EQ(running.pendingProjectURL(), std::nullopt);

    // A second listener under the same name must not steal the live instance's socket.
    OpenProjectBridge intruder;
    EXPECT_FALSE(intruder.listen(name));
    EXPECT_TRUE(OpenProjectBridge::handOverToRunningInstance({"/again.kivo"}, "/", name));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return activations == 3; }));
    EXPECT_EQ(running.pendingProjectURL(), QStringLiteral("/again.kivo"));
}

TEST(OpenProjectBridge, StartInstanceEitherListensOrHandsOver)
{
    const QString name = uniqueServerName();
    OpenProjectBridge first;
    EXPECT_TRUE(first.startInstance({"a.png", "plan.kivo"}, "/work", name));
    EXPECT_TRUE(first.isListening());
    EXPECT_EQ(first.pendingProjectURL(), QStringLiteral("/work/plan.kivo"));
    EXPECT_EQ(first.consumePendingProjectURL(), QStringLiteral("/work/plan.kivo"));

    OpenProjectBridge second;
    EXPECT_FALSE(second.startInstance({"next.kivo"}, "/elsewhere", name));
    EXPECT_FALSE(second.isListening());
    EXPECT_EQ(second.pendingProjectURL(), std::nullopt);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return first.pendingProjectURL().has_value(); }));
    EXPECT_EQ(first.pendingProjectURL(), QStringLiteral("/elsewhere/next.kivo"));
}

TEST(OpenProjectBridge, ForeignAndOversizedMessagesAreIgnored)
{
    const QString name = uniqueServerName();
    OpenProjectBridge running;
    ASSERT_TRUE(running.listen(name));
    int activations = 0;
    QObject::connect(&running, &OpenProjectBridge::activationRequested, [&] { ++activations; });

    auto send = [&](const QByteArray &bytes) {
        QLocalSocket socket;
        socket.connectToServer(name);
        ASSERT_TRUE(socket.waitForConnected(1000));
        socket.write(bytes);
        // The receiver runs in this thread: let the event loop carry the bytes over.
        ShellTest::waitUntil([&] {
            return socket.bytesToWrite() == 0 || socket.state() != QLocalSocket::ConnectedState;
        });
        socket.disconnectFromServer();
        ShellTest::waitUntil([&] { return socket.state() == QLocalSocket::UnconnectedState; });
    };

    // No header: a stranger or a probe.
    send(QByteArrayLiteral("/evil.kivo\n"));
    // A header but relative paths only: nothing can be resolved safely.
    send(QByteArrayLiteral("kivora-open-1\nrelative.kivo\n"));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return activations == 1; }));
    EXPECT_EQ(running.pendingProjectURL(), std::nullopt);

    // Larger than the cap: refused as a whole.
    QByteArray huge = QByteArrayLiteral("kivora-open-1\n/first.kivo\n");
    huge += QByteArray(OpenProjectBridge::maximumMessageSize, 'a');
    send(huge);
    ShellTest::spin(200);
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(running.pendingProjectURL(), std::nullopt);
}

TEST(OpenProjectBridge, StaleSocketOfACrashedInstanceIsReplaced)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("instance"));

    // A bound but closed socket file: what a crashed instance leaves behind.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    ASSERT_LT(size_t(encoded.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(path));

    OpenProjectBridge running;
    ASSERT_TRUE(running.listen(path));
    EXPECT_TRUE(OpenProjectBridge::handOverToRunningInstance({"/a.kivo"}, "/", path));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return running.pendingProjectURL().has_value(); }));
    EXPECT_EQ(running.pendingProjectURL(), QStringLiteral("/a.kivo"));
}

TEST(OpenProjectBridge, ServerNameIsPerUserAndPerDisplay)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    using Bridge = OpenProjectBridge;
    const QString first = Bridge::serverNameFor(runtime.path(), QStringLiteral(":0"), 1000);
    EXPECT_TRUE(first.startsWith(runtime.path() + QLatin1Char('/')));
    EXPECT_EQ(first, Bridge::serverNameFor(runtime.path(), QStringLiteral(":0"), 1000));
    EXPECT_NE(first, Bridge::serverNameFor(runtime.path(), QStringLiteral(":1"), 1000));
    EXPECT_NE(first, Bridge::serverNameFor(runtime.path(), QStringLiteral("wayland-0"), 1000));
    // A display name never adds a folder level or an odd character to the socket's file name.
    const QString odd = Bridge::serverNameFor(runtime.path(), QStringLiteral("host/../x:0 \n") + QString(200, u'y'), 1000);
    EXPECT_EQ(QFileInfo(odd).path(), runtime.path());
    EXPECT_LT(odd.size(), runtime.path().size() + 60);
    // Without a runtime folder: the user id, still per display.
    EXPECT_EQ(Bridge::serverNameFor(QString(), QStringLiteral(":0"), 1000), QStringLiteral("kivora-instance-1000-_0"));
    EXPECT_EQ(Bridge::serverNameFor(QStringLiteral("/no/such/folder"), QString(), 7), QStringLiteral("kivora-instance-7"));
}

TEST(OpenProjectBridge, ASecondLaunchSaysWhichFilesItDidNotHandOver)
{
    const QString cwd = QStringLiteral("/home/user/work");
    using Bridge = OpenProjectBridge;
    EXPECT_TRUE(Bridge::notHandedOverMessage({}, cwd).isEmpty());
    EXPECT_TRUE(Bridge::notHandedOverMessage({QStringLiteral("a.kivo")}, cwd).isEmpty());
    const QString images = Bridge::notHandedOverMessage({QStringLiteral("a.png"), QStringLiteral("b.jpg")}, cwd);
    EXPECT_TRUE(images.contains(QStringLiteral("2 个文件")));
    EXPECT_FALSE(images.contains(QLatin1Char('\n')));
    // Only the first project is taken: a second one is left out like any other file.
    EXPECT_TRUE(Bridge::notHandedOverMessage({QStringLiteral("a.kivo"), QStringLiteral("/tmp/b.KIVO"), QStringLiteral("c.png")}, cwd)
                    .contains(QStringLiteral("2 个文件")));
}

TEST(OpenProjectBridge, DefaultServerNameIsPerUser)
{
    const QString name = OpenProjectBridge::defaultServerName();
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        EXPECT_TRUE(name.startsWith(runtime));
    else
        EXPECT_TRUE(name.endsWith(QString::number(::getuid())));
}
