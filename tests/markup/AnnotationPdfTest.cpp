#include <gtest/gtest.h>

#include "markup/AnnotationRenderer.h"
#include "markup/MarkupTestSupport.h"
#include "platform/PdfTextLayer.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// Runs a poppler tool on a PDF written to disk and returns its standard output.
QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The media boxes poppler reports, as "W x H" per page.
QStringList mediaBoxes(const QString &pdfInfo)
{
    QStringList boxes;
    static const QRegularExpression pattern(
        QStringLiteral(R"(Page\s+\d+\s+MediaBox:\s+([\d.]+)\s+([\d.]+)\s+([\d.]+)\s+([\d.]+))"));
    auto it = pattern.globalMatch(pdfInfo);
    while (it.hasNext()) {
        const auto m = it.next();
        boxes << QStringLiteral("%1 %2 %3 %4").arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4));
    }
    return boxes;
}

} // namespace

TEST(AnnotationPdf, NoRenderablePageGivesNoData)
{
    EXPECT_FALSE(AnnotationRenderer::pdfData({}));
    EXPECT_FALSE(AnnotationRenderer::pdfData({AnnotationRenderPage{ImageHandle(), {}}}));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(AnnotationRenderer::writePdf({}, buffer), 0);
}

TEST(AnnotationPdf, OnePagePerImageAtItsExactSize)
{
    const MarkupAnnotation rect = makeAnnotation(AnnotationKind::Rectangle, {0.2, 0.2}, {0.8, 0.8});
    // The middle page cannot be rendered and is left out; 595 × 842 must not snap to A4.
    const std::vector<AnnotationRenderPage> pages{
        {ImageHandle(TestSupport::solidImage(1200, 800, QColor(0, 128, 0))), {rect}},
        {ImageHandle(), {rect}},
        {ImageHandle(TestSupport::solidImage(595, 842, Qt::white)), {}},
    };
    const auto pdf = AnnotationRenderer::pdfData(pages);
    ASSERT_TRUE(pdf);
    QTemporaryDir dir;
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("out.pdf")), *pdf);

    const QString info = runTool(QStringLiteral("pdfinfo"), {QStringLiteral("-box"), QStringLiteral("-f"),
                                                              QStringLiteral("1"), QStringLiteral("-l"),
                                                              QStringLiteral("5"), path});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral(R"(Pages:\s+2\b)")))) << info.toStdString();
    EXPECT_EQ(mediaBoxes(info), (QStringList{QStringLiteral("0.00 0.00 1200.00 800.00"),
                                             QStringLiteral("0.00 0.00 595.00 842.00")}))
        << info.toStdString();

    // The page images are stored losslessly, not re-encoded as JPEG.
    const QString images = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path});
    EXPECT_FALSE(images.contains(QStringLiteral("jpeg"))) << images.toStdString();
    EXPECT_TRUE(images.contains(QStringLiteral("1200   800"))) << images.toStdString();

    // Read the first page back at 72 dpi: the image fills the page and the rectangle is on it.
    const QString prefix = dir.filePath(QStringLiteral("page"));
    runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"),
                                         QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                                         QStringLiteral("-png"), QStringLiteral("-singlefile"), path, prefix});
    const QImage page(prefix + QStringLiteral(".png"));
    ASSERT_EQ(page.size(), QSize(1200, 800));
    EXPECT_EQ(page.pixelColor(10, 10), QColor(0, 128, 0));
    EXPECT_EQ(page.pixelColor(1190, 790), QColor(0, 128, 0));
    const QColor border = page.pixelColor(600, 160);
    EXPECT_GT(border.red(), 180);
    EXPECT_EQ(page.pixelColor(600, 400), QColor(0, 128, 0));
}

TEST(AnnotationPdf, LabelsDrawnIntoAPdfKeepTheirCharactersInTheTextLayer)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    const QString label = QStringLiteral("一二人文日目网行 长门马户");
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QSizeF(800, 400), QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        QPainter painter(&writer);
        AnnotationRenderer::drawAnnotations(
            painter, {makeAnnotation(AnnotationKind::Rectangle, {0.1, 0.2}, {0.9, 0.8}, label)}, QSizeF(800, 400));
    }
    QTemporaryDir dir;
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("label.pdf")),
                                                PdfTextLayer::withIdeographsForRadicals(bytes));
    QString text = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path,
                                                         QStringLiteral("-")});
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    EXPECT_TRUE(text.contains(QString(label).remove(QLatin1Char(' ')))) << text.toStdString();
}
