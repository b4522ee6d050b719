#include "CompressionWindowFixture.h"

#include "compression/ImageCompressionService.h"
#include "compression/widgets/CompressionPreview.h"
#include "compression/widgets/CompressionResultBanner.h"
#include "compression/widgets/CompressionSettingsPanel.h"
#include "compression/widgets/CompressionSourceColumn.h"
#include "compression/widgets/ImageCompressionWorkspace.h"
#include "model/AppTheme.h"
#include "shell/ShellTestSupport.h"
#include "support/TestSupport.h"
#include "ui/StyledButton.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QSlider>
#include <QTest>
#include <QUuid>

#include <algorithm>

namespace {

using CropForm = CompressionSettingsPanel::CropForm;

// The compression workspace in the shown window, entered from the launcher.
class CompressionWorkspaceTest : public CompressionWindowTest {
protected:
    void SetUp() override
    {
        CompressionWindowTest::SetUp();
        showWindow();
        view().switchWorkspace(WorkspaceMode::Compression, true);
        QCoreApplication::processEvents();
    }

    ImageCompressionWorkspace *workspace()
    {
        return qobject_cast<ImageCompressionWorkspace *>(view().workspaceContentWidget());
    }
    CompressionSourceColumn *column() { return workspace()->sourceColumn(); }
    CompressionSettingsPanel *panel() { return workspace()->settingsPanel(); }
    CompressionPreview *preview() { return workspace()->preview(); }

    void click(QWidget *widget, QPoint at = QPoint(-1, -1))
    {
        ASSERT_TRUE(widget && widget->isVisible());
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at.x() < 0 ? widget->rect().center() : at);
        QCoreApplication::processEvents();
    }

    QRect rowRect(int row)
    {
        QListView *list = column()->listView();
        return list->visualRect(list->model()->index(row, 0));
    }

    void clickList(QPointF point)
    {
        QWidget *viewport = column()->listView()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, point.toPoint());
        QCoreApplication::processEvents();
    }

    void drag(QPointF from, QPointF to)
    {
        QTest::mousePress(preview(), Qt::LeftButton, Qt::NoModifier, from.toPoint());
        QTest::mouseMove(preview(), ((from + to) / 2).toPoint());
        QTest::mouseMove(preview(), to.toPoint());
        QTest::mouseRelease(preview(), Qt::LeftButton, Qt::NoModifier, to.toPoint());
        QCoreApplication::processEvents();
    }

    bool dropOnWindow(const QList<QUrl> &urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        QWidget *area = view().workspaceAreaWidget();
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &enter);
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &drop);
        ShellTest::settle();
        return drop.isAccepted();
    }

    QColor listPixel(QPointF point)
    {
        QWidget *viewport = column()->listView()->viewport();
        return viewport->grab().toImage().pixelColor(point.toPoint());
    }
};

} // namespace

TEST_F(CompressionWorkspaceTest, EmptyStateAndItsButtonsAskForImages)
{
    ASSERT_TRUE(workspace());
    EXPECT_TRUE(workspace()->showsEmptyState());
    EXPECT_FALSE(column()->showsList());
    EXPECT_EQ(column()->countText(), QStringLiteral("0"));
    click(workspace()->emptyStateButton());
    EXPECT_EQ(chooser->sourceQuestions, 1);
    click(column()->addTile());
    EXPECT_EQ(chooser->sourceQuestions, 2);
    // Nothing in compression has a header toolbar.
    EXPECT_FALSE(view().headerToolbarMode());
}

