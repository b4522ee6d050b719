#include "markup/AnnotationRenderer.h"
#include "model/FileSupport.h"
#include "model/MarkupViewModel.h"
#include "support/TestSupport.h"
#include "video/VideoFrameAnnotationSession.h"
#include "video/VideoFrameSnapshot.h"
#include "video/widgets/VideoFrameAnnotationWorkspace.h"
#include "video/widgets/VideoScrubber.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <random>

#include <gtest/gtest.h>

namespace {

VideoFrameSnapshot frame(const QString &fileName, const QString &timecode = QStringLiteral("00:00:01:05"))
{
    return VideoFrameSnapshot{TestSupport::solidImage(64, 36, Qt::darkCyan), fileName, 1.1, timecode, 35};
}

MarkupAnnotation arrow()
{
    return MarkupAnnotation(QUuid::createUuid(), AnnotationKind::Arrow, UnitPoint2D{0.1, 0.1}, UnitPoint2D{0.5, 0.5},
                            QStringLiteral("标注文字"), QStringLiteral("#FF3B30"), 3, 16, std::nullopt, std::nullopt, 0,
                            1, {});
}

class VideoFrameModel : public ::testing::Test {
protected:
    VideoFrameModel()
        : settings(directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat), model(settings)
    {
    }

    void annotate()
    {
        std::vector<ImageMarkupItem> items = model.items();
        items.front().annotations.push_back(arrow());
        model.recordUndoSnapshot();
        model.setItems(items);
    }

    QTemporaryDir directory;
    QSettings settings;
    MarkupViewModel model;
};

TEST_F(VideoFrameModel, SameFrameKeepsAnnotationsOtherFrameDropsThem)
{
    ASSERT_TRUE(model.loadVideoFrame(frame(QStringLiteral("clip-00-00-01-05-35.png"))));
    EXPECT_EQ(model.items().size(), 1u);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{*model.selectedItemID()});
    EXPECT_TRUE(model.annotations().empty());
    EXPECT_EQ(model.statusMessage(), "已取帧：00:00:01:05");
    EXPECT_EQ(model.document()->pixelSize, QSizeF(64, 36));

    annotate();
    const QUuid first = *model.selectedItemID();
    ASSERT_FALSE(model.undoSnapshotsByItemID().isEmpty());
    model.setZoom(2);
    ASSERT_TRUE(model.loadVideoFrame(frame(QStringLiteral("clip-00-00-01-05-35.png"))));
    EXPECT_EQ(model.annotations().size(), 1u);
    EXPECT_NE(*model.selectedItemID(), first);
    EXPECT_TRUE(model.undoSnapshotsByItemID().isEmpty());
    EXPECT_TRUE(model.redoSnapshotsByItemID().isEmpty());
    EXPECT_EQ(model.zoom(), 2);

    ASSERT_TRUE(model.loadVideoFrame(frame(QStringLiteral("clip-00-00-01-06-36.png"), "00:00:01:06")));
    EXPECT_TRUE(model.annotations().empty());
    // Asked to keep them (the save of what is shown), they move onto the other frame.
    annotate();
    ASSERT_TRUE(model.loadVideoFrame(frame(QStringLiteral("clip-00-00-02-00-60.png")), true));
    EXPECT_EQ(model.annotations().size(), 1u);
}

// The frame is written by its own encoder (in bands, on several cores), with exactly the pixels the
// image exports render.
TEST_F(VideoFrameModel, TheSavedFrameHasThePixelsOfTheImageExport)
{
    QTemporaryDir home;
    TestSupport::TemporaryHome temporaryHome(home.path());
    QImage picture(641, 361, QImage::Format_ARGB32);
    std::minstd_rand random(3);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(int(random() % 256), (x + y) % 256, int(random() % 64)));
    ASSERT_TRUE(model.loadVideoFrame(
        VideoFrameSnapshot{picture, QStringLiteral("clip-00-00-01-05-35.png"), 1.1, QStringLiteral("00:00:01:05"), 35}));
    annotate();
    std::vector<ImageMarkupItem> items = model.items();
    items.front().annotations.push_back(MarkupAnnotation(
        QUuid::createUuid(), AnnotationKind::Rectangle, UnitPoint2D{0.3, 0.2}, UnitPoint2D{0.9, 0.7}, QString(),
        QStringLiteral("#34C759"), 5, 16, std::nullopt, std::nullopt, 0, std::nullopt, {}));
    model.setItems(items);

    const std::optional<QString> path = model.saveAnnotatedVideoFrame(QStringLiteral("00:00:01:05"));
    ASSERT_TRUE(path);
    const std::optional<QByteArray> exported = AnnotationRenderer::pngData(picture, model.annotations());
    ASSERT_TRUE(exported);
    const QImage saved = QImage(*path).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(saved.size(), QSize(641, 361));
    EXPECT_TRUE(saved == QImage::fromData(*exported, "PNG").convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(model.selectedItem()->savedURL, path);
    EXPECT_TRUE(model.statusMessage().startsWith("当前帧已保存到桌面："));
}

