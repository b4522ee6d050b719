#include <gtest/gtest.h>

#include "model/AppTheme.h"
#include "model/FileSupport.h"
#include "ui/FeedbackButton.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>

TEST(AppTheme, PaletteColours)
{
    EXPECT_EQ(AppTheme::accent(), QColor(0x25, 0x63, 0xEB));
    EXPECT_EQ(AppTheme::surface(), QColor(Qt::white));
    EXPECT_EQ(AppTheme::paleSlate(), QColor(0xE6, 0xEB, 0xF2));
    EXPECT_EQ(&AppTheme::navy(), &AppTheme::navy()); // made once
}

TEST(FileSupport, UniqueFileURLsComparesStandardisedPaths)
{
    EXPECT_EQ(FileSupport::uniqueFileURLs({"/a/b.png", "/a/./b.png", "/a/c.png", "/a/x/../c.png", "/a/b.png/"}),
              (QStringList{"/a/b.png", "/a/c.png"}));
    // Relative paths are taken from the working folder.
    EXPECT_EQ(FileSupport::uniqueFileURLs({"rel.png", QDir::currentPath() + "/rel.png"}), QStringList{"rel.png"});
}

TEST(FileSupport, DroppedURL)
{
    EXPECT_FALSE(FileSupport::droppedURL(QVariant()).has_value());
    EXPECT_FALSE(FileSupport::droppedURL(QStringLiteral("just some words")).has_value());
    EXPECT_FALSE(FileSupport::droppedURL(QByteArray()).has_value());
    EXPECT_FALSE(FileSupport::droppedURL(42).has_value());
    EXPECT_EQ(FileSupport::droppedURL(QByteArray("file:///tmp/a%20b.png")), QUrl::fromLocalFile("/tmp/a b.png"));
    EXPECT_EQ(FileSupport::droppedURL(QStringLiteral("file:///tmp/x.png")), QUrl::fromLocalFile("/tmp/x.png"));
    EXPECT_EQ(FileSupport::droppedURL(QUrl::fromLocalFile("/tmp/y.png")), QUrl::fromLocalFile("/tmp/y.png"));
    EXPECT_EQ(FileTypes::markupProjectPattern, QStringLiteral("*.kivo"));
}

TEST(FileSupport, ExportTimestamp)
{
    const QDateTime moment(QDate(2026, 3, 5), QTime(14, 7, 9));
    EXPECT_EQ(FileSupport::exportTimestamp(moment), QStringLiteral("20260305-140709"));
    EXPECT_EQ(FileSupport::exportTimestamp().size(), 15);
}

TEST(FeedbackButton, PressedStateShrinksAndTintsTheButton)
{
    FeedbackButton button(QStringLiteral("保存"), 10);
    button.resize(120, 40);
    button.setAttribute(Qt::WA_DontShowOnScreen);
    button.show();

    auto settle = [&button](qreal target) {
        QElapsedTimer timer;
        timer.start();
        button.repaint();
        while (button.pressProgress() != target && timer.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    const QImage released = button.grab().toImage();
    button.setDown(true);
    settle(1.0);
    EXPECT_EQ(button.pressProgress(), 1.0);
    const QImage pressed = button.grab().toImage();
    // The centre is tinted by the accent overlay; the outermost corner pixel lies outside the
    // shrunken, rounded shape.
    const QColor centre = pressed.pixelColor(pressed.width() / 2, 2 * pressed.height() / 5 - 10);
    EXPECT_GT(centre.blue(), centre.red());
    EXPECT_NE(released.pixelColor(released.width() / 2, 5), pressed.pixelColor(pressed.width() / 2, 5));
    EXPECT_EQ(pressed.pixelColor(0, 0).alpha(), released.pixelColor(0, 0).alpha());

    button.setDown(false);
    settle(0.0);
    EXPECT_EQ(button.pressProgress(), 0.0);
}