TEST_F(CompressionWorkspaceTest, CardsShowTheirThumbnailNameAndSelectedLook)
{
    const QString longName
        = QStringLiteral("一张名字非常非常长的照片_2026年旅行记录_第一天早上在海边拍到的日出风景.jpg");
    const QString red = QDir(files.path()).filePath(QStringLiteral("a.png"));
    CompressionTest::saveImage(TestSupport::solidImage(200, 120, Qt::red), red, "PNG");
    add({ red, image(longName, 1920, 1080), image(QStringLiteral("c.jpg"), 100, 50) });
    ASSERT_TRUE(column()->showsList());
    EXPECT_EQ(column()->countText(), QStringLiteral("3"));

    // The first card is the selected one; its thumbnail is drawn from the probed thumbnail.
    const QRectF card0 = CompressionSourceDelegate::cardRect(rowRect(0));
    EXPECT_EQ(listPixel(card0.topLeft() + QPointF(3, 40)), AppTheme::paleBlue());
    EXPECT_EQ(listPixel(CompressionSourceDelegate::cardRect(rowRect(1)).topLeft() + QPointF(3, 40)),
              AppTheme::surface());
    const QColor thumb = listPixel(CompressionSourceDelegate::thumbnailRect(rowRect(0)).center() + QPointF(-20, 10));
    EXPECT_GT(thumb.red(), 200);
    EXPECT_LT(thumb.green(), 40);

    // Selecting the long name (last in natural order): the details cut its middle and keep the
    // extension.
    ASSERT_EQ(names().last(), longName);
    session->setSelectedCompressionSourceID(session->compressionSources()[2].id);
    QCoreApplication::processEvents();
    EXPECT_EQ(listPixel(CompressionSourceDelegate::cardRect(rowRect(2)).topLeft() + QPointF(3, 40)),
              AppTheme::paleBlue());
    const QString shown = workspace()->detailsName();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".jpg")));
    EXPECT_TRUE(shown.startsWith(longName.left(3)));
    EXPECT_EQ(workspace()->detailBadges().first(), QStringLiteral("1920×1080"));
    EXPECT_EQ(preview()->size(), QSize(520, 293)); // 1920 × 1080 scaled by 520 / 1920, rounded up
}

TEST_F(CompressionWorkspaceTest, RemoveCircleRemovesAndARowClickSelects)
{
    add({ image(QStringLiteral("1.jpg"), 50, 50), image(QStringLiteral("2.jpg"), 50, 50),
          image(QStringLiteral("3.jpg"), 50, 50) });
    const auto sources = session->compressionSources();
    clickList(CompressionSourceDelegate::cardRect(rowRect(1)).center());
    EXPECT_EQ(session->selectedCompressionSourceID(), sources[1].id);
    EXPECT_EQ(names().size(), 3);

    clickList(CompressionSourceDelegate::removeCircleRect(rowRect(2)).center());
    EXPECT_EQ(names(), (QStringList { QStringLiteral("1.jpg"), QStringLiteral("2.jpg") }));
    EXPECT_EQ(session->selectedCompressionSourceID(), sources[1].id);
    EXPECT_EQ(status(), QStringLiteral("已移除图片"));

    // A press on the circle released on the card body does nothing.
    QWidget *viewport = column()->listView()->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier,
                      CompressionSourceDelegate::removeCircleRect(rowRect(0)).center().toPoint());
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier,
                        CompressionSourceDelegate::cardRect(rowRect(0)).center().toPoint());
    EXPECT_EQ(names().size(), 2);
    EXPECT_EQ(session->selectedCompressionSourceID(), sources[1].id);
}

