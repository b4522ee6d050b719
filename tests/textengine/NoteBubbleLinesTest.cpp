#include "support/NoteBubbleMeasure.h"
#include "textengine/TextAnnotationCalloutLayout.h"
#include "textengine/TextBandLayout.h"
#include "textengine/TextComparisonRenderer.h"
#include "support/ComparisonExecutors.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TextAnnotationCalloutLayout;

namespace {

TextMarkupAnnotation note(const QString &text)
{
    return TextMarkupAnnotation(QUuid::createUuid(), 1, 4, 4, text, true, "#FDE047", false, "#16A34A", false);
}

TextComparisonState stateWithNote(const QString &text)
{
    TextComparisonState state("文案.txt", "第一段文字，用来放一条批注。\n第二段。", std::nullopt, {});
    state.editedText = "第一段文字，用来放一条批注，略有改动。\n第二段。";
    state.annotations = { note(text) };
    return state;
}

int linesLaidOut(const QString &text, qreal width)
{
    TextBandLayout layout(text, noteFont(), width, 0);
    layout.layout();
    return int(layout.lines().size());
}

const QString kShort = QStringLiteral("这句太长，建议拆分");
const QString kLong = QStringLiteral("这一条批注写得很长很长，一行放不下的时候应当在气泡的最大宽度处折行，而不是更早。");

} // namespace

TEST(NoteBubbleLines, ANoteIsLaidOutAtTheWidthItsBubbleIsDrawnAt)
{
    // A short note: its bubble holds it on one line.
    const qreal width = bubbleWidth(note(kShort), 684);
    EXPECT_GT(width, 132);
    EXPECT_LT(width, 220);
    EXPECT_GE(noteTextWidth(width), QFontMetricsF(noteFont()).horizontalAdvance(kShort));
    EXPECT_EQ(linesLaidOut(kShort, noteTextWidth(width)), 1);
    EXPECT_EQ(bubbleHeight(note(kShort), width), bubbleHeight(note(QStringLiteral("短")), 132));

    // A single character still gets the narrowest bubble.
    EXPECT_EQ(bubbleWidth(note(QStringLiteral("短")), 684), 132);

    // A long note fills the bubble's maximum and wraps there, not earlier.
    EXPECT_EQ(bubbleWidth(note(kLong), 684), 220);
    const int longLines = linesLaidOut(kLong, noteTextWidth(220));
    EXPECT_GE(longLines, 2);
    const qreal perLine = QFontMetricsF(noteFont()).horizontalAdvance(u'长');
    EXPECT_GE(noteTextWidth(220), 8 * perLine); // more than three characters a line
}

TEST(NoteBubbleLines, ExportsShowAShortNoteOnOneLine)
{
    for (const auto &[text, oneLine] : { std::pair { kShort, true }, std::pair { kLong, false } }) {
        SCOPED_TRACE(text.toStdString());
        const TextComparisonState state = stateWithNote(text);
        const auto png = TextComparisonRenderer::editedPagePNGData(state, comparisonOf(state), "批注", 1100, 1);
        ASSERT_TRUE(png);
        const QImage image = QImage::fromData(*png, "PNG");
        const std::optional<QRect> bubble = NoteBubbleMeasure::bubbleRect(image);
        ASSERT_TRUE(bubble);
        const int pngLines = NoteBubbleMeasure::noteLineCount(image, *bubble);
        if (oneLine)
            EXPECT_EQ(pngLines, 1) << "bubble " << bubble->width() << " × " << bubble->height();
        else
            EXPECT_GE(pngLines, 2);

        if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
            continue;
        const auto pdf = TextComparisonRenderer::editedPagePDFData(state, comparisonOf(state), "批注", 1100);
        ASSERT_TRUE(pdf);
        QTemporaryDir dir;
        QFile file(dir.filePath("page.pdf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(*pdf);
        file.close();
        QProcess process;
        process.start("pdftoppm", { "-r", "144", "-png", "-singlefile", dir.filePath("page.pdf"), dir.filePath("page") });
        ASSERT_TRUE(process.waitForFinished(60000));
        const QImage fromPdf(dir.filePath("page.png"));
        ASSERT_FALSE(fromPdf.isNull());
        const std::optional<QRect> pdfBubble = NoteBubbleMeasure::bubbleRect(fromPdf);
        ASSERT_TRUE(pdfBubble);
        EXPECT_EQ(NoteBubbleMeasure::noteLineCount(fromPdf, *pdfBubble, 2), pngLines);
    }
}
