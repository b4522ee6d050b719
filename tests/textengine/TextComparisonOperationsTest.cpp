#include "model/FileSupport.h"
#include "model/MarkupViewModel.h"
#include "support/PlantedWriteFailure.h"
#include "support/TestSupport.h"
#include "ZipFixtures.h"
#include "support/ComparisonExecutors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSettings>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// A view model with its own preference file.
struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<MarkupViewModel> model;

    Fixture()
        : settings(std::make_unique<QSettings>(dir.filePath("p.ini"), QSettings::IniFormat))
        , model(std::make_unique<MarkupViewModel>(*settings))
    {
    }

    QString write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
};

using TestSupport::TemporaryHome;

std::vector<std::pair<qint64, qint64>> ranges(const MarkupViewModel &model)
{
    std::vector<std::pair<qint64, qint64>> result;
    for (const TextMarkupAnnotation &annotation : model.textComparison()->annotations)
        result.emplace_back(annotation.location, annotation.length);
    return result;
}

std::vector<qint64> numbers(const MarkupViewModel &model)
{
    std::vector<qint64> result;
    for (const TextMarkupAnnotation &annotation : model.textComparison()->annotations)
        result.push_back(annotation.sequenceNumber);
    return result;
}

using Ranges = std::vector<std::pair<qint64, qint64>>;

} // namespace

TEST(TextComparisonOperations, ImportsTextAndDocxFilesAndReportsFailures)
{
    Fixture f;
    MarkupViewModel &model = *f.model;
    EXPECT_FALSE(model.canExportTextComparison());

    // GB18030 text with Windows line ends and blank lines around it.
    QStringEncoder gb("GB18030");
    const QString txt = f.write("合同.txt", gb.encode(QStringLiteral("\r\n\r\n  第一条\r\n第二条\r\n")));
    model.importTextComparison(txt);
    ASSERT_TRUE(model.textComparison());
    EXPECT_TRUE(model.canExportTextComparison());
    EXPECT_EQ(model.textComparison()->sourceName, "合同.txt");
    EXPECT_EQ(model.textComparison()->originalText, "  第一条\n第二条");
    EXPECT_EQ(model.textComparison()->editedText, "  第一条\n第二条");
    EXPECT_EQ(model.statusMessage(), "已载入文案：合同.txt");
    EXPECT_FALSE(model.errorMessage());

    // A blank text is kept as it is.
    model.setTextComparison("空白", "   ");
    EXPECT_EQ(model.textComparison()->editedText, "   ");

    // Upper-case extension still reads as a package; header before the body keeps archive order.
    const QString docx = f.dir.filePath("报告.DOCX");
    ASSERT_TRUE(ZipFixtures::write(
        docx, {{"word/header1.xml", ZipFixtures::documentXml("<w:p><w:r><w:t>页眉</w:t></w:r></w:p>")},
               {"word/document.xml", ZipFixtures::documentXml("<w:p><w:r><w:t>正文</w:t></w:r></w:p>")}}));
    model.importTextComparison(docx);
    EXPECT_EQ(model.textComparison()->originalText, "页眉\n正文");
    EXPECT_EQ(model.textComparison()->sourceName, "报告.DOCX");

    // Failures name the cause and leave the document alone.
    const TextComparisonState before = *model.textComparison();
    model.importTextComparison(f.write("假的.docx", "not a zip at all"));
    EXPECT_EQ(model.errorMessage(), "DOCX 文件无法读取");
    const QString emptyDocx = f.dir.filePath("空.docx");
    ASSERT_TRUE(ZipFixtures::write(emptyDocx, {{"word/document.xml", ZipFixtures::documentXml("<w:p/>")}}));
    model.importTextComparison(emptyDocx);
    EXPECT_EQ(model.errorMessage(), "DOCX 中没有可解析的正文");
    model.importTextComparison(f.write("乱码.txt", QByteArray("\xFF", 1)));
    EXPECT_EQ(model.errorMessage(), "文案文件无法解析");
    model.importTextComparison(f.dir.filePath("不存在.txt"));
    EXPECT_EQ(model.errorMessage(), "无法读取文件：不存在.txt");
    EXPECT_EQ(*model.textComparison(), before);
    EXPECT_EQ(model.statusMessage(), "已载入文案：报告.DOCX");
}