TEST_F(CompressionWorkspaceTest, CompressButtonStatesAndTheListDuringARun)
{
    EXPECT_FALSE(panel()->isVisible());
    add({ image(QStringLiteral("1.jpg"), 900, 600), image(QStringLiteral("2.jpg"), 900, 600),
          image(QStringLiteral("3.jpg"), 900, 600) });
    StyledButton *button = panel()->compressButton();
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), QStringLiteral("开始压缩"));
    EXPECT_FALSE(button->isBusy());
    EXPECT_EQ(panel()->statValue(QStringLiteral("图片数量")), QStringLiteral("3"));
    EXPECT_EQ(panel()->statValue(QStringLiteral("压缩后")), QString());

    chooser->folder = output.path();
    click(button);
    ASSERT_TRUE(session->isCompressingImages());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(button->isBusy());
    EXPECT_EQ(button->text(), QStringLiteral("压缩中"));
    // The list column keeps working during the run.
    click(column()->addButton());
    EXPECT_EQ(chooser->sourceQuestions, 1);
    click(column()->clearButton());
    EXPECT_TRUE(session->compressionSources().empty());
    EXPECT_TRUE(workspace()->showsEmptyState());
    ASSERT_TRUE(waitForBatch());
    EXPECT_EQ(session->compressionResults().size(), 3u);
    EXPECT_EQ(status(), QStringLiteral("已压缩 3 张图片"));

    // Back with a list: the banner and the figures show the results once they are published.
    add({ image(QStringLiteral("4.png"), 300, 300, "PNG") });
    click(panel()->compressButton());
    ASSERT_TRUE(waitForBatch());
    EXPECT_TRUE(panel()->compressButton()->isEnabled());
    EXPECT_TRUE(workspace()->banner()->isVisible());
    EXPECT_TRUE(workspace()->banner()->text().startsWith(QStringLiteral("已导出 1 张")));
    EXPECT_FALSE(panel()->statValue(QStringLiteral("压缩后")).isEmpty());
}

TEST_F(CompressionWorkspaceTest, SettingsWriteBackAndTheLongEdgeFollowsTheList)
{
    add({ image(QStringLiteral("big.jpg"), 1400, 700), image(QStringLiteral("small.jpg"), 600, 400) });
    EXPECT_EQ(panel()->qualityText(), QStringLiteral("75%"));
    panel()->qualitySlider()->setValue(20);
    EXPECT_EQ(session->compressionSettings().jpegQuality, 0.2);
    EXPECT_EQ(panel()->qualityText(), QStringLiteral("20%"));

    std::vector<StyledButton *> segments = panel()->maxDimensionButtons();
    ASSERT_EQ(segments.size(), 3u); // 原尺寸, 1280, 800
    EXPECT_EQ(segments[1]->text(), QStringLiteral("1280"));
    click(segments[1]);
    EXPECT_EQ(session->compressionSettings().maxDimension, ImageCompressionMaxDimension::longEdge1280);

    // Removing the only image above 1280 puts the choice back to the original size.
    session->removeCompressionSource(session->compressionSources()[0].id);
    QCoreApplication::processEvents();
    EXPECT_EQ(session->compressionSettings().maxDimension, ImageCompressionMaxDimension::original);
    EXPECT_EQ(session->compressionSettings().jpegQuality, 0.2);
    EXPECT_EQ(panel()->maxDimensionButtons().size(), 1u);
}

