#include "shell/ScreenCapturePermission.h"

#include "LocalHttpServer.h"

#include <QDesktopServices>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct FakeAccess : ScreenCaptureAccess
{
    bool granted = false;
    int openableIndex = 0; // which address opens (index into the tried list); -1: none does
    int requests = 0;
    QList<QUrl> opened;

    bool preflight() override { return granted; }
    void request() override { ++requests; }
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return openableIndex >= 0 && opened.size() == openableIndex + 1;
    }
};

class ScreenCapturePermissionTest : public ::testing::Test
{
protected:
    // One launch of the program: a fresh window over the same settings file.
    std::unique_ptr<ScreenCapturePermission> launch(bool granted, int openableIndex = 0)
    {
        auto access = std::make_unique<FakeAccess>();
        access->granted = granted;
        access->openableIndex = openableIndex;
        fake = access.get();
        status = ScreenCapturePermission::readyText;
        return std::make_unique<ScreenCapturePermission>(
            std::move(access), settings, [this] { return status; },
            [this](const QString &text) { status = text; });
    }

    QTemporaryDir dir;
    QSettings settings {dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    FakeAccess *fake = nullptr;
    QString status;
};

} // namespace

TEST_F(ScreenCapturePermissionTest, FirstLaunchAsksOnceAndLaterLaunchesDoNot)
{
    auto first = launch(false);
    first->requestIfNeeded();
    EXPECT_TRUE(settings.value(ScreenCapturePermission::promptedKey).toBool());
    EXPECT_EQ(fake->requests, 1);
    EXPECT_TRUE(fake->opened.isEmpty()); // no settings page to open
    EXPECT_EQ(status, ScreenCapturePermission::hintText);

    // Shown again in the same window: nothing repeats.
    first->requestIfNeeded();
    EXPECT_EQ(fake->requests, 1);

    auto second = launch(false);
    second->requestIfNeeded();
    EXPECT_EQ(fake->requests, 0);
    EXPECT_TRUE(fake->opened.isEmpty());
    EXPECT_EQ(status, ScreenCapturePermission::readyText);
    EXPECT_TRUE(second->didCheck());
}

TEST_F(ScreenCapturePermissionTest, GrantedFromTheStartWritesNothing)
{
    auto window = launch(true);
    window->requestIfNeeded();
    EXPECT_FALSE(settings.contains(ScreenCapturePermission::promptedKey));
    EXPECT_EQ(fake->requests, 0);
    EXPECT_TRUE(fake->opened.isEmpty());
    EXPECT_EQ(status, ScreenCapturePermission::readyText);
}

TEST_F(ScreenCapturePermissionTest, RefreshTakesBackOnlyTheHint)
{
    auto window = launch(false);
    window->requestIfNeeded();
    ASSERT_EQ(status, ScreenCapturePermission::hintText);

    window->refresh(); // still not granted
    EXPECT_EQ(status, ScreenCapturePermission::hintText);
    EXPECT_FALSE(window->isGranted());

    fake->granted = true;
    window->refresh();
    EXPECT_TRUE(window->isGranted());
    EXPECT_EQ(status, ScreenCapturePermission::readyText);

    // Another message in the status line is never overwritten.
    auto other = launch(false, 0);
    settings.remove(ScreenCapturePermission::promptedKey);
    other->requestIfNeeded();
    status = QStringLiteral("已导入 1 张图片");
    fake->granted = true;
    other->refresh();
    EXPECT_EQ(status, QStringLiteral("已导入 1 张图片"));
}

TEST_F(ScreenCapturePermissionTest, LinuxBackendReportsGrantedAndOpensNothing)
{
    UrlRecorder recorder;
    const QString scheme = QStringLiteral("settings");
    QDesktopServices::setUrlHandler(scheme, &recorder, "open");

    auto access = ScreenCaptureAccess::createDefault();
    EXPECT_TRUE(access->preflight());
    EXPECT_FALSE(access->openUrl(QUrl(QStringLiteral("settings:privacy"))));

    status = ScreenCapturePermission::readyText;
    ScreenCapturePermission window(std::move(access), settings, [this] { return status; },
                                   [this](const QString &text) { status = text; });
    window.requestIfNeeded();
    window.openSettings();
    QDesktopServices::unsetUrlHandler(scheme);

    EXPECT_TRUE(window.isGranted());
    EXPECT_FALSE(settings.contains(ScreenCapturePermission::promptedKey));
    EXPECT_EQ(status, ScreenCapturePermission::readyText);
    EXPECT_TRUE(recorder.urls.isEmpty());
}