TEST(TextComparisonOperations, EditHistoryIsBoundedAndOneWay)
{
    Fixture f;
    MarkupViewModel &model = *f.model;

    // Without a document an edit changes nothing but still reports; history commands are handled.
    model.updateEditedComparisonText("x");
    EXPECT_FALSE(model.textComparison());
    EXPECT_EQ(model.statusMessage(), "文案已修改");
    EXPECT_TRUE(model.undoTextComparisonEdit());
    EXPECT_EQ(model.statusMessage(), "没有可撤回的文案修改");

    model.setTextComparison("s", "v0");
    for (int k = 1; k <= 81; ++k)
        model.updateEditedComparisonText(QStringLiteral("v%1").arg(k));
    EXPECT_EQ(model.textComparisonUndoTexts().size(), 80);
    EXPECT_EQ(model.textComparisonUndoTexts().front(), "v1"); // "v0" fell off
    EXPECT_EQ(model.statusMessage(), "文案已修改");
    for (int k = 0; k < 80; ++k)
        ASSERT_TRUE(model.undoTextComparisonEdit());
    EXPECT_EQ(model.textComparison()->editedText, "v1");
    EXPECT_EQ(model.statusMessage(), "已撤回文案修改");
    EXPECT_TRUE(model.undoTextComparisonEdit());
    EXPECT_EQ(model.statusMessage(), "没有可撤回的文案修改");
    EXPECT_EQ(model.textComparison()->editedText, "v1");
    EXPECT_EQ(model.textComparisonRedoTexts().size(), 80);

    ASSERT_TRUE(model.redoTextComparisonEdit());
    EXPECT_EQ(model.textComparison()->editedText, "v2");
    EXPECT_EQ(model.statusMessage(), "已重做文案修改");
    EXPECT_EQ(model.textComparisonUndoTexts(), QStringList{"v1"});

    // A new edit forgets what was undone.
    model.updateEditedComparisonText("new");
    EXPECT_TRUE(model.textComparisonRedoTexts().isEmpty());
    EXPECT_TRUE(model.redoTextComparisonEdit());
    EXPECT_EQ(model.statusMessage(), "没有可重做的文案修改");
    EXPECT_EQ(model.textComparison()->editedText, "new");

    // Loading another document empties both lists; so does restoring one from a project.
    model.undoTextComparisonEdit();
    ASSERT_FALSE(model.textComparisonRedoTexts().isEmpty());
    model.setTextComparison("t", "other");
    EXPECT_TRUE(model.textComparisonUndoTexts().isEmpty());
    EXPECT_TRUE(model.textComparisonRedoTexts().isEmpty());
    model.updateEditedComparisonText("other 2");
    TextComparisonState fromProject("p.txt", "a\r\nb", std::nullopt, {});
    fromProject.annotations.push_back(TextMarkupAnnotation(QUuid::createUuid(), 7, 2, 2, "注", false, "#FDE047",
                                                           false, "#16A34A", false));
    model.restoreTextComparisonFromProject(fromProject);
    EXPECT_TRUE(model.textComparisonUndoTexts().isEmpty());
    EXPECT_EQ(model.textComparison()->editedText, "a\nb");
    EXPECT_EQ(ranges(model), (Ranges{{1, 2}}));
    EXPECT_EQ(numbers(model), (std::vector<qint64>{1}));
    model.undoTextComparisonEdit();
    EXPECT_EQ(model.textComparison()->editedText, "a\nb"); // not "other"
    model.restoreTextComparisonFromProject(std::nullopt);
    EXPECT_FALSE(model.textComparison());
}