TEST_F(CompressionWorkspaceTest, CropSectionDrivenWithThePointer)
{
    add({ image(QStringLiteral("a.jpg"), 1000, 800), image(QStringLiteral("b.jpg"), 1000, 800),
          gif(QStringLiteral("c.gif")) });
    const auto sources = session->compressionSources();
    EXPECT_EQ(panel()->cropForm(), CropForm::StartButton);
    click(panel()->cropStartButton());
    EXPECT_EQ(panel()->cropForm(), CropForm::Editing);
    EXPECT_EQ(panel()->cropRatioTitle(), QStringLiteral("自由"));
    ASSERT_TRUE(preview()->cropRect());
    EXPECT_EQ(*preview()->cropRect(), Rect(42.5, 34, 340, 272));

    // A drag from just inside the top-left corner resizes with the bottom-right fixed.
    drag(QPointF(50, 40), QPointF(100, 90));
    EXPECT_EQ(*preview()->cropRect(), Rect(100, 90, 282.5, 216));
    // A drag elsewhere draws a new rectangle, clamped to the preview.
    drag(QPointF(200, 100), QPointF(600, 150));
    EXPECT_EQ(*preview()->cropRect(), Rect(200, 100, 225, 50));
    EXPECT_FALSE(workspace()->cropState().dragAnchor);

    click(panel()->cropRatioButton(CropAspectRatio::Square));
    EXPECT_EQ(panel()->cropRatioTitle(), QStringLiteral("1:1"));
    EXPECT_EQ(*preview()->cropRect(), Rect(287.5, 100, 50, 50));
    click(panel()->cropRatioButton(CropAspectRatio::Original));
    EXPECT_EQ(*preview()->cropRect(), Rect(0, 0, 425, 340));

    // Too small: refused without a message, the editor stays open.
    drag(QPointF(10, 300), QPointF(15, 330));
    model().setStatusMessage(QString());
    click(panel()->confirmCropButton());
    EXPECT_EQ(panel()->cropForm(), CropForm::Editing);
    EXPECT_EQ(status(), QString());

    // Refused by the window (the file has gone): the error is shown, the editor keeps its rectangle
    // (drawn at the image's own 5:4 ratio, still chosen).
    drag(QPointF(100, 100), QPointF(300, 250));
    const QString original = session->compressionSources()[0].url;
    const QString aside = original + QStringLiteral(".aside");
    ASSERT_TRUE(QFile::rename(original, aside));
    click(panel()->confirmCropButton());
    EXPECT_EQ(panel()->cropForm(), CropForm::Editing);
    EXPECT_EQ(*preview()->cropRect(), Rect(100, 100, 187.5, 150));
    EXPECT_EQ(error(), ImageCompressionServiceError::noReadableImage(original).description());
    ASSERT_TRUE(QFile::rename(aside, original));

    // Cancel closes; the next start begins afresh with "自由".
    click(panel()->cancelCropButton());
    EXPECT_EQ(panel()->cropForm(), CropForm::StartButton);
    EXPECT_FALSE(preview()->cropRect());
    click(panel()->cropStartButton());
    click(panel()->cropRatioButton(CropAspectRatio::Wide));
    EXPECT_EQ(panel()->cropRatioTitle(), QStringLiteral("16:9"));
    click(panel()->confirmCropButton());
    EXPECT_EQ(panel()->cropForm(), CropForm::StartButton);
    EXPECT_EQ(status(), QStringLiteral("已裁剪：a-裁剪.jpg"));
    EXPECT_EQ(session->selectedCompressionSourceID(), sources[0].id);
    const QSizeF cropped = session->compressionSources()[0].pixelSize;
    // Exactly 16:9 in pixels, not a pixel off.
    EXPECT_EQ(qint64(cropped.width()) * 9, qint64(cropped.height()) * 16) << cropped.width() << "×" << cropped.height();

    // Clicking the selected row keeps the editor open; selecting another closes it.
    click(panel()->cropStartButton());
    clickList(CompressionSourceDelegate::cardRect(rowRect(0)).center());
    EXPECT_EQ(panel()->cropForm(), CropForm::Editing);
    clickList(CompressionSourceDelegate::cardRect(rowRect(1)).center());
    EXPECT_EQ(panel()->cropForm(), CropForm::StartButton);
    EXPECT_EQ(workspace()->cropState(), ImageCompressionWorkspace::CropState());

    // A GIF shows the note and ignores drags.
    session->setSelectedCompressionSourceID(sources[2].id);
    QCoreApplication::processEvents();
    EXPECT_EQ(panel()->cropForm(), CropForm::GifNote);
    EXPECT_TRUE(panel()->showsGifNote());
    EXPECT_EQ(workspace()->detailBadges().last(), QStringLiteral("GIF 3 帧"));
    drag(QPointF(10, 10), QPointF(200, 200));
    EXPECT_FALSE(preview()->cropRect());
    EXPECT_EQ(workspace()->cropState(), ImageCompressionWorkspace::CropState());
}