TEST_F(VideoFrameModel, UnreadableFrameChangesNothing)
{
    ASSERT_TRUE(model.loadVideoFrame(frame(QStringLiteral("a.png"))));
    annotate();
    const std::vector<ImageMarkupItem> before = model.items();
    VideoFrameSnapshot broken = frame(QStringLiteral("b.png"));
    broken.image = QImage();
    EXPECT_FALSE(model.loadVideoFrame(broken));
    EXPECT_EQ(model.errorMessage(), std::optional<QString>(QStringLiteral("视频帧无法解析")));
    EXPECT_EQ(model.items(), before);
}

TEST_F(VideoFrameModel, ExportNamesHoldTheTimecodeOnceAndFitTheByteLimit)
{
    ImageMarkupItem item;
    item.fileName = QStringLiteral("clip-00-00-01-05-35.png");
    EXPECT_EQ(MarkupViewModel::videoFrameExportFileName(item, "00:00:01:05", "20260101-120000"),
              "clip-00-00-01-05-35-标注-20260101-120000.png");
    item.fileName = QStringLiteral("  .png");
    EXPECT_EQ(MarkupViewModel::videoFrameExportFileName(item, "00:00:01:05", "20260101-120000"),
              "视频取帧-标注-00-00-01-05-20260101-120000.png");

    // A 300-byte Chinese name: cut to fit, and the timecode the cut removed is put back.
    item.fileName = QString(100, QChar(0x89C6)) + QStringLiteral("-00-00-01-05-35.png");
    const QString name = MarkupViewModel::videoFrameExportFileName(item, "00:00:01:05", "20260101-120000");
    EXPECT_LE(name.toUtf8().size(), 255);
    EXPECT_TRUE(name.startsWith(QString(10, QChar(0x89C6))));
    EXPECT_TRUE(name.endsWith("-标注-00-00-01-05-20260101-120000.png")) << name.toStdString();
    // No path can leave the Desktop.
    item.fileName = QStringLiteral("../x/y-00-00-01-05-35.png");
    EXPECT_FALSE(MarkupViewModel::videoFrameExportFileName(item, "00:00:01:05", "t").contains(u'/'));
}

TEST_F(VideoFrameModel, ToolOrderKeepsTheUsersOrderAndAppendsMissingTools)
{
    using T = MarkupTool;
    model.setToolOrder({T::Brush, T::Crop, T::Select, T::Eyedropper, T::Text, T::Arrow, T::Rectangle});
    EXPECT_EQ(model.videoFrameToolOrder(), (std::vector<T>{T::Brush, T::Select, T::Text, T::Arrow, T::Rectangle}));
    model.setToolOrder({T::Rectangle, T::Text, T::Select});
    EXPECT_EQ(model.videoFrameToolOrder(), (std::vector<T>{T::Rectangle, T::Text, T::Select, T::Arrow, T::Brush}));
}

TEST_F(VideoFrameModel, ShortcutsPickVideoToolsByNumberOnly)
{
    using T = MarkupTool;
    model.setToolOrder({T::Brush, T::Crop, T::Select, T::Eyedropper, T::Text, T::Arrow, T::Rectangle});
    model.setSelectedTool(T::Arrow);
    EXPECT_TRUE(model.handleVideoFrameShortcut("3"));
    EXPECT_EQ(model.selectedTool(), T::Text);
    EXPECT_EQ(model.statusMessage(), "已切换工具：文字");
    EXPECT_TRUE(model.handleVideoFrameShortcut("+2"));
    EXPECT_EQ(model.selectedTool(), T::Select);
    for (const char *bad : {"", "a", "0", "-1", "6", "12", " 2", "2 ", "99999999999999999999999", "Delete", "UNDO"}) {
        EXPECT_FALSE(model.handleVideoFrameShortcut(QString::fromUtf8(bad))) << bad;
        EXPECT_EQ(model.selectedTool(), T::Select) << bad;
    }
    EXPECT_TRUE(model.handleVideoFrameShortcut("delete"));
    EXPECT_EQ(model.statusMessage(), "请先选中要删除的标注");
}

TEST(VideoScrubberMapping, MapsPointerToWholePositionsWithinTheRange)
{
    EXPECT_EQ(VideoScrubber::positionAt(9, 218, 0, 99), 0);
    EXPECT_EQ(VideoScrubber::positionAt(109, 218, 0, 99), 50);
    EXPECT_EQ(VideoScrubber::positionAt(209, 218, 0, 99), 99);
    EXPECT_EQ(VideoScrubber::positionAt(-40, 218, 0, 99), 0);
    EXPECT_EQ(VideoScrubber::positionAt(400, 218, 0, 99), 99);
    // Narrower than the two insets: a usable width of 1.
    EXPECT_EQ(VideoScrubber::positionAt(9.6, 12, 0, 10), 6);
    EXPECT_EQ(VideoScrubber::positionAt(100, 218, 0, 0), 0);
    EXPECT_EQ(VideoScrubber::thumbCentre(0, 218, 0, 0), 9);
    EXPECT_DOUBLE_EQ(VideoScrubber::thumbCentre(12.4, 218, 0, 99), 200 * 12.4 / 99 + 9);
}