TEST(TextComparisonOperations, EditsClampMarkupsAndCompareCodeUnits)
{
    Fixture f;
    MarkupViewModel &model = *f.model;
    model.setTextComparison("s", "0123456789ABCDEF");
    ASSERT_TRUE(model.addTextMarkupAnnotation(8, 5));
    ASSERT_TRUE(model.addTextMarkupAnnotation(10, 2));
    const auto noted = model.addTextMarkupAnnotation(1, 1);
    ASSERT_TRUE(noted);
    model.updateTextMarkupAnnotation(noted->id, QString("一"), {}, {}, {}, {}, {});
    model.updateTextMarkupAnnotation(model.textComparison()->annotations[1].id, QString("二"), {}, {}, {}, {}, {});
    EXPECT_EQ(numbers(model), (std::vector<qint64>{1, 2, 0}));

    // Cut to ten units: (8,5) → (8,2), (10,2) goes; numbering closes up.
    model.updateEditedComparisonText("0123456789");
    EXPECT_EQ(ranges(model), (Ranges{{1, 1}, {8, 2}}));
    EXPECT_EQ(numbers(model), (std::vector<qint64>{1, 2}));
    // Undo brings the text back, not the dropped markup.
    model.undoTextComparisonEdit();
    EXPECT_EQ(model.textComparison()->editedText, "0123456789ABCDEF");
    EXPECT_EQ(ranges(model), (Ranges{{1, 1}, {8, 2}}));

    // The same code units are no edit at all: no history, no status, no signal.
    int published = 0;
    QObject::connect(&model, &MarkupViewModel::textComparisonChanged, [&published] { ++published; });
    model.setStatusMessage("x");
    model.updateEditedComparisonText("0123456789ABCDEF");
    EXPECT_EQ(model.statusMessage(), "x");
    EXPECT_EQ(published, 0);
    EXPECT_TRUE(model.textComparisonUndoTexts().isEmpty());
    // A canonically equal text in other code units is stored, so the editor's offsets stay true.
    model.setTextComparison("s", QStringLiteral("caf\u00E9"));
    model.updateEditedComparisonText(QStringLiteral("cafe\u0301"));
    EXPECT_EQ(model.textComparison()->editedText, QStringLiteral("cafe\u0301"));
    EXPECT_EQ(model.textComparisonUndoTexts(), QStringList{QStringLiteral("caf\u00E9")});
}

TEST(TextComparisonOperations, EditorEchoDuringUndoRecordsNoHistory)
{
    Fixture f;
    MarkupViewModel &model = *f.model;
    model.setTextComparison("s", "a");
    model.updateEditedComparisonText("ab");
    model.updateEditedComparisonText("abc");

    // An editor that answers the published text with its own version of it.
    bool sawFlag = false;
    QObject::connect(&model, &MarkupViewModel::textComparisonChanged, [&] {
        if (model.isApplyingTextComparisonHistory() && model.textComparison()->editedText == "ab") {
            sawFlag = true;
            model.updateEditedComparisonText("ab!");
        }
    });
    model.undoTextComparisonEdit();
    EXPECT_TRUE(sawFlag);
    EXPECT_FALSE(model.isApplyingTextComparisonHistory());
    EXPECT_EQ(model.textComparison()->editedText, "ab!");
    EXPECT_EQ(model.textComparisonUndoTexts(), QStringList{"a"});
    EXPECT_EQ(model.textComparisonRedoTexts(), QStringList{"abc"});
}

