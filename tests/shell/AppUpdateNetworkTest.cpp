#include "shell/AppUpdateManager.h"

#include "LocalHttpServer.h"
#include "ShellTestSupport.h"

#include <QDesktopServices>
#include <QNetworkProxy>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Response = LocalHttpServer::Response;

const QString failedText = QStringLiteral("检查更新失败，请稍后重试");

QByteArray manifest(const QByteArray &version, const QByteArray &extra = {})
{
    return "{\"version\":\"" + version + "\",\"download_url\":\"https://downloads.example.test/kivora.deb\"" + extra
        + "}";
}

class AppUpdateNetwork : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Loopback traffic must never be sent through a proxy from the environment.
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    }

    // A server that answers every request with the response of the current script.
    LocalHttpServer &serve(std::function<Response(const QByteArray &)> script)
    {
        server = std::make_unique<LocalHttpServer>(std::move(script));
        EXPECT_TRUE(server->start());
        return *server;
    }

    std::unique_ptr<AppUpdateManager> makeManager(const QUrl &url, const QString &version = QStringLiteral("1.5.0"),
                                                  const QString &build = QStringLiteral("10"))
    {
        return std::make_unique<AppUpdateManager>(url, version, build);
    }

    static bool finish(AppUpdateManager &manager)
    {
        return ShellTest::waitUntil([&] { return !manager.isChecking(); }, 10000);
    }

    std::unique_ptr<LocalHttpServer> server;
};

} // namespace

TEST_F(AppUpdateNetwork, NewerVersionIsPublishedEvenWhenSilent)
{
    serve([](const QByteArray &) { return Response {200, manifest("1.6.0", ",\"build\":3")}; });
    auto manager = makeManager(server->url());
    int checkingChanges = 0;
    int updateChanges = 0;
    QObject::connect(manager.get(), &AppUpdateManager::isCheckingChanged, [&] { ++checkingChanges; });
    QObject::connect(manager.get(), &AppUpdateManager::availableUpdateChanged, [&] { ++updateChanges; });

    manager->checkForUpdates(true);
    EXPECT_TRUE(manager->isChecking());
    EXPECT_EQ(manager->statusMessage(), std::nullopt) << "a silent check announces nothing";
    ASSERT_TRUE(finish(*manager));

    ASSERT_EQ(server->requests().size(), 1);
    EXPECT_EQ(server->requests()[0].method, QByteArray("GET"));
    EXPECT_EQ(server->requests()[0].path, QByteArray("/version.json"));
    EXPECT_FALSE(server->requests()[0].hasBody);

    ASSERT_TRUE(manager->availableUpdate());
    EXPECT_EQ(manager->availableUpdate()->id(), QStringLiteral("1.6.0-3"));
    EXPECT_EQ(manager->latestRelease(), manager->availableUpdate());
    EXPECT_EQ(manager->statusMessage(), QStringLiteral("发现新版本 v1.6.0"));
    EXPECT_EQ(manager->buttonTitle(), QStringLiteral("新版本 v1.6.0"));
    EXPECT_EQ(checkingChanges, 2);
    EXPECT_EQ(updateChanges, 1);

    // The same release again: the state does not change, so nothing is announced again, but the
    // server really is asked a second time.
    manager->checkForUpdates(false);
    EXPECT_EQ(manager->statusMessage(), QStringLiteral("正在检查更新..."));
    ASSERT_TRUE(finish(*manager));
    EXPECT_EQ(server->requests().size(), 2);
    EXPECT_EQ(updateChanges, 1);
    EXPECT_EQ(manager->statusMessage(), QStringLiteral("发现新版本 v1.6.0"));

    // "去下载" hands the manifest's web address to the desktop.
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    manager->openDownloadPage(manager->availableUpdate());
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0], QUrl("https://downloads.example.test/kivora.deb"));
}

