#include <gtest/gtest.h>

#include "markup/ExportFileNames.h"
#include "markup/MarkupTestSupport.h"
#include "model/FileSupport.h"
#include "model/MarkupViewModel.h"
#include "support/PlantedWriteFailure.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

namespace {

ImageMarkupItem exportItem(const QString &name, QSize size, QColor color = QColor(30, 120, 200))
{
    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = name;
    item.image = ImageHandle(TestSupport::solidImage(size.width(), size.height(), color));
    item.thumbnail = item.image;
    item.pixelSize = QSizeF(size);
    MarkupAnnotation arrow = makeAnnotation(AnnotationKind::Arrow, {0.1, 0.8}, {0.6, 0.3}, "箭头说明", 1);
    MarkupAnnotation box = makeAnnotation(AnnotationKind::Rectangle, {0.55, 0.1}, {0.9, 0.45}, "框选区域", 2);
    MarkupAnnotation text = makeAnnotation(AnnotationKind::Text, {0.1, 0.1}, {0.1, 0.1}, "文字标注", 3);
    MarkupAnnotation stroke = makeAnnotation(AnnotationKind::Brush, {0.2, 0.6}, {0.5, 0.9});
    for (int i = 0; i <= 20; ++i)
        stroke.points.push_back(UnitPoint2D(0.2 + i * 0.015, 0.6 + 0.1 * (i % 2)));
    item.annotations = {arrow, box, text, stroke};
    return item;
}

QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Exports with HOME pointing into a temporary folder that has no Desktop yet.
class Export : public ::testing::Test {
protected:
    QTemporaryDir home;
    // Set before anything asks QStandardPaths, so the Desktop is looked up in the new home.
    TestSupport::TemporaryHome temporaryHome{home.path()};
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<MarkupViewModel> model;
    QString desktop;

    void SetUp() override
    {
        desktop = home.filePath("Desktop");
        settings = std::make_unique<QSettings>(home.filePath("p.ini"), QSettings::IniFormat);
        model = std::make_unique<MarkupViewModel>(*settings);
    }

