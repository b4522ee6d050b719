#include "shell/AppUpdateManager.h"

#include <gtest/gtest.h>

namespace {

using Manager = AppUpdateManager;

AppUpdateInfo release(const QString &version, std::optional<qint64> build = std::nullopt, QStringList notes = {})
{
    AppUpdateInfo info;
    info.version = version;
    info.build = build;
    info.downloadURL = QUrl(QStringLiteral("https://downloads.example.test/app.deb"));
    info.releaseNotes = notes;
    return info;
}

QList<qint64> parts(std::initializer_list<qint64> values) { return QList<qint64>(values); }

} // namespace

TEST(AppUpdateLogic, VersionComponentsKeepEmptyPiecesAndOnlyAsciiRuns)
{
    EXPECT_EQ(Manager::versionComponents("1.2.3-beta"), parts({1, 2, 3, 0}));
    EXPECT_EQ(Manager::versionComponents("2.0rc1"), parts({2, 0}));
    EXPECT_EQ(Manager::versionComponents("V1.2"), parts({0, 2}));
    EXPECT_EQ(Manager::versionComponents("1..2"), parts({1, 0, 2}));
    EXPECT_EQ(Manager::versionComponents(""), parts({0}));
    EXPECT_EQ(Manager::versionComponents("1_2+3 4"), parts({1, 2, 3, 4}));
    EXPECT_EQ(Manager::versionComponents(".5."), parts({0, 5, 0}));
    // Full-width digits and fractions count as number characters but give no value.
    EXPECT_EQ(Manager::versionComponents(QStringLiteral("１.0")), parts({0, 0}));
    EXPECT_EQ(Manager::versionComponents(QStringLiteral("1½.2")), parts({0, 2}));
    // A digit outside the basic plane (mathematical bold one) is walked as one character.
    EXPECT_EQ(Manager::versionComponents(QString::fromUcs4(U"\U0001D7CF.3")), parts({0, 3}));
    // Too large for 64 bits.
    EXPECT_EQ(Manager::versionComponents("99999999999999999999.1"), parts({0, 1}));
    EXPECT_EQ(Manager::versionComponents("9223372036854775807"), parts({9223372036854775807LL}));
}

TEST(AppUpdateLogic, CompareVersionsAndTheNewerRule)
{
    EXPECT_TRUE(Manager::compareVersions("1.10.0", "1.9.3") > 0);
    EXPECT_TRUE(Manager::compareVersions("1.2", "1.2.0") == 0);
    EXPECT_TRUE(Manager::compareVersions("2.0-beta", "2.0") == 0);
    EXPECT_TRUE(Manager::compareVersions("V2.0", "1.5") < 0);

    EXPECT_TRUE(Manager::isNewer(release("1.10.0"), "1.9.3", 1));
    EXPECT_TRUE(Manager::isNewer(release("1.2", 5), "1.2.0", 4));
    EXPECT_FALSE(Manager::isNewer(release("1.2", 4), "1.2.0", 4));
    EXPECT_FALSE(Manager::isNewer(release("1.2", 3), "1.2.0", 4));
    EXPECT_FALSE(Manager::isNewer(release("1.2.0"), "1.2.0", 1));
    EXPECT_TRUE(Manager::isNewer(release("1.2.0"), "1.2.0", -1)) << "no build counts as 0";
    EXPECT_FALSE(Manager::isNewer(release("2.0.0", 100), "2.1", 99)) << "an older version never wins on its build";
    EXPECT_FALSE(Manager::isNewer(release("V2.0"), "1.5", 1));
    EXPECT_TRUE(Manager::isNewer(release("2.0-beta", 7), "2.0", 6));
}

TEST(AppUpdateLogic, RunningVersionAndBuildFallbacks)
{
    EXPECT_EQ(Manager::parseBuild("42"), 42);
    EXPECT_EQ(Manager::parseBuild("+7"), 7);
    EXPECT_EQ(Manager::parseBuild("-3"), -3);
    EXPECT_EQ(Manager::parseBuild("-9223372036854775808"), std::numeric_limits<qint64>::min());
    for (const char *junk : {"", "abc", "+", "-", " 5", "5 ", "1.0", "9223372036854775808", "٣"})
        EXPECT_EQ(Manager::parseBuild(QString::fromUtf8(junk)), 1) << junk;

    const AppUpdateManager noVersion(QUrl(), QString(), QStringLiteral("abc"));
    EXPECT_EQ(noVersion.currentVersion(), QStringLiteral("1.0.0"));
    EXPECT_EQ(noVersion.currentBuild(), 1);
    EXPECT_EQ(noVersion.transferTimeout(), 8000);
}