TEST_F(AppUpdateNetwork, SameOlderAndPrefixedVersionsAreNotUpdates)
{
    QByteArray body;
    serve([&](const QByteArray &) { return Response {200, body}; });

    struct Case { QByteArray manifest; const char *name; };
    for (const Case &c : {Case {manifest("1.5.0", ",\"build\":10"), "same"}, Case {manifest("1.4.9", ",\"build\":99"), "older"},
                          Case {manifest("V9.0"), "V-prefixed"}}) {
        SCOPED_TRACE(c.name);
        body = c.manifest;
        for (const bool silent : {true, false}) {
            auto manager = makeManager(server->url());
            manager->checkForUpdates(silent);
            ASSERT_TRUE(finish(*manager));
            EXPECT_TRUE(manager->latestRelease());
            EXPECT_EQ(manager->availableUpdate(), std::nullopt);
            EXPECT_EQ(manager->statusMessage(),
                      silent ? std::nullopt : std::optional(QStringLiteral("当前已是最新版本")));
        }
    }

    // A later check that finds nothing newer withdraws an update found earlier.
    body = manifest("2.0");
    auto manager = makeManager(server->url());
    manager->checkForUpdates(true);
    ASSERT_TRUE(finish(*manager));
    ASSERT_TRUE(manager->availableUpdate());
    body = manifest("1.5.0");
    manager->checkForUpdates(true);
    ASSERT_TRUE(finish(*manager));
    EXPECT_EQ(manager->availableUpdate(), std::nullopt);
    EXPECT_EQ(manager->latestRelease()->version, QStringLiteral("1.5.0"));
}

TEST_F(AppUpdateNetwork, ReleaseNotesReachTheAlert)
{
    QByteArray body = manifest("1.6.0", ",\"release_notes\":null");
    serve([&](const QByteArray &) { return Response {200, body}; });
    auto manager = makeManager(server->url());
    manager->checkForUpdates(false);
    ASSERT_TRUE(finish(*manager));
    EXPECT_EQ(manager->alertMessage(), QStringLiteral("当前版本 v1.5.0，最新版本 v1.6.0。"));

    body = manifest("1.7.0", ",\"release_notes\":[\"一\",\"二\",\"三\"]");
    manager->checkForUpdates(false);
    ASSERT_TRUE(finish(*manager));
    EXPECT_EQ(manager->alertMessage(), QStringLiteral("当前版本 v1.5.0，最新版本 v1.7.0。\n\n· 一\n· 二\n· 三"));
}