TEST(TextComparisonOperations, MarkupsAreAddedUpdatedAndDeletedInOrder)
{
    Fixture f;
    MarkupViewModel &model = *f.model;
    const QString selectFirst = "请先框选要标注的文案";
    EXPECT_FALSE(model.addTextMarkupAnnotation(0, 1));
    EXPECT_EQ(model.errorMessage(), selectFirst);

    model.setTextComparison("s", QStringLiteral("0123456789\U0001F600"));
    model.setErrorMessage(std::nullopt);
    for (const auto &[location, length] : Ranges{{-1, 2}, {3, 0}, {10, 3}, {1, INT64_MAX}}) {
        EXPECT_FALSE(model.addTextMarkupAnnotation(location, length)) << location << "," << length;
        EXPECT_EQ(model.errorMessage(), selectFirst);
        model.setErrorMessage(std::nullopt);
    }
    EXPECT_TRUE(model.textComparison()->annotations.empty());
    // Ending exactly at the end (the emoji is two units) is fine.
    const auto tail = model.addTextMarkupAnnotation(10, 2);
    ASSERT_TRUE(tail);
    EXPECT_EQ(model.statusMessage(), "已添加文案标注");
    model.deleteTextMarkupAnnotation(tail->id);

    const auto a = model.addTextMarkupAnnotation(5, 3);
    const auto b = model.addTextMarkupAnnotation(2, 4);
    const auto c = model.addTextMarkupAnnotation(5, 1);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->sequenceNumber, 0);
    EXPECT_EQ(a->highlightColorHex, "#FDE047");
    EXPECT_EQ(a->underlineColorHex, "#16A34A");
    EXPECT_FALSE(a->highlight || a->underline || a->strikethrough);
    EXPECT_EQ(ranges(model), (Ranges{{2, 4}, {5, 1}, {5, 3}}));

    // The same range again returns the first markup and adds nothing, silently.
    model.setStatusMessage("x");
    const auto again = model.addTextMarkupAnnotation(5, 3);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->id, a->id);
    EXPECT_EQ(model.textComparison()->annotations.size(), 3u);
    EXPECT_EQ(model.statusMessage(), "x");

    model.updateTextMarkupAnnotation(a->id, QString("备注"), {}, {}, {}, {}, {});
    EXPECT_EQ(numbers(model), (std::vector<qint64>{0, 0, 1}));
    EXPECT_EQ(model.statusMessage(), "文案标注已更新");

    // A colour decides its flag, whatever flag came with it.
    model.updateTextMarkupAnnotation(b->id, {}, true, QString("none"), false, QString("none"), true);
    const TextMarkupAnnotation updated = model.textComparison()->annotations[0];
    EXPECT_FALSE(updated.highlight);
    EXPECT_TRUE(updated.underline);
    EXPECT_TRUE(updated.strikethrough);
    EXPECT_EQ(updated.underlineColorHex, "none");

    // Nothing given still reports; an unknown id is silent.
    model.setStatusMessage("x");
    model.updateTextMarkupAnnotation(c->id, {}, {}, {}, {}, {}, {});
    EXPECT_EQ(model.statusMessage(), "文案标注已更新");
    model.setStatusMessage("x");
    model.updateTextMarkupAnnotation(QUuid::createUuid(), QString("n"), {}, {}, {}, {}, {});
    EXPECT_EQ(model.statusMessage(), "x");

    // Deleting renumbers; deleting an unknown id still reports.
    model.updateTextMarkupAnnotation(c->id, QString("先"), {}, {}, {}, {}, {});
    EXPECT_EQ(numbers(model), (std::vector<qint64>{0, 1, 2}));
    model.deleteTextMarkupAnnotation(c->id);
    EXPECT_EQ(numbers(model), (std::vector<qint64>{0, 1}));
    EXPECT_EQ(model.statusMessage(), "文案标注已删除");
    model.setStatusMessage("x");
    model.deleteTextMarkupAnnotation(QUuid::createUuid());
    EXPECT_EQ(model.statusMessage(), "文案标注已删除");
    EXPECT_EQ(model.textComparison()->annotations.size(), 2u);
}

