#include "model/AppFont.h"
#include "textengine/TextAnnotationCalloutLayout.h"
#include "textengine/TextBandLayout.h"
#include "textengine/TextComparisonRenderer.h"
#include "support/ComparisonExecutors.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TextAnnotationCalloutLayout;

namespace {

TextMarkupAnnotation markup(qint64 seq, qint64 location, qint64 length, const QString &note)
{
    return TextMarkupAnnotation(QUuid::createUuid(), seq, location, length, note, false, "#FDE047", false, "#16A34A",
                                false);
}

TextComparisonState sampleState()
{
    TextComparisonState state("合同.txt", "第一条 甲方应于三日内付款。\n第二条 乙方交付货物。\n第三条 争议协商解决。",
                              std::nullopt, {});
    state.editedText = "第一条 甲方应于五日内付款。\n第二条 乙方按时交付全部货物。\n第三条 争议协商解决。";
    auto note = markup(1, 4, 2, "期限需再确认");
    note.highlight = true;
    auto underline = markup(0, 19, 4, "");
    underline.underline = true;
    underline.underlineColorHex = "#2563EB";
    auto strike = markup(2, 32, 4, "删除此句");
    strike.strikethrough = true;
    state.annotations = {note, underline, strike};
    return state;
}

bool hasColor(const QImage &image, QRect area, QRgb color)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF))
                return true;
        }
    }
    return false;
}

QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

TEST(TextAnnotationCalloutLayout, SizesBubblesAndReservesSpace)
{
    EXPECT_EQ(bubbleWidth(markup(0, 0, 1, " \n "), 500), 0);
    EXPECT_EQ(bubbleHeight(markup(0, 0, 1, "\n"), 132), 0);
    EXPECT_EQ(bubbleWidth(markup(0, 0, 1, "短"), 500), 132);
    const auto wide = markup(0, 0, 1, QString(40, u'宽'));
    EXPECT_EQ(bubbleWidth(wide, 220), 220);
    EXPECT_EQ(bubbleWidth(wide, 122), 132); // the cap never goes below 132
    const qreal oneLine = bubbleHeight(markup(0, 0, 1, "短"), 132);
    EXPECT_GT(oneLine, 14);
    EXPECT_GT(bubbleHeight(wide, 220), oneLine); // wraps at 220 - 88

    // The narrowest bubble draws a note 44 wide: a bubble of that width is tall enough for every
    // line drawn there, so nothing of the note is cut off on screen or in an export. (The note
    // itself gets a bubble wide enough for one line.)
    const auto seven = markup(0, 0, 1, QStringLiteral("这里要改成中文"));
    EXPECT_GT(bubbleWidth(seven, 500), 132);
    EXPECT_EQ(noteTextWidth(132), 44);
    TextBandLayout drawn(seven.note, noteFont(), noteTextWidth(132), 0);
    drawn.layout();
    EXPECT_GE(drawn.lines().size(), 3u);
    EXPECT_GE(bubbleHeight(seven, 132) - 14, drawn.height());

    // Two notes at one location form one group; the band rule adds 8 between groups of a line.
    const auto a = markup(1, 3, 2, "甲");
    const auto b = markup(2, 3, 1, "乙");
    const qreal slot = std::ceil(oneLine + 10);
    EXPECT_EQ(groupSpacing({a}, 684), slot);
    EXPECT_EQ(groupSpacing({a, b}, 684), std::ceil(2 * slot + 8));
    const auto spacing = calloutSpacing("0123456789", {a, b, markup(3, 7, 1, "丙"), markup(4, 20, 1, "外")}, 684);
    ASSERT_EQ(spacing.size(), 2u);
    EXPECT_EQ(TextBandLayout::bandFor(spacing, 0, 10, 10), std::ceil(spacing.at(3) + spacing.at(7) + 8));
    EXPECT_EQ(TextBandLayout::bandFor(spacing, 4, 10, 10), spacing.at(7));
    EXPECT_EQ(TextBandLayout::bandFor(spacing, 8, 10, 10), 0);

    // The band goes above the annotated line; later lines move down by it.
    TextBandLayout plain("一\n二\n三", AppFont::font(20), 300, 5);
    plain.layout();
    TextBandLayout banded("一\n二\n三", AppFont::font(20), 300, 5);
    banded.setSpacing({{2, 40}});
    banded.layout();
    ASSERT_EQ(banded.lines().size(), 3u);
    EXPECT_EQ(banded.lines()[1].band, 40);
    EXPECT_EQ(banded.lines()[0].band, 0);
    EXPECT_DOUBLE_EQ(banded.lines()[2].top, plain.lines()[2].top + 40);
    EXPECT_DOUBLE_EQ(banded.height(), plain.height() + 40);
    // A key on a paragraph's line break belongs to that paragraph's last line.
    banded.setSpacing({{1, 30}});
    banded.layout();
    EXPECT_EQ(banded.lines()[0].band, 30);
}