TEST(AppUpdateLogic, ManifestDecodingIsStrict)
{
    const auto decode = [](const char *json) { return AppUpdateInfo::decode(QByteArray(json)); };

    const auto full = decode(R"({"version":"1.4.0","build":12,"download_url":"https://x.test/d",
        "release_notes":["a","b"],"published_at":"2024-01-01","minimum_system_version":"13.0","extra":[1]})");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->version, QStringLiteral("1.4.0"));
    EXPECT_EQ(full->build, 12);
    EXPECT_EQ(full->downloadURL, QUrl("https://x.test/d"));
    EXPECT_EQ(full->releaseNotes, QStringList({"a", "b"}));
    EXPECT_EQ(full->publishedAt, QStringLiteral("2024-01-01"));
    EXPECT_EQ(full->minimumSystemVersion, QStringLiteral("13.0"));
    EXPECT_EQ(full->id(), QStringLiteral("1.4.0-12"));

    const auto minimal = decode(R"({"version":"2","download_url":"https://x.test/","build":null,"release_notes":null})");
    ASSERT_TRUE(minimal);
    EXPECT_EQ(minimal->build, std::nullopt);
    EXPECT_TRUE(minimal->releaseNotes.isEmpty());
    EXPECT_EQ(minimal->id(), QStringLiteral("2-0"));
    EXPECT_TRUE(decode(R"({"version":"2","download_url":"https://x.test/","build":12.0})"));

    for (const char *bad : {
             "", "not json", "[]", "\"1.0\"", "{}",
             R"({"download_url":"https://x.test/"})",                          // no version
             R"({"version":1,"download_url":"https://x.test/"})",              // version not text
             R"({"version":"1"})",                                             // no address
             R"({"version":"1","download_url":""})",                           // empty address
             R"({"version":"1","download_url":"http://bad host/"})",           // not a URL
             R"({"version":"1","download_url":null})",
             R"({"version":"1","download_url":"https://x.test/","build":"12"})",
             R"({"version":"1","download_url":"https://x.test/","build":true})",
             R"({"version":"1","download_url":"https://x.test/","build":1.5})",
             R"({"version":"1","download_url":"https://x.test/","build":1e30})",
             R"({"version":"1","download_url":"https://x.test/","release_notes":"a"})",
             R"({"version":"1","download_url":"https://x.test/","release_notes":["a",2]})",
             R"({"version":"1","download_url":"https://x.test/","published_at":5})",
             R"({"version":"1","download_url":"https://x.test/","minimum_system_version":[]})",
         })
        EXPECT_FALSE(decode(bad)) << bad;
}

TEST(AppUpdateLogic, ButtonAndAlertTexts)
{
    const auto update = std::optional(release("1.5.0", 3, {"修复崩溃", "更快"}));
    const std::optional<AppUpdateInfo> none;

    EXPECT_EQ(Manager::buttonTitle(false, none, "1.0.0"), QStringLiteral("v1.0.0"));
    EXPECT_EQ(Manager::buttonTitle(true, none, "1.0.0"), QStringLiteral("检查更新"));
    EXPECT_EQ(Manager::buttonTitle(true, update, "1.0.0"), QStringLiteral("新版本 v1.5.0"));
    EXPECT_EQ(Manager::buttonColorHex(none), QStringLiteral("#64748B"));
    EXPECT_EQ(Manager::buttonColorHex(update), QStringLiteral("#059669"));
    EXPECT_EQ(Manager::buttonSymbolName(false, none), QStringLiteral("arrow.triangle.2.circlepath"));
    EXPECT_EQ(Manager::buttonSymbolName(false, update), QStringLiteral("arrow.down.circle.fill"));
    EXPECT_EQ(Manager::buttonSymbolName(true, update), QString()) << "the spinner takes the symbol's place";
    EXPECT_EQ(Manager::buttonToolTip(std::nullopt), QStringLiteral("检查更新"));
    EXPECT_EQ(Manager::buttonToolTip(QStringLiteral("当前已是最新版本")), QStringLiteral("当前已是最新版本"));

    EXPECT_EQ(Manager::alertMessage(none, "1.0.0"), QStringLiteral("可以前往官网下载最新版本。"));
    EXPECT_EQ(Manager::alertMessage(release("1.5.0"), "1.0.0"), QStringLiteral("当前版本 v1.0.0，最新版本 v1.5.0。"));
    EXPECT_EQ(Manager::alertMessage(update, "1.0.0"),
              QStringLiteral("当前版本 v1.0.0，最新版本 v1.5.0。\n\n· 修复崩溃\n· 更快"));

    EXPECT_EQ(Manager::updateKey(none), QString());
    EXPECT_EQ(Manager::updateKey(update), QStringLiteral("1.5.0-3"));
}

TEST(AppUpdateLogic, DownloadAddressOnlyEverAWebPage)
{
    const AppUpdateManager manager(QUrl("https://updates.example.test:8443/app/version.json"), "1.0.0", "1");
    EXPECT_EQ(manager.websiteRootURL(), QUrl("https://updates.example.test:8443/"));

    auto info = release("2.0");
    EXPECT_EQ(manager.downloadPageURL(info), info.downloadURL);
    // Not a web address: the site root instead of handing a file or a program's scheme to the desktop.
    for (const char *address : {"file:///etc/passwd", "javascript:alert(1)", "ftp://x.test/a", "mailto:a@x.test",
                                "relative/path"}) {
        info.downloadURL = QUrl(QString::fromLatin1(address));
        EXPECT_EQ(manager.downloadPageURL(info), QUrl("https://updates.example.test:8443/")) << address;
    }
    // Nothing known at all: the root.
    EXPECT_EQ(manager.downloadPageURL(std::nullopt), QUrl("https://updates.example.test:8443/"));

    // Without a configured address there is no root either: nothing to open.
    const AppUpdateManager unconfigured(QUrl(), "1.0.0", "1");
    EXPECT_TRUE(unconfigured.websiteRootURL().isEmpty());
    EXPECT_TRUE(unconfigured.downloadPageURL(std::nullopt).isEmpty());
}