// A frame drawn and neither confirmed nor cancelled outlives leaving the workspace: the editor
// opens again on it, and the run still waits for the user's word.
TEST_F(CompressionWorkspaceTest, ReenteringBringsBackAPendingCrop)
{
    add({ image(QStringLiteral("a.jpg"), 400, 300) });
    click(panel()->cropStartButton());
    click(panel()->cropRatioButton(CropAspectRatio::Square));
    const ImageCompressionWorkspace::CropState drawn = workspace()->cropState();
    ASSERT_TRUE(drawn.rect);
    view().switchWorkspace(WorkspaceMode::Launcher, false);
    view().switchWorkspace(WorkspaceMode::Compression, false);
    QCoreApplication::processEvents();
    EXPECT_EQ(workspace()->cropState(), drawn);
    EXPECT_EQ(panel()->cropForm(), CropForm::Editing);
    EXPECT_FALSE(panel()->compressButton()->isEnabled());
    EXPECT_EQ(names(), QStringList { QStringLiteral("a.jpg") });

    // Cancelled, it is gone for good.
    click(panel()->cancelCropButton());
    view().switchWorkspace(WorkspaceMode::Launcher, false);
    view().switchWorkspace(WorkspaceMode::Compression, false);
    QCoreApplication::processEvents();
    EXPECT_EQ(workspace()->cropState(), ImageCompressionWorkspace::CropState());
    EXPECT_EQ(panel()->cropForm(), CropForm::StartButton);
    EXPECT_TRUE(session->pendingCrops().empty());
}

TEST_F(CompressionWorkspaceTest, ReenteringShowsTheChosenLongEdgeInNavy)
{
    add({ image(QStringLiteral("big.jpg"), 2000, 1000) });
    click(panel()->maxDimensionButtons().back());
    ASSERT_EQ(session->compressionSettings().maxDimension, ImageCompressionMaxDimension::longEdge800);
    view().switchWorkspace(WorkspaceMode::ImageMarkup, false);
    view().switchWorkspace(WorkspaceMode::Compression, false);
    QCoreApplication::processEvents();

    const std::vector<StyledButton *> segments = panel()->maxDimensionButtons();
    ASSERT_EQ(segments.size(), 4u);
    for (size_t index = 0; index < segments.size(); ++index) {
        const bool chosen = index + 1 == segments.size();
        EXPECT_EQ(segments[index]->isChecked(), chosen) << index;
        EXPECT_EQ(segments[index]->buttonStyle().background, chosen ? AppTheme::navy() : AppTheme::paleGray()) << index;
    }
}

TEST_F(CompressionWorkspaceTest, DropsAddEveryFileInOrderAndVideosOpenTheirWorkspace)
{
    const QString one = image(QStringLiteral("one.png"), 30, 30, "PNG");
    ASSERT_TRUE(dropOnWindow({ QUrl::fromLocalFile(one) }));
    ASSERT_TRUE(waitUntil([this] { return !session->isAddingSources(); }));
    EXPECT_EQ(names(), QStringList { QStringLiteral("one.png") });

    session->clearCompressionSources();
    int adds = 0;
    QObject::connect(session, &ImageCompressionSession::compressionSourcesChanged, [&] { ++adds; });
    const QStringList three { image(QStringLiteral("z.jpg"), 30, 30), image(QStringLiteral("b.jpg"), 30, 30),
                              image(QStringLiteral("m.jpg"), 30, 30) };
    ASSERT_TRUE(
        dropOnWindow({ QUrl::fromLocalFile(three[0]), QUrl::fromLocalFile(three[1]), QUrl::fromLocalFile(three[2]) }));
    ASSERT_TRUE(waitUntil([this] { return !session->isAddingSources(); }));
    EXPECT_EQ(names(), (QStringList { QStringLiteral("z.jpg"), QStringLiteral("b.jpg"), QStringLiteral("m.jpg") }));
    EXPECT_EQ(adds, 3);
    // One status for the drop, counting all it added.
    EXPECT_EQ(status(), QStringLiteral("已添加 3 张图片到压缩"));
    EXPECT_EQ(session->selectedCompressionSourceID(), session->compressionSources()[0].id);

    QStringList videos;
    view().hooks().importVideo = [&](const QString &path) {
        videos << path;
        view().setWorkspaceMode(WorkspaceMode::VideoFrameAnnotation);
    };
    const QString movie = TestSupport::writeFile(QDir(files.path()).filePath(QStringLiteral("clip.mov")), "....");
    ASSERT_TRUE(dropOnWindow({ QUrl::fromLocalFile(movie) }));
    EXPECT_EQ(videos, QStringList { movie });
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::VideoFrameAnnotation);

    // Image markup keeps one file per drop.
    QStringList imported;
    view().hooks().importImages = [&](MarkupViewModel &, const QStringList &paths, bool) { imported += paths; };
    view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
    ASSERT_TRUE(dropOnWindow({ QUrl::fromLocalFile(three[0]), QUrl::fromLocalFile(three[1]) }));
    EXPECT_EQ(imported, QStringList { three[0] });
}