TEST(TextAnnotationCalloutLayout, StacksBubblesOfALineAndSplitsVisibleRuns)
{
    EXPECT_EQ(visibleCharacterRanges(0, 9, " ab  c\n d"),
              (std::vector<std::pair<qsizetype, qsizetype>>{{1, 2}, {5, 1}, {8, 1}}));
    EXPECT_TRUE(visibleCharacterRanges(5, 1, "abc").empty());
    EXPECT_TRUE(visibleCharacterRanges(1, 0, "abc").empty());
    EXPECT_EQ(visibleCharacterRanges(1, std::numeric_limits<qint64>::max(), "abc"),
              (std::vector<std::pair<qsizetype, qsizetype>>{{1, 2}}));

    const QRectF bounds(0, 0, 600, 800);
    auto first = markup(1, 0, 1, "a");
    auto second = markup(2, 5, 1, "b");
    auto third = markup(3, 9, 1, "c");
    std::map<qint64, std::vector<RawCallout>> groups;
    groups[50] = {{third, QRectF(590, 100, 10, 10), 50, 150, 40},
                  {second, QRectF(200, 100, 24, 18), 50, 150, 40},
                  {first, QRectF(10, 100, 24, 18), 50, 150, 40}};
    const auto placed = placements(50, groups, bounds, 0);
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0].annotation.id, first.id);
    EXPECT_EQ(placed[0].bubbleRect, QRectF(14, 52, 150, 40));  // 100 - 8 - 40, pushed inside
    EXPECT_EQ(placed[1].bubbleRect, QRectF(200, 4, 150, 40));  // stacked above the first
    EXPECT_EQ(placed[2].bubbleRect, QRectF(436, 126, 150, 40)); // would cross minY: below the line
    EXPECT_EQ(placed[0].pointerCenterX, 32);                    // clamped to x + 18
    EXPECT_TRUE(placements(7, groups, bounds, 0).empty());
}