TEST_F(AppUpdateNetwork, FailuresKeepWhatWasKnown)
{
    Response next;
    serve([&](const QByteArray &) { return next; });

    struct Case { const char *name; Response response; };
    const QList<Case> cases = {
        {"malformed JSON", {200, "{\"version\":"}},
        {"no download_url", {200, "{\"version\":\"9.0\"}"}},
        {"build as text", {200, manifest("9.0", ",\"build\":\"12\"")}},
        {"404", {404, "missing"}},
        {"500", {500, manifest("9.0")}},
        {"oversized answer", {200, manifest("9.0", ",\"padding\":\"" + QByteArray(400 * 1024, 'x') + "\"")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool silent : {true, false}) {
            auto manager = makeManager(server->url());
            // Something known from an earlier check must survive the failure.
            next = {200, manifest("1.6.0")};
            manager->checkForUpdates(true);
            ASSERT_TRUE(finish(*manager));
            ASSERT_TRUE(manager->availableUpdate());
            const auto statusBefore = manager->statusMessage();

            next = c.response;
            manager->checkForUpdates(silent);
            ASSERT_TRUE(finish(*manager));
            EXPECT_EQ(manager->statusMessage(), silent ? statusBefore : std::optional(failedText));
            ASSERT_TRUE(manager->availableUpdate());
            EXPECT_EQ(manager->availableUpdate()->version, QStringLiteral("1.6.0"));
            EXPECT_EQ(manager->latestRelease()->version, QStringLiteral("1.6.0"));
        }
    }
}

TEST_F(AppUpdateNetwork, RedirectToAnotherLocalPathIsFollowed)
{
    serve([](const QByteArray &path) {
        if (path == "/version.json")
            return Response {301, {}, "Location: /moved/version.json\r\n"};
        return Response {200, manifest("2.0.0")};
    });
    auto manager = makeManager(server->url());
    manager->checkForUpdates(false);
    ASSERT_TRUE(finish(*manager));
    ASSERT_EQ(server->requests().size(), 2);
    EXPECT_EQ(server->requests()[1].path, QByteArray("/moved/version.json"));
    EXPECT_TRUE(manager->availableUpdate());
}

TEST_F(AppUpdateNetwork, SlowAndRefusedServersFail)
{
    serve([](const QByteArray &) { return Response {200, {}, {}, true}; });
    auto manager = makeManager(server->url());
    manager->setTransferTimeout(300);
    manager->checkForUpdates(false);
    ASSERT_TRUE(finish(*manager));
    EXPECT_EQ(manager->statusMessage(), failedText);

    // A port that nobody listens on any more.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    auto refused = makeManager(QUrl(QStringLiteral("http://127.0.0.1:%1/version.json").arg(port)));
    refused->checkForUpdates(false);
    ASSERT_TRUE(finish(*refused));
    EXPECT_EQ(refused->statusMessage(), failedText);
}

TEST_F(AppUpdateNetwork, PressDuringARunningCheckDoesNothing)
{
    serve([](const QByteArray &) { return Response {200, {}, {}, true}; });
    auto manager = makeManager(server->url());
    manager->checkForUpdates(true);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return server->requests().size() == 1; }));

    int statusChanges = 0;
    QObject::connect(manager.get(), &AppUpdateManager::statusMessageChanged, [&] { ++statusChanges; });
    manager->checkForUpdates(false);
    EXPECT_EQ(manager->buttonTitle(), QStringLiteral("检查更新"));
    ShellTest::spin(100);
    EXPECT_EQ(server->requests().size(), 1);
    EXPECT_EQ(statusChanges, 0);
    EXPECT_EQ(manager->statusMessage(), std::nullopt);

    server->releaseHeld({200, manifest("1.5.0")});
    ASSERT_TRUE(finish(*manager));
    EXPECT_EQ(manager->statusMessage(), std::nullopt) << "the running check was the silent one";
}

TEST_F(AppUpdateNetwork, ManagerGoneBeforeTheAnswerArrives)
{
    serve([](const QByteArray &) { return Response {200, {}, {}, true}; });
    auto manager = makeManager(server->url());
    manager->checkForUpdates(false);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return server->requests().size() == 1; }));
    manager.reset();
    server->releaseHeld({200, manifest("9.0")});
    ShellTest::spin(100);
}

TEST_F(AppUpdateNetwork, WithoutAnAddressNothingIsFetched)
{
    for (const QUrl &url : {QUrl(), QUrl("file:///tmp/version.json"), QUrl("http:///version.json")}) {
        SCOPED_TRACE(url.toString().toStdString());
        auto manager = makeManager(url);
        int checkingChanges = 0;
        QObject::connect(manager.get(), &AppUpdateManager::isCheckingChanged, [&] { ++checkingChanges; });
        manager->checkForUpdates(true);
        EXPECT_EQ(manager->statusMessage(), std::nullopt);
        manager->checkForUpdates(false);
        EXPECT_EQ(manager->statusMessage(), failedText);
        EXPECT_EQ(checkingChanges, 0);

        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
        manager->openDownloadPage(std::nullopt);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        EXPECT_TRUE(recorder.urls.isEmpty());
    }
    // A test or CI build is configured without an address (or a loopback one), so no run of the
    // suite reaches the outside.
    const QUrl configured = AppUpdateManager::defaultUpdateInfoURL();
    EXPECT_TRUE(configured.isEmpty() || configured.host() == QLatin1String("127.0.0.1")
                || configured.host() == QLatin1String("localhost"))
        << configured.toString().toStdString();
}