TEST(TextComparisonOperations, ExportsGoToTheDesktopWithTimestampedNames)
{
    Fixture f;
    MarkupViewModel &model = *f.model;
    const TemporaryHome home(f.dir.filePath("home"));
    const QString desktop = f.dir.filePath("home/Desktop");
    using K = TextComparisonExportKind;
    // The comparison of the document as it stands, as the window hands it to the exports.
    const auto compared = [&model] {
        return model.textComparison() ? comparisonOf(*model.textComparison()) : TextComparisonResult{};
    };

    // Without a document every export names its failure.
    EXPECT_FALSE(model.saveTextComparisonToDesktop(K::Full, compared()));
    EXPECT_EQ(model.errorMessage(), "无法生成文案对比图片");
    EXPECT_FALSE(model.saveEditedComparisonPDFToDesktop(K::EditedPage, compared()));
    EXPECT_EQ(model.errorMessage(), "无法生成修改文案页 PDF");
    EXPECT_FALSE(model.saveTextComparisonWordToDesktop(K::Full, compared()));
    EXPECT_EQ(model.errorMessage(), "无法生成文案 Word");
    model.setErrorMessage(std::nullopt);

    model.setTextComparison("周报.txt", "第一段\n第二段");
    model.updateEditedComparisonText("第一段改\n第二段");
    const auto marked = model.addTextMarkupAnnotation(0, 4);
    model.updateTextMarkupAnnotation(marked->id, QString("改了"), {}, {}, true, {}, {});
    const TextComparisonState document = *model.textComparison();

    // The Desktop is created when missing; the name carries the title and the timestamp.
    const auto png = model.saveTextComparisonToDesktop(K::Full, compared(), QString(" a/b:c "));
    ASSERT_TRUE(png);
    const QString pngName = QFileInfo(*png).fileName();
    EXPECT_EQ(QFileInfo(*png).absolutePath(), QDir(desktop).absolutePath());
    EXPECT_TRUE(QRegularExpression("^a-b-c-文案对比-\\d{8}-\\d{6}\\.png$").match(pngName).hasMatch()) << qPrintable(pngName);
    EXPECT_EQ(model.statusMessage(), "文案对比已保存到桌面：" + pngName);
    const QImage image(*png);
    EXPECT_EQ(image.width(), 3200);

    const auto page = model.saveTextComparisonToDesktop(K::EditedPage, compared());
    ASSERT_TRUE(page);
    EXPECT_TRUE(QFileInfo(*page).fileName().startsWith("修改文案页-修改文案页-"));
    EXPECT_EQ(QImage(*page).width(), 2200);

    const auto pdf = model.saveEditedComparisonPDFToDesktop(K::Full, compared(), QString("  "));
    ASSERT_TRUE(pdf);
    EXPECT_TRUE(QFileInfo(*pdf).fileName().startsWith("文案对比-文案对比-"));
    EXPECT_TRUE(QFileInfo(*pdf).fileName().endsWith(".pdf"));
    EXPECT_EQ(model.statusMessage(), "文案对比 PDF 已保存：" + QFileInfo(*pdf).fileName());

    const auto word = model.saveTextComparisonWordToDesktop(K::EditedPage, compared(), QString("合同"));
    ASSERT_TRUE(word);
    EXPECT_TRUE(QFileInfo(*word).fileName().startsWith("合同-修改文案页-"));
    EXPECT_EQ(model.statusMessage(), "Word 已保存：" + QFileInfo(*word).fileName());
    ZipFixtures::Entries entries;
    QFile docx(*word);
    ASSERT_TRUE(docx.open(QIODevice::ReadOnly));
    ASSERT_TRUE(ZipFixtures::readAll(docx.readAll(), &entries));
    EXPECT_EQ(entries.size(), 5u);

    // Exports change neither the document nor the history, and raise no error.
    EXPECT_EQ(*model.textComparison(), document);
    EXPECT_EQ(model.textComparisonUndoTexts().size(), 1);
    EXPECT_FALSE(model.errorMessage());
}

