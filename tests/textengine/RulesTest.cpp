#include "textengine/TextComparisonRules.h"

#include "platform/NewFile.h"
#include "support/TestSupport.h"
#include "support/ComparisonExecutors.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TextComparisonRules;

namespace {

TextMarkupAnnotation markup(qint64 location, qint64 length, const QString &note = QString())
{
    return TextMarkupAnnotation(QUuid::createUuid(), 9, location, length, note, false, "#FDE047", false, "#16A34A",
                                false);
}

} // namespace

TEST(TextComparisonRules, NormalisesClampsAndRemapsMarkups)
{
    TextComparisonState state("s", "0123456789ABC", std::nullopt, {markup(5, 3), markup(2, 4), markup(5, 1)});
    state.annotations[0].note = "注";
    auto normalized = normalizedTextComparison(state);
    ASSERT_EQ(normalized.annotations.size(), 3u);
    EXPECT_EQ(normalized.annotations[0].location, 2);
    EXPECT_EQ(normalized.annotations[1].length, 1);
    EXPECT_EQ(normalized.annotations[2].sequenceNumber, 1);
    EXPECT_EQ(normalized.annotations[0].sequenceNumber, 0);

    state.editedText = "0123456789";
    state.annotations = {markup(8, 5, "a"), markup(10, 1, "b"), markup(1, 1, "c"), markup(3, INT64_MAX, "d")};
    const auto clamped = clampedToEditedText(state);
    ASSERT_EQ(clamped.annotations.size(), 3u);
    EXPECT_EQ(clamped.annotations[0].location, 1);
    EXPECT_EQ(clamped.annotations[1].length, 7);
    EXPECT_EQ(clamped.annotations[2].length, 2);
    EXPECT_EQ(clamped.annotations[2].sequenceNumber, 3);

    // Opening a project: CRLF pairs shrink, markups follow the removed carriage returns.
    TextComparisonState opened("s", "a\r\nb", std::nullopt, {});
    opened.editedText = "a\r\nb\r\nc\rd";
    opened.annotations = {markup(3, 1), markup(0, 4), markup(6, 3), markup(INT64_MAX, 2)};
    const auto remapped = openedProjectState(opened);
    EXPECT_EQ(remapped.originalText, "a\nb");
    EXPECT_EQ(remapped.editedText, "a\nb\nc\nd");
    ASSERT_EQ(remapped.annotations.size(), 3u);
    EXPECT_EQ(remapped.annotations[0].location, 0);
    EXPECT_EQ(remapped.annotations[0].length, 3); // "a\nb"
    EXPECT_EQ(remapped.annotations[1].location, 2); // "b"
    EXPECT_EQ(remapped.annotations[2].location, 4); // "c\nd"
    EXPECT_EQ(remapped.annotations[2].length, 3);
}

TEST(TextComparisonRules, NewDocumentsRangesAndUpdates)
{
    EXPECT_EQ(newDocumentText("\n\n  正文\n"), "  正文");
    EXPECT_EQ(newDocumentText("   "), "   ");
    EXPECT_EQ(newDocumentText("\r\na\r\nb\r"), "a\nb");

    EXPECT_TRUE(isValidMarkupRange("abcde", 3, 2));
    EXPECT_FALSE(isValidMarkupRange("abcde", 3, 3));
    EXPECT_FALSE(isValidMarkupRange("abcde", 0, 0));
    EXPECT_FALSE(isValidMarkupRange("abcde", -1, 2));
    EXPECT_FALSE(isValidMarkupRange("abcde", 2, INT64_MAX));

    auto a = newMarkup(1, 2);
    EXPECT_EQ(a.highlightColorHex, "#FDE047");
    EXPECT_EQ(a.sequenceNumber, 0);
    applyMarkupUpdate(a, std::nullopt, true, QString("none"), std::nullopt, std::nullopt, std::nullopt);
    EXPECT_FALSE(a.highlight);
    applyMarkupUpdate(a, QString("n"), std::nullopt, std::nullopt, false, QString("none"), true);
    EXPECT_TRUE(a.underline);
    EXPECT_TRUE(a.strikethrough);
    EXPECT_EQ(a.note, "n");
}

TEST(TextComparisonRules, ExportNamesAndWrites)
{
    const QString ts = "20260131-080509";
    using K = TextComparisonExportKind;
    using F = TextComparisonExportFormat;
    EXPECT_EQ(exportFileName("a/b:c", "s.txt", K::Full, F::Png, ts), "a-b-c-文案对比-20260131-080509.png");
    EXPECT_EQ(exportFileName(exportTitle(std::nullopt, K::Full), "s.txt", K::Full, F::Png, ts),
              "文案对比-文案对比-20260131-080509.png");
    EXPECT_EQ(exportFileName(" ", "周报.final.docx", K::EditedPage, F::Docx, ts), "周报.final-修改文案页-20260131-080509.docx");
    EXPECT_EQ(exportFileName("", "", K::Full, F::Pdf, ts), "文案导出-文案对比-20260131-080509.pdf");
    EXPECT_EQ(exportFileName("..\x01x\x7F", "", K::Full, F::Pdf, ts), "-x--文案对比-20260131-080509.pdf");
    const QString longName = exportFileName(QString(300, u'长'), "", K::Full, F::Png, ts);
    EXPECT_LE(longName.toUtf8().size(), 255);
    EXPECT_TRUE(longName.endsWith("-文案对比-20260131-080509.png"));
    EXPECT_EQ(exportTexts(K::EditedPage, F::Pdf).successText, "修改文案页 PDF 已保存：");

    TextComparisonState state("s.txt", "甲", std::nullopt, {});
    state.editedText = "乙";
    const auto rendered = renderExport(state, comparisonOf(state), K::Full, F::Docx, "T");
    ASSERT_TRUE(rendered);
    EXPECT_TRUE(rendered->data.startsWith("PK"));

    QTemporaryDir dir;
    EXPECT_EQ(NewFiles::writeFile(dir.filePath("out.docx"), rendered->data).path, dir.filePath("out.docx"));
    EXPECT_TRUE(QFile::exists(dir.filePath("out.docx")));
    EXPECT_EQ(NewFiles::writeFile(dir.filePath("missing/out.docx"), rendered->data).failure,
              "无法写入文件：out.docx（" + dir.filePath("missing") + "：文件夹不存在）");

    QString desktop;
    {
        const TestSupport::TemporaryHome home(dir.path());
        desktop = NewFiles::desktopFolder().value_or(QString());
    }
    EXPECT_TRUE(desktop.startsWith(dir.path()));
    EXPECT_TRUE(QDir(desktop).exists());
}