// The banner sums up what was written: the saving of the files that exist, each against its own
// source, and the images that failed beside it, in red rather than as a plain success.
TEST_F(CompressionWorkspaceTest, ARunWithVanishedImagesSavesOnlyWhatItWroteAndShowsItsFailures)
{
    QStringList paths;
    for (int index = 0; index < 6; ++index)
        paths << image(QStringLiteral("p%1.jpg").arg(index), 900, 600);
    add(paths);
    const std::vector<ImageCompressionSource> listed = session->compressionSources();
    for (int index : { 0, 2, 3, 5 })
        ASSERT_TRUE(QFile::remove(paths[index]));

    chooser->folder = output.path();
    click(panel()->compressButton());
    ASSERT_TRUE(waitForBatch());
    ASSERT_EQ(session->compressionResults().size(), 2u);
    qint64 saved = 0;
    for (const ImageCompressionResult &result : session->compressionResults()) {
        const auto from = std::find_if(listed.begin(), listed.end(),
                                       [&](const ImageCompressionSource &source) { return source.id == result.sourceID; });
        ASSERT_NE(from, listed.end());
        saved += from->originalBytes - QFileInfo(result.outputURL).size();
    }
    ASSERT_GT(saved, 0);
    // The failures say why, and how many share the reason.
    EXPECT_EQ(status(), QStringLiteral("已压缩 2 张，4 张失败：无法读取图片"));
    EXPECT_TRUE(workspace()->banner()->isVisible());
    const QString banner = QStringLiteral("已导出 2 张，节省 ") + ImageCompressionService::humanReadableByteCount(saved)
        + QStringLiteral("，4 张失败：无法读取图片");
    EXPECT_EQ(workspace()->banner()->text(), banner);
    EXPECT_TRUE(workspace()->banner()->reportsFailures());

    // The banner tells this run until the next one: selecting, cropping or removing an image
    // leaves it, since the files it counts stay on disk; new images withdraw it.
    session->setSelectedCompressionSourceID(listed[4].id);
    ASSERT_TRUE(session->cropCompressionSource(listed[1].id, QRectF(0, 0, 0.5, 0.5)));
    session->removeCompressionSource(listed[0].id);
    QCoreApplication::processEvents();
    EXPECT_EQ(workspace()->banner()->text(), banner);
    EXPECT_TRUE(workspace()->banner()->isVisible());
    add({ image(QStringLiteral("new.jpg"), 300, 200) });
    EXPECT_FALSE(workspace()->banner()->isVisible());
}