TEST(TextComparisonRenderer, RendersPagesAtTheirGeometry)
{
    const TextComparisonState state = sampleState();
    const auto geometry = TextComparisonRenderer::fullPageGeometry(state, comparisonOf(state), 1600);
    EXPECT_EQ(geometry.pageSize, QSizeF(1600, 714));
    ASSERT_EQ(geometry.cards.size(), 2u);
    EXPECT_EQ(geometry.cards[0], QRectF(44, 110, 744, 560));
    EXPECT_EQ(geometry.cards[1], QRectF(812, 110, 744, 560));
    EXPECT_EQ(TextComparisonRenderer::editedPageGeometry(state, comparisonOf(state), 1100).cards[0], QRectF(48, 110, 1004, 560));

    bool truncated = true;
    const auto png = TextComparisonRenderer::pngData(state, comparisonOf(state), "合同对比", 1600, 0.5, &truncated);
    ASSERT_TRUE(png);
    EXPECT_FALSE(truncated);
    const QImage image = QImage::fromData(*png, "PNG");
    EXPECT_EQ(image.size(), QSize(1600, 714)); // a scale below 1 draws at 1
    EXPECT_EQ(image.pixel(10, 10) & 0xFFFFFF, 0xF8FAFCu);
    EXPECT_EQ(image.pixel(60, 130) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_TRUE(hasColor(image, QRect(842, 242, 684, 200), 0xFDE68A));  // change highlight, right card
    EXPECT_FALSE(hasColor(image, QRect(74, 242, 684, 200), 0xFDE68A));  // never on the original
    EXPECT_TRUE(hasColor(image, QRect(812, 120, 744, 300), 0xFBBF24));  // a note bubble
    EXPECT_TRUE(hasColor(image, QRect(812, 120, 744, 400), 0x2563EB));  // badges and the blue underline

    const auto scaled = TextComparisonRenderer::editedPagePNGData(state, comparisonOf(state), "", 1100, 2);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(QImage::fromData(*scaled, "PNG").size(), QSize(2200, 1428));

    QTemporaryDir dir;
    const QString out = qEnvironmentVariable("KIVORA_RENDER_OUT", dir.path());
    QFile(out + "/full.png").remove();
    QFile pngFile(out + "/full.png");
    ASSERT_TRUE(pngFile.open(QIODevice::WriteOnly));
    pngFile.write(*TextComparisonRenderer::pngData(state, comparisonOf(state), "合同对比", 1600, 2));
    pngFile.close();
    const auto pdf = TextComparisonRenderer::pdfData(state, comparisonOf(state), "合同对比", 1600);
    ASSERT_TRUE(pdf);
    EXPECT_TRUE(pdf->startsWith("%PDF"));
    QFile pdfFile(out + "/full.pdf");
    ASSERT_TRUE(pdfFile.open(QIODevice::WriteOnly));
    pdfFile.write(*pdf);
    pdfFile.close();
    if (!QStandardPaths::findExecutable("pdfinfo").isEmpty()) {
        const QString info = runTool("pdfinfo", {out + "/full.pdf"});
        EXPECT_TRUE(info.contains(QRegularExpression("Pages: +1\\n")));
        EXPECT_TRUE(info.contains(QRegularExpression("Page size: +1600 x 714 pts"))) << info.toStdString();
        runTool("pdftoppm", {"-r", "72", "-png", "-singlefile", out + "/full.pdf", out + "/fromPdf"});
        const QImage fromPdf(out + "/fromPdf.png");
        ASSERT_FALSE(fromPdf.isNull());
        EXPECT_EQ(fromPdf.pixel(10, 10) & 0xFFFFFF, 0xF8FAFCu);
        EXPECT_TRUE(hasColor(fromPdf, QRect(842, 242, 684, 200), 0xFDE68A));
    }
}

TEST(TextComparisonRenderer, PdfTextLayerGivesTheCharactersDrawn)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    // Common characters whose glyphs CJK fonts share with radicals, in the simplified and the
    // traditional forms.
    const QString common = QStringLiteral("一二人文日目网行");
    const QString shared = QStringLiteral("长门马鱼鸟风飞页龙户 長門馬魚鳥");
    // Digits that the font's shaping would swap for glyphs of its own, outside its character map.
    const QString numbers = QStringLiteral("合同 2024 年第 3 版 v2.0 line 17.");
    TextComparisonState state("文案.txt", common + "\n" + shared + "\n" + numbers, std::nullopt, {});
    state.editedText = common + "文案\n" + shared + "\n" + numbers;
    state.annotations = {markup(1, 0, 2, QStringLiteral("网行批注"))};
    QTemporaryDir dir;
    for (bool editedOnly : {false, true}) {
        const auto pdf = editedOnly ? TextComparisonRenderer::editedPagePDFData(state, comparisonOf(state), "文案对比", 1100)
                                    : TextComparisonRenderer::pdfData(state, comparisonOf(state), "文案对比", 1600);
        ASSERT_TRUE(pdf);
        const QString path = dir.filePath(editedOnly ? "edited.pdf" : "full.pdf");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(*pdf);
        file.close();
        QString text = runTool("pdftotext", {"-enc", "UTF-8", path, "-"});
        text.remove(QRegularExpression("\\s"));
        for (const QString &expected : {QStringLiteral("文案对比"), common + "文案", QStringLiteral("1网行"),
                                        QString(shared).remove(' '), QString(numbers).remove(' ')})
            EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " in " << text.toStdString();
        for (const QChar c : text)
            EXPECT_FALSE(c.unicode() >= 0x2E80 && c.unicode() <= 0x2FDF) << "radical U+" << std::hex << int(c.unicode());
    }
}