TEST(VideoScrubberMapping, WritesBackAClampedValueOnlyWhenNotDragging)
{
    VideoScrubber scrubber;
    scrubber.resize(218, 34);
    scrubber.setRange(0, 99);
    std::vector<double> written;
    QObject::connect(&scrubber, &VideoScrubber::valueWritten, [&](double v) { written.push_back(v); });
    scrubber.setValue(150);
    EXPECT_EQ(written, std::vector<double>{99});
    EXPECT_EQ(scrubber.value(), 99);
    scrubber.setValue(12.4);
    EXPECT_EQ(scrubber.value(), 12.4);
    EXPECT_EQ(written.size(), 1u);
}

TEST(VideoCanvasGeometryTest, FitsAboveThePanelAndMeasuresVisibilityAgainstTheWholeArea)
{
    // 1000 × 704: A = 600, room 936 × 552.
    WorkspaceCanvasGeometry g = VideoCanvasGeometry::compute(QSizeF(1000, 704), QSizeF(1920, 1080), 1, QSizeF(0, 0));
    EXPECT_DOUBLE_EQ(g.fitSize.width(), 1920 * (936.0 / 1920));
    EXPECT_DOUBLE_EQ(g.fitSize.height(), 1080 * (936.0 / 1920));
    EXPECT_EQ(g.centre, QPointF(500, 300));
    // The 240 floors in a small area, and a zero-size frame drawn 1 × 1.
    g = VideoCanvasGeometry::compute(QSizeF(200, 300), QSizeF(100, 100), 1, QSizeF(0, 0));
    EXPECT_EQ(g.fitSize, QSizeF(240, 240));
    g = VideoCanvasGeometry::compute(QSizeF(800, 600), QSizeF(0, 50), 3, QSizeF(0, 0));
    EXPECT_EQ(g.displayedSize, QSizeF(1, 1));
    // Moved 100 past the left edge: the visible part starts at x = 100; below A but inside H it
    // still counts as visible.
    g = VideoCanvasGeometry::compute(QSizeF(1000, 704), QSizeF(400, 200), 1, QSizeF(0, 0));
    const double w = g.displayedSize.width();
    g = VideoCanvasGeometry::compute(QSizeF(1000, 704), QSizeF(400, 200), 1, QSizeF(-500 + w / 2 - 100, 350));
    ASSERT_FALSE(g.visibleCanvasRect.isNull());
    EXPECT_DOUBLE_EQ(g.visibleCanvasRect.x, 100);
    EXPECT_GT(g.canvasRect.bottom(), 600);
    g = VideoCanvasGeometry::compute(QSizeF(1000, 704), QSizeF(400, 200), 1, QSizeF(5000, 0));
    EXPECT_TRUE(g.visibleCanvasRect.isNull());
}

TEST(VideoCanvasGeometryTest, FitZoomIsOneForAnyFrameAndThirtyForNone)
{
    EXPECT_EQ(VideoFrameAnnotationSession::fittedZoom(1920, 1080), 1);
    EXPECT_EQ(VideoFrameAnnotationSession::fittedZoom(7, 3000), 1);
    EXPECT_EQ(VideoFrameAnnotationSession::fittedZoom(0, 1080), 30);
}

} // namespace

// The same frame saved twice within one second keeps both files: the second takes the next free
// name, which the status and the frame's savedURL name.
TEST_F(VideoFrameModel, ASecondSaveWithinTheSecondTakesTheNextFreeName)
{
    QTemporaryDir home;
    TestSupport::TemporaryHome temporaryHome(home.path());
    const FileSupport::FixedExportMoment moment(QDateTime(QDate(2026, 12, 8), QTime(9, 41, 7)));
    ASSERT_TRUE(model.loadVideoFrame(frame(QStringLiteral("clip-00-00-01-05-35.png"))));
    annotate();
    const std::optional<QString> first = model.saveAnnotatedVideoFrame(QStringLiteral("00:00:01:05"));
    ASSERT_TRUE(first);
    const QByteArray firstBytes = TestSupport::readFile(*first);
    const QString stem = first->left(first->size() - 4);

    const std::optional<QString> second = model.saveAnnotatedVideoFrame(QStringLiteral("00:00:01:05"));
    ASSERT_EQ(second, stem + QStringLiteral("-2.png"));
    EXPECT_EQ(TestSupport::readFile(*first), firstBytes);
    EXPECT_EQ(QImage(*second).size(), QSize(64, 36));
    EXPECT_EQ(model.statusMessage(), QStringLiteral("当前帧已保存到桌面：") + QFileInfo(*second).fileName());
    EXPECT_EQ(model.selectedItem()->savedURL, second);
}