TEST(TextComparisonOperations, ExportsSayWhenAPageIsCutAndWhenTheyCannotWrite)
{
    Fixture f;
    MarkupViewModel &model = *f.model;
    const TemporaryHome home(f.dir.filePath("home"));
    using K = TextComparisonExportKind;
    // The comparison of the document as it stands, as the window hands it to the exports.
    const auto compared = [&model] {
        return model.textComparison() ? comparisonOf(*model.textComparison()) : TextComparisonResult{};
    };

    QString longText;
    for (int k = 0; k < 400; ++k)
        longText += QStringLiteral("第%1行 内容内容内容\n").arg(k);
    model.setTextComparison("长.txt", longText);
    const auto cut = model.saveEditedComparisonPDFToDesktop(K::EditedPage, compared(), QString("长"));
    ASSERT_TRUE(cut);
    EXPECT_EQ(model.statusMessage(), "修改文案页 PDF 已保存：" + QFileInfo(*cut).fileName() + "（内容过长，已截断）");
    // The Word file carries the whole text: no such note.
    const auto word = model.saveTextComparisonWordToDesktop(K::Full, compared());
    ASSERT_TRUE(word);
    EXPECT_FALSE(model.statusMessage().contains("截断"));

    // A Desktop that cannot be a folder: the failure is reported and nothing is written elsewhere.
    const QString otherHome = f.dir.filePath("blocked");
    ASSERT_TRUE(QDir().mkpath(otherHome));
    f.write("blocked/Desktop", "a file, not a folder");
    const TemporaryHome blocked(otherHome);
    model.setStatusMessage("x");
    EXPECT_FALSE(model.saveTextComparisonWordToDesktop(K::Full, compared(), QString("T")));
    ASSERT_TRUE(model.errorMessage());
    EXPECT_TRUE(model.errorMessage()->startsWith("无法写入文件：T-文案对比-"));
    EXPECT_TRUE(model.errorMessage()->endsWith("（" + otherHome + "/Desktop：文件夹不存在）")) << model.errorMessage()->toStdString();
    EXPECT_EQ(model.statusMessage(), "x");
    EXPECT_TRUE(QDir::current().entryList({"T-文案对比-*"}).isEmpty());

    // A full disk says so, with the Desktop it could not write to.
    const TemporaryHome roomy(f.dir.filePath("home"));
    const TestSupport::PlantedWriteFailure full(ENOSPC);
    EXPECT_FALSE(model.saveTextComparisonWordToDesktop(K::Full, compared(), QString("T")));
    ASSERT_TRUE(model.errorMessage());
    EXPECT_TRUE(model.errorMessage()->endsWith("（" + f.dir.filePath("home/Desktop") + "：磁盘空间不足）"))
        << model.errorMessage()->toStdString();
}

// An export never replaces a file: with the name of this second taken (a planted file, or the
// export just before), each format writes the next free name and says which. A killed export's
// hidden part file on the Desktop is removed by the next one.
TEST(TextComparisonOperations, AnExportNeverReplacesAFileOfTheSameName)
{
    Fixture f;
    MarkupViewModel &model = *f.model;
    const TemporaryHome home(f.dir.filePath("home"));
    const QString desktop = f.dir.filePath("home/Desktop");
    ASSERT_TRUE(QDir().mkpath(desktop));
    const FileSupport::FixedExportMoment moment(QDateTime(QDate(2026, 12, 8), QTime(9, 41, 7)));
    model.setTextComparison("周报.txt", "第一段\n第二段");
    model.updateEditedComparisonText("第一段改\n第二段");
    const QString stale = ".kivo-export-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + ".part";
    f.write("home/Desktop/" + stale, "cut short");
    using K = TextComparisonExportKind;

    struct Export {
        std::function<std::optional<QString>()> save;
        QString name;
        QString successText;
    };
    const std::vector<Export> exports{
        {[&] { return model.saveTextComparisonToDesktop(K::Full, comparisonOf(*model.textComparison()), QString("周报")); }, "周报-文案对比-20261208-094107.png",
         "文案对比已保存到桌面："},
        {[&] { return model.saveEditedComparisonPDFToDesktop(K::EditedPage, comparisonOf(*model.textComparison()), QString("周报")); },
         "周报-修改文案页-20261208-094107.pdf", "修改文案页 PDF 已保存："},
        {[&] { return model.saveTextComparisonWordToDesktop(K::Full, comparisonOf(*model.textComparison()), QString("周报")); }, "周报-文案对比-20261208-094107.docx",
         "Word 已保存："},
    };
    for (const Export &exported : exports) {
        const QString planted = f.write("home/Desktop/" + exported.name, "the user's own file");
        const QString stem = exported.name.left(exported.name.lastIndexOf('.'));
        const QString extension = exported.name.mid(exported.name.lastIndexOf('.'));
        for (int number : {2, 3}) {
            const std::optional<QString> path = exported.save();
            const QString expected = stem + "-" + QString::number(number) + extension;
            ASSERT_EQ(path, QDir(desktop).filePath(expected)) << qPrintable(exported.name);
            EXPECT_EQ(model.statusMessage(), exported.successText + expected);
            EXPECT_GT(QFileInfo(*path).size(), 100);
        }
        EXPECT_EQ(TestSupport::readFile(planted), "the user's own file");
    }
    EXPECT_FALSE(model.errorMessage());
    EXPECT_TRUE(QDir(desktop).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty()) << "the stale part file went";
}