// An output whose name is taken goes under the next free one, and the result says so; what stood
// there is untouched. The hidden part files of a killed run go, and nothing else that is hidden.
TEST_F(CompressionWorkspaceTest, RenamedOutputsAreNamedAndAKilledRunsPartFilesGo)
{
    const QString planted = TestSupport::writeFile(output.filePath(QStringLiteral("a-压缩.jpg")), "the user's own file");
    const QString stale = QStringLiteral(".kivo-compression-%1.part")
                              .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    TestSupport::writeFile(output.filePath(stale), "cut short by a killed run");
    TestSupport::writeFile(output.filePath(QStringLiteral(".kivo-compression-notes.part")), "the user's");
    add({ image(QStringLiteral("a.jpg"), 600, 400), image(QStringLiteral("b.jpg"), 600, 400) });

    chooser->folder = output.path();
    click(panel()->compressButton());
    ASSERT_TRUE(waitForBatch());
    EXPECT_EQ(status(), QStringLiteral("已压缩 2 张图片，1 张因重名另存为 a-压缩-2.jpg"));
    EXPECT_TRUE(workspace()->banner()->text().endsWith(QStringLiteral("，1 张因重名另存为新文件名")))
        << workspace()->banner()->text().toStdString();
    EXPECT_FALSE(workspace()->banner()->reportsFailures());
    EXPECT_EQ(TestSupport::readFile(planted), "the user's own file");
    EXPECT_EQ(QDir(output.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList { QStringLiteral(".kivo-compression-notes.part"), QStringLiteral("a-压缩-2.jpg"),
                             QStringLiteral("a-压缩.jpg"), QStringLiteral("b-压缩.jpg") }));
    EXPECT_EQ(QImage(output.filePath(QStringLiteral("a-压缩-2.jpg"))).size(), QSize(600, 400));
}

// A crop frame on screen is either confirmed or cancelled before a run: until then the run
// cannot start, and the panel says why.
TEST_F(CompressionWorkspaceTest, APendingCropHoldsTheRunUntilConfirmedOrCancelled)
{
    add({ image(QStringLiteral("a.jpg"), 1600, 1200), image(QStringLiteral("b.jpg"), 800, 600) });
    chooser->folder = output.path();
    StyledButton *compress = panel()->compressButton();
    EXPECT_EQ(panel()->compressBlockedText(), QString());

    click(panel()->cropStartButton());
    click(panel()->cropRatioButton(CropAspectRatio::Wide));
    EXPECT_FALSE(compress->isEnabled());
    EXPECT_EQ(panel()->compressBlockedText(),
              QStringLiteral("裁剪尚未确认：请先点“确认”应用裁剪，或点“取消”放弃，再开始压缩。"));
    QTest::mouseClick(compress, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(chooser->folderQuestions, 0);
    EXPECT_FALSE(session->isCompressingImages());

    // Cancelled: the run may start.
    click(panel()->cancelCropButton());
    EXPECT_TRUE(compress->isEnabled());
    EXPECT_EQ(panel()->compressBlockedText(), QString());
    // Selecting another image keeps the frame with its image: the run still waits, the panel
    // names the image, and selecting it again brings the frame back as it was.
    click(panel()->cropStartButton());
    click(panel()->cropRatioButton(CropAspectRatio::Wide));
    const ImageCompressionWorkspace::CropState drawn = workspace()->cropState();
    EXPECT_FALSE(compress->isEnabled());
    session->setSelectedCompressionSourceID(session->compressionSources()[1].id);
    QCoreApplication::processEvents();
    EXPECT_EQ(panel()->cropForm(), CropForm::StartButton);
    EXPECT_FALSE(compress->isEnabled());
    EXPECT_EQ(panel()->compressBlockedText(),
              QStringLiteral("“a.jpg”的裁剪尚未确认：请选中后点“确认”应用裁剪，或点“取消”放弃，再开始压缩。"));
    session->compressImages();
    EXPECT_EQ(chooser->folderQuestions, 0);
    session->setSelectedCompressionSourceID(session->compressionSources()[0].id);
    QCoreApplication::processEvents();
    EXPECT_EQ(workspace()->cropState(), drawn);
    EXPECT_EQ(panel()->cropForm(), CropForm::Editing);

    // Confirmed: the run writes the crop.
    click(panel()->confirmCropButton());
    EXPECT_TRUE(compress->isEnabled());
    click(compress);
    ASSERT_TRUE(waitForBatch());
    ASSERT_EQ(session->compressionResults().size(), 2u);
    const QSize written = QImage(session->compressionResults()[0].outputURL).size();
    EXPECT_EQ(written.width() * 9, written.height() * 16) << written.width() << "×" << written.height();
    EXPECT_LT(written.width(), 1600);
}