    QStringList desktopFiles() const
    {
        return QDir(desktop).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

const QString timestampPattern = QStringLiteral(R"((\d{8}-\d{6}))");

} // namespace

TEST(ExportFileNames, BaseNamesAreOneSafeComponent)
{
    using namespace ExportFileNames;
    EXPECT_EQ(deletingPathExtension("beach.final.png"), "beach.final");
    EXPECT_EQ(deletingPathExtension(".hidden"), ".hidden");
    EXPECT_EQ(deletingPathExtension("..x.png"), "..x.png");
    EXPECT_EQ(deletingPathExtension("trailing."), "trailing.");
    EXPECT_EQ(deletingPathExtension("plain"), "plain");
    EXPECT_EQ(deletingPathExtension("dir.d/file"), "dir.d/file");
    EXPECT_EQ(baseName("  photo .jpg"), "photo");
    EXPECT_EQ(baseName("   "), "标注图片");
    EXPECT_EQ(baseName("...png"), "...png");
    EXPECT_EQ(baseName(".."), "标注图片");
    EXPECT_EQ(baseName(" . "), "标注图片");
    EXPECT_EQ(baseName("../../etc/passwd.png"), ".._.._etc_passwd");
    EXPECT_EQ(baseName(QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b.png")), "a_b");

    const QString fitted = fittedFileName(QStringLiteral("😀").repeated(300), "-01-标注-20260305-140709.png");
    EXPECT_LE(fitted.toUtf8().size(), 255);
    EXPECT_TRUE(fitted.endsWith("-01-标注-20260305-140709.png"));
    EXPECT_FALSE(fitted.at(0).isLowSurrogate());
}

TEST_F(Export, PngAndJpegNamesShareOneTimestampAndCreateTheDesktop)
{
    model->setItems({exportItem("beach.jpg", {120, 80}), exportItem("  ", {60, 90}),
                     exportItem("beach.final.png", {50, 50})});
    model->selectItem(model->items()[0].id);
    model->setSelectedImageItemIDs({model->items()[0].id, model->items()[2].id});
    ASSERT_FALSE(QFileInfo::exists(desktop));

    const QStringList written = model->saveSelectedImagesToDesktop();
    ASSERT_EQ(written.size(), 2);
    EXPECT_TRUE(QFileInfo(desktop).isDir()) << "the missing Desktop folder is created";
    const QRegularExpressionMatch first = QRegularExpression(
        "^" + QRegularExpression::escape(desktop + "/beach-01-标注-") + timestampPattern + "\\.png$").match(written[0]);
    ASSERT_TRUE(first.hasMatch()) << written[0].toStdString();
    EXPECT_EQ(written[1], desktop + "/beach.final-02-标注-" + first.captured(1) + ".png")
        << "numbered by position in the save, one timestamp";
    EXPECT_EQ(model->items()[0].savedURL, written[0]);
    EXPECT_FALSE(model->items()[1].savedURL);
    EXPECT_EQ(model->items()[2].savedURL, written[1]);
    EXPECT_EQ(model->statusMessage(), "已保存 2 张图片到桌面");
    EXPECT_FALSE(model->errorMessage());
    EXPECT_EQ(QImage(written[0]).size(), QSize(120, 80));

    // Saving only the third image numbers it 01; JPEG files end in .jpg.
    model->setSelectedImageItemIDs({model->items()[2].id});
    const QStringList jpeg = model->saveSelectedImagesToDesktop(ImageExportFormat::Jpeg, 0);
    ASSERT_EQ(jpeg.size(), 1);
    EXPECT_TRUE(QFileInfo(jpeg[0]).fileName().startsWith("beach.final-01-标注-")) << jpeg[0].toStdString();
    EXPECT_TRUE(jpeg[0].endsWith(".jpg"));
    EXPECT_EQ(QImageReader(jpeg[0]).format(), "jpeg");
    EXPECT_EQ(model->items()[2].savedURL, jpeg[0]);

    // Save all: list positions, the blank name becomes the default base.
    const QStringList all = model->saveAllToDesktop();
    ASSERT_EQ(all.size(), 3);
    EXPECT_TRUE(QFileInfo(all[1]).fileName().startsWith("标注图片-02-标注-")) << all[1].toStdString();
    // Within the first save's second, the first file takes the next free name.
    EXPECT_TRUE(model->statusMessage().startsWith("已批量保存 3 张图片到桌面")) << model->statusMessage().toStdString();
    for (const QString &path : all)
        EXPECT_EQ(QFileInfo(path).absolutePath(), desktop);

    // Suggested names of the current image.
    EXPECT_TRUE(QRegularExpression("^beach-标注-" + timestampPattern + "\\.jpg$")
                    .match(model->suggestedOutputFileName("jpg"))
                    .hasMatch());
    model->setSelectedItemID(std::nullopt);
    EXPECT_TRUE(model->suggestedOutputFileName().startsWith("标注图片-标注-"));
}

TEST_F(Export, FailuresAreReportedAndTheRestIsSaved)
{
    EXPECT_TRUE(model->saveSelectedImagesToDesktop().isEmpty());
    EXPECT_EQ(model->errorMessage(), "请先选择要保存的图片");
    EXPECT_TRUE(model->saveAllToDesktop().isEmpty());
    EXPECT_EQ(model->errorMessage(), "没有可保存的图片");

    // The middle image has no pixels: the other two are still written.
    ImageMarkupItem broken = exportItem("broken.png", {10, 10});
    broken.image = ImageHandle();
    model->setItems({exportItem("a.png", {30, 20}), broken, exportItem("../../escape.png", {30, 20})});
    model->selectAllImageItems();
    model->setErrorMessage(std::nullopt);
    const QStringList written = model->saveSelectedImagesToDesktop();
    EXPECT_EQ(written.size(), 2);
    EXPECT_EQ(model->errorMessage(), "第 2 张图片无法生成");
    EXPECT_EQ(model->statusMessage(), "已保存 2 张图片到桌面");
    // A crafted name stays inside the Desktop.
    EXPECT_EQ(QFileInfo(written[1]).absolutePath(), desktop);
    EXPECT_TRUE(QFileInfo(written[1]).fileName().startsWith(".._.._escape-03-标注-"));

    // No Desktop can be made (a file stands in its place): every write fails.
    QDir(desktop).removeRecursively();
    TestSupport::writeFile(desktop, "not a folder");
    auto items = model->items();
    items[0].savedURL.reset();
    model->setItems(items);
    EXPECT_TRUE(model->saveAllToDesktop().isEmpty());
    EXPECT_EQ(model->statusMessage(), "批量保存失败");
    ASSERT_TRUE(model->errorMessage());
    EXPECT_TRUE(model->errorMessage()->startsWith("无法写入文件：.._.._escape-03-标注-"))
        << model->errorMessage()->toStdString();
    EXPECT_TRUE(model->errorMessage()->endsWith("（" + desktop + "：文件夹不存在）"))
        << model->errorMessage()->toStdString();
    EXPECT_FALSE(model->items()[0].savedURL);
    EXPECT_FALSE(model->saveSelectedImagesPDFToDesktop());
}

// A disk that fills or a Desktop turned read-only says so, in Chinese, with the folder: for the
// image files and for the PDF alike. Nothing is left on the Desktop.
TEST_F(Export, AFullDiskOrAReadOnlyDesktopSaysWhyAndWhere)
{
    model->setItems({exportItem("a.png", {40, 30}), exportItem("b.png", {40, 30})});
    model->selectAllImageItems();
    {
        const TestSupport::PlantedWriteFailure full(ENOSPC);
        EXPECT_TRUE(model->saveSelectedImagesToDesktop().isEmpty());
        ASSERT_TRUE(model->errorMessage());
        EXPECT_TRUE(model->errorMessage()->startsWith("无法写入文件：b-02-标注-")) << model->errorMessage()->toStdString();
        EXPECT_TRUE(model->errorMessage()->endsWith("（" + desktop + "：磁盘空间不足）"))
            << model->errorMessage()->toStdString();
        EXPECT_EQ(model->statusMessage(), "保存失败");

        model->setErrorMessage(std::nullopt);
        EXPECT_FALSE(model->saveSelectedImagesPDFToDesktop());
        ASSERT_TRUE(model->errorMessage());
        EXPECT_TRUE(model->errorMessage()->endsWith(".pdf（" + desktop + "：磁盘空间不足）"))
            << model->errorMessage()->toStdString();
    }
    {
        const TestSupport::PlantedWriteFailure readOnly(EROFS);
        model->setErrorMessage(std::nullopt);
        EXPECT_TRUE(model->saveAllToDesktop().isEmpty());
        ASSERT_TRUE(model->errorMessage());
        EXPECT_TRUE(model->errorMessage()->endsWith("（" + desktop + "：文件夹只读，无法写入）"))
            << model->errorMessage()->toStdString();
    }
    EXPECT_EQ(desktopFiles(), QStringList());
}

TEST_F(Export, PdfOfTheSelectedImages)
{
    model->setItems({exportItem("scan.png", {300, 200}), exportItem("b.png", {120, 160}),
                     exportItem("c.png", {64, 48})});
    model->selectItem(model->items()[0].id);

    // One image: its own base name; the PDF leaves savedURL alone.
    const std::optional<QString> single = model->saveSelectedImagesPDFToDesktop();
    ASSERT_TRUE(single);
    EXPECT_TRUE(QRegularExpression("^scan-" + timestampPattern + "\\.pdf$").match(QFileInfo(*single).fileName()).hasMatch())
        << single->toStdString();
    EXPECT_EQ(model->statusMessage(), "PDF 已保存：" + QFileInfo(*single).fileName());
    EXPECT_FALSE(model->items()[0].savedURL);

    // Several images: "标注图片-N张", one page per image at its pixel size; a page that cannot be
    // rendered is left out and reported.
    auto items = model->items();
    items[2].image = ImageHandle();
    model->setItems(items);
    model->selectAllImageItems();
    model->setErrorMessage(std::nullopt);
    const QStringList result = model->saveSelectedImagesToDesktop(ImageExportFormat::Pdf, 0.9);
    ASSERT_EQ(result.size(), 1);
    EXPECT_TRUE(QFileInfo(result[0]).fileName().startsWith("标注图片-3张-"));
    EXPECT_EQ(model->errorMessage(), "第 3 张图片无法生成");
    const QString info = runTool("pdfinfo", {"-box", "-f", "1", "-l", "9", result[0]});
    EXPECT_TRUE(info.contains(QRegularExpression(R"(Pages:\s+2\b)"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(R"(Page\s+1\s+MediaBox:\s+0\.00\s+0\.00\s+300\.00\s+200\.00)")))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(R"(Page\s+2\s+MediaBox:\s+0\.00\s+0\.00\s+120\.00\s+160\.00)")))
        << info.toStdString();

    // The same document in memory.
    const std::optional<QByteArray> data = model->selectedImagesPDFData();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->startsWith("%PDF"));
}

TEST_F(Export, PdfWithoutAnyRenderablePageIsNoFile)
{
    ImageMarkupItem empty = exportItem("empty.png", {10, 10});
    empty.image = ImageHandle();
    model->setItems({empty});
    model->selectAllImageItems();
    EXPECT_FALSE(model->saveSelectedImagesPDFToDesktop());
    EXPECT_EQ(model->errorMessage(), "PDF 生成失败");
    EXPECT_TRUE(desktopFiles().isEmpty()) << desktopFiles().join(", ").toStdString();
    EXPECT_FALSE(model->selectedImagesPDFData());

    model->setItems({});
    model->setErrorMessage(std::nullopt);
    EXPECT_FALSE(model->selectedImagesPDFData());
    EXPECT_EQ(model->errorMessage(), "请先选择要另存为 PDF 的图片");
    EXPECT_TRUE(model->saveSelectedImagesToDesktop(ImageExportFormat::Pdf, 0.9).isEmpty());
}

TEST_F(Export, ExportedPixelsCarryTheAnnotations)
{
    model->setItems({exportItem("look.png", {600, 400})});
    model->selectAllImageItems();
    const QStringList png = model->saveSelectedImagesToDesktop();
    ASSERT_EQ(png.size(), 1);
    const QImage image(png[0]);
    ASSERT_EQ(image.size(), QSize(600, 400));
    // Background where nothing was drawn; the rectangle's red edge at its left side.
    EXPECT_EQ(image.pixelColor(590, 390), QColor(30, 120, 200));
    const QColor edge = image.pixelColor(330, 120);
    EXPECT_GT(edge.red(), 180) << edge.name().toStdString();

    // The PDF page shows the same picture.
    const std::optional<QString> pdf = model->saveSelectedImagesPDFToDesktop();
    ASSERT_TRUE(pdf);
    const QString prefix = home.filePath("page");
    runTool("pdftoppm", {"-r", "72", "-png", "-singlefile", *pdf, prefix});
    const QImage page(prefix + ".png");
    ASSERT_EQ(page.size(), QSize(600, 400));
    EXPECT_EQ(page.pixelColor(590, 390), QColor(30, 120, 200));
    EXPECT_GT(page.pixelColor(330, 120).red(), 180);
}

// Two saves within one second (a double press, the hour that repeats when summer time ends) never
// replace each other: the second file takes the next free name, and the status and the image's
// savedURL name the file written.
TEST_F(Export, ASaveWithinTheSameSecondKeepsTheEarlierFile)
{
    const FileSupport::FixedExportMoment moment(QDateTime(QDate(2026, 10, 25), QTime(14, 30, 5)));
    model->setItems({exportItem("beach.jpg", {60, 40}), exportItem("dune.jpg", {50, 30})});
    model->selectAllImageItems();
    const QStringList first = model->saveSelectedImagesToDesktop();
    ASSERT_EQ(first, (QStringList{desktop + "/beach-01-标注-20261025-143005.png", desktop + "/dune-02-标注-20261025-143005.png"}));
    const QByteArray firstBytes = TestSupport::readFile(first[0]);

    const QStringList second = model->saveSelectedImagesToDesktop();
    ASSERT_EQ(second, (QStringList{desktop + "/beach-01-标注-20261025-143005-2.png", desktop + "/dune-02-标注-20261025-143005-2.png"}));
    EXPECT_EQ(TestSupport::readFile(first[0]), firstBytes);
    EXPECT_EQ(model->statusMessage(), "已保存 2 张图片到桌面，2 张因重名另存为 beach-01-标注-20261025-143005-2.png 等");
    EXPECT_EQ(model->items()[0].savedURL, second[0]);
    EXPECT_EQ(QImage(second[1]).size(), QSize(50, 30));

    // The PDF: a file planted under its name stays, the new one is named in the status.
    model->selectItem(model->items()[0].id);
    model->setSelectedImageItemIDs({model->items()[0].id});
    const QString planted = TestSupport::writeFile(desktop + "/beach-20261025-143005.pdf", "the user's own PDF");
    const std::optional<QString> pdf = model->saveSelectedImagesPDFToDesktop();
    ASSERT_TRUE(pdf);
    EXPECT_EQ(*pdf, desktop + "/beach-20261025-143005-2.pdf");
    EXPECT_EQ(model->statusMessage(), "PDF 已保存：beach-20261025-143005-2.pdf");
    EXPECT_EQ(TestSupport::readFile(planted), "the user's own PDF");
    EXPECT_TRUE(TestSupport::readFile(*pdf).startsWith("%PDF"));
    // No hidden file is left behind.
    EXPECT_TRUE(QDir(desktop).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty());
}