TEST(TextComparisonRenderer, CutsLongTextsAtTheCapAndSaysSo)
{
    QString longText;
    for (int k = 0; k < 400; ++k)
        longText += QStringLiteral("第%1行 内容内容内容\n").arg(k);
    TextComparisonState state("长.txt", longText, std::nullopt, {});
    state.editedText = longText + "新增一行";
    const auto geometry = TextComparisonRenderer::fullPageGeometry(state, comparisonOf(state), 1600);
    EXPECT_EQ(geometry.pageSize.height(), 2400 + 154);
    EXPECT_TRUE(geometry.truncated);
    bool truncated = false;
    const auto png = TextComparisonRenderer::editedPagePNGData(state, comparisonOf(state), "长", 1100, 1, &truncated);
    ASSERT_TRUE(png);
    EXPECT_TRUE(truncated);
    EXPECT_EQ(QImage::fromData(*png, "PNG").height(), 2600 + 154);

    // The left column with its own bubble bands decides the height when it is the taller one.
    TextComparisonState banded("b", "a\nb\nc\nd", std::nullopt, {});
    banded.editedText = "a\nb";
    banded.annotations = {markup(1, 0, 1, "注")};
    const TextComparisonState unbanded("b", "a\nb\nc\nd", "a\nb", {});
    const auto plain = TextComparisonRenderer::fullPageGeometry(unbanded, comparisonOf(unbanded), 1600);
    EXPECT_EQ(TextComparisonRenderer::fullPageGeometry(banded, comparisonOf(banded), 1600).pageSize.height(), plain.pageSize.height());
}

TEST(TextComparisonRenderer, AnnotationPagesShowExcerptsAroundTheMarkup)
{
    using TextComparisonRenderer::makeAnnotationSnippet;
    const QString text(1000, u'x');
    auto snippet = makeAnnotationSnippet(text, markup(0, 200, 10, ""));
    EXPECT_EQ(snippet.text, "... " + QString(210, u'x') + " ...");
    EXPECT_EQ(snippet.annotationRange, std::make_pair(qsizetype(84), qsizetype(10)));
    snippet = makeAnnotationSnippet(text, markup(0, 30, 10, ""));
    EXPECT_EQ(snippet.annotationRange, std::make_pair(qsizetype(30), qsizetype(10)));
    snippet = makeAnnotationSnippet(text, markup(0, 5000, 10, ""));
    EXPECT_EQ(snippet.text, "... " + QString(80, u'x'));
    EXPECT_FALSE(snippet.annotationRange);
    EXPECT_EQ(makeAnnotationSnippet("", markup(0, 0, 1, "")).text, "无内容");
    snippet = makeAnnotationSnippet("\n  ab", markup(0, 1, 3, ""));
    EXPECT_EQ(snippet.text, "ab");
    EXPECT_EQ(snippet.annotationRange, std::make_pair(qsizetype(0), qsizetype(1)));

    auto plain = markup(0, 0, 1, "");
    const TextComparisonState single("s", "a", std::nullopt, {plain});
    EXPECT_EQ(TextComparisonRenderer::makeAnnotationPageModel(single, comparisonOf(single), plain)
                  .styleSummary,
              "批注");
    TextComparisonState state = sampleState();
    const auto model = TextComparisonRenderer::makeAnnotationPageModel(state, comparisonOf(state), state.annotations[2]);
    EXPECT_EQ(model.markerText, "批注 2");
    EXPECT_EQ(model.styleSummary, "批注 / 划掉");

    // A long note makes the page taller so the third card is not cut.
    state.annotations[2].note = QString(3000, u'长');
    const QSizeF size = TextComparisonRenderer::annotationPageSize(
        TextComparisonRenderer::makeAnnotationPageModel(state, comparisonOf(state), state.annotations[2]), 900);
    EXPECT_GT(size.height(), 1000);
    const auto png = TextComparisonRenderer::annotationPagePNGData(state, comparisonOf(state), state.annotations[2].id, 900, 1);
    ASSERT_TRUE(png);
    const QImage image = QImage::fromData(*png, "PNG");
    EXPECT_EQ(image.height(), int(size.height()));
    // The last card's bottom border lies above the page's bottom margin.
    EXPECT_EQ(image.pixel(450, image.height() - 30) & 0xFFFFFF, 0xF8FAFCu);
    EXPECT_FALSE(TextComparisonRenderer::annotationPagePDFData(state, comparisonOf(state), QUuid::createUuid(), 900));

    const QString out = qEnvironmentVariable("KIVORA_RENDER_OUT");
    if (!out.isEmpty()) {
        QFile file(out + "/context.png");
        const TextComparisonState sample = sampleState();
        const auto page = TextComparisonRenderer::annotationPagePNGData(sample, comparisonOf(sample), sample.annotations[0].id, 900, 2);
        ASSERT_TRUE(page);
        if (file.open(QIODevice::WriteOnly))
            file.write(*page);
    }
}
