#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"
#include "platform/ImageDecoding.h"
#include "support/HugeImage.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>

namespace {

QImage picture(int width, int height, QColor color)
{
    return TestSupport::solidImage(width, height, color);
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

MarkupProjectImage imageRecord(const QString &name, const QByteArray &data, double width, double height)
{
    MarkupProjectImage record;
    record.id = QUuid::createUuid();
    record.fileName = name;
    record.imageData = data;
    record.pixelWidth = width;
    record.pixelHeight = height;
    return record;
}

MarkupProjectComparisonPair pairRecord(const QByteArray &before, const QByteArray &after)
{
    return MarkupProjectComparisonPair{QUuid::createUuid(), {QStringLiteral("before.png"), before, 10, 10},
                                       {QStringLiteral("after.png"), after, 10, 10}};
}

TextComparisonState textState(const QString &edited, std::vector<TextMarkupAnnotation> markups = {})
{
    return TextComparisonState(QStringLiteral("合同.docx"), QStringLiteral("原文"), edited, std::move(markups));
}

TextMarkupAnnotation markup(qint64 location, qint64 length, const QString &note)
{
    return TextMarkupAnnotation(QUuid::createUuid(), 9, location, length, note, true,
                                TextMarkupAnnotation::defaultHighlightColorHex, false,
                                TextMarkupAnnotation::defaultUnderlineColorHex, false);
}

QString writeDocument(const QString &path, const MarkupProjectDocument &document)
{
    const auto bytes = document.encode();
    EXPECT_TRUE(std::holds_alternative<QByteArray>(bytes));
    return TestSupport::writeFile(path, std::get<QByteArray>(bytes));
}

MarkupProjectDocument readDocument(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
    auto result = MarkupProjectDocument::decode(file.readAll());
    EXPECT_TRUE(std::holds_alternative<MarkupProjectDocument>(result));
    return std::holds_alternative<MarkupProjectDocument>(result) ? std::get<MarkupProjectDocument>(result)
                                                                 : MarkupProjectDocument();
}

ImageMarkupItem listItem(const QString &name)
{
    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = name;
    item.image = ImageHandle(picture(8, 8, Qt::white));
    item.pixelSize = QSizeF(8, 8);
    return item;
}

class Project : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat};
    MarkupViewModel model{settings};

    QString path(const QString &name) const { return dir.filePath(name); }

    // Lets the pending autosave run now instead of after its 500 ms on the clock: the wait is
    // shortened to nothing, the event loop turned until it fired, and the wait put back.
    void fireAutosave()
    {
        QTimer *timer = model.autosaveTimer();
        ASSERT_TRUE(timer->isActive());
        const int wait = timer->interval();
        timer->setInterval(0);
        QElapsedTimer bound;
        bound.start();
        while (timer->isActive() && bound.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        timer->setInterval(wait);
        ASSERT_FALSE(timer->isActive());
    }

    // A file with two images (the second with a legacy number in its label), a legacy single
    // pair and a text comparison with "\r\n" line ends and unsorted markups.
    MarkupProjectDocument fullDocument() const
    {
        MarkupProjectDocument document;
        MarkupProjectImage first = imageRecord(QStringLiteral("one.png"), png(picture(40, 30, Qt::red)), 40, 30);
        first.sourcePath = QStringLiteral("/photos/one.png");
        MarkupProjectImage second = imageRecord(QStringLiteral("two.png"), png(picture(20, 10, Qt::blue)), 2000, 1000);
        second.annotations = {MarkupAnnotation::defaultText(UnitPoint2D(0.5, 0.5), QStringLiteral("3. 门"), std::nullopt)};
        second.savedPath = QStringLiteral("/desk/two-01.png");
        document.images = {first, second};
        document.comparisonPair = pairRecord(png(picture(10, 10, Qt::green)), png(picture(10, 10, Qt::black)));
        document.textComparison = textState(QStringLiteral("ab\r\ncd\r\nef"), {markup(8, 2, QStringLiteral("后")),
                                                                             markup(0, 6, QStringLiteral("前"))});
        return document;
    }

    // Work in progress that a failed open must leave exactly as it is.
    void makeWork()
    {
        model.setItems({listItem(QStringLiteral("work.png"))});
        model.setSelectedItemID(model.items()[0].id);
        model.recordUndoSnapshot();
        model.setTextComparison(textState(QStringLiteral("旧")));
        model.updateEditedComparisonText(QStringLiteral("正在编辑"));
        model.setAnnotationClipboard({MarkupAnnotation::defaultText(UnitPoint2D(0.1, 0.1), QStringLiteral("x"), 1)});
        model.setZoom(2);
        model.setStatusMessage(QStringLiteral("当前图片：work.png"));
    }

    void expectWorkUnchanged()
    {
        ASSERT_EQ(model.items().size(), 1u);
        EXPECT_EQ(model.items()[0].fileName, QStringLiteral("work.png"));
        EXPECT_EQ(model.selectedItemID(), model.items()[0].id);
        EXPECT_TRUE(model.comparisonPairs().empty());
        EXPECT_EQ(model.textComparison()->editedText, QStringLiteral("正在编辑"));
        EXPECT_EQ(model.textComparisonUndoTexts(), QStringList{QStringLiteral("旧")});
        EXPECT_EQ(model.undoSnapshotsByItemID().size(), 1);
        EXPECT_EQ(model.annotationClipboard().size(), 1u);
        EXPECT_EQ(model.zoom(), 2.0);
        EXPECT_EQ(model.statusMessage(), QStringLiteral("当前图片：work.png"));
    }
};

} // namespace

TEST_F(Project, SaveNamesAndSuggestedNames)
{
    model.setTextComparison(textState(QStringLiteral("正文")));
    ASSERT_TRUE(model.saveProject(path(QStringLiteral("plan"))));
    EXPECT_EQ(model.projectURL(), path(QStringLiteral("plan.kivo")));
    EXPECT_EQ(model.statusMessage(), QStringLiteral("项目已保存：plan.kivo"));
    const MarkupProjectDocument saved = readDocument(path(QStringLiteral("plan.kivo")));
    EXPECT_TRUE(saved.images.empty());
    EXPECT_TRUE(saved.comparisonPairs.empty());
    EXPECT_EQ(saved.textComparison->editedText, QStringLiteral("正文"));

    ASSERT_TRUE(model.saveProject(path(QStringLiteral("Notes.KIVO"))));
    EXPECT_EQ(model.projectURL(), path(QStringLiteral("Notes.KIVO")));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Notes.KIVO.kivo"))));
    ASSERT_TRUE(model.saveProject(path(QStringLiteral("notes.json"))));
    EXPECT_EQ(model.projectURL(), path(QStringLiteral("notes.json.kivo")));

    // A failed write keeps the project and the status.
    EXPECT_FALSE(model.saveProject(path(QStringLiteral("no/such/folder/x"))));
    EXPECT_EQ(model.errorMessage(), "无法写入文件：x.kivo（" + path(QStringLiteral("no/such/folder")) + "：文件夹不存在）");
    EXPECT_EQ(model.projectURL(), path(QStringLiteral("notes.json.kivo")));
    EXPECT_EQ(model.statusMessage(), QStringLiteral("项目已保存：notes.json.kivo"));

    EXPECT_EQ(model.suggestedProjectFileName(), QStringLiteral("合同.kivo"));
    const auto suggestedFor = [&](const QString &fileName) {
        model.setItems({listItem(fileName)});
        model.setSelectedItemID(model.items()[0].id);
        return model.suggestedProjectFileName();
    };
    EXPECT_EQ(suggestedFor(QStringLiteral("beach.final.png")), QStringLiteral("beach.final.kivo"));
    EXPECT_EQ(suggestedFor(QStringLiteral("  \n.png")), QStringLiteral("Kivora项目.kivo"));
    EXPECT_EQ(suggestedFor(QStringLiteral(".hidden")), QStringLiteral(".hidden.kivo"));
    // Names from a project file stay one harmless file name.
    EXPECT_EQ(suggestedFor(QStringLiteral("../../etc/cron.png")), QStringLiteral(".._.._etc_cron.kivo"));
    EXPECT_EQ(suggestedFor(QStringLiteral("...png")), QStringLiteral("Kivora项目.kivo"));
    const QString longName = suggestedFor(QString(200, QChar(u'图')) + QStringLiteral(".png"));
    EXPECT_LE(longName.toUtf8().size(), 255);
    EXPECT_TRUE(longName.endsWith(QStringLiteral("图.kivo")));
}

TEST_F(Project, OpeningAFullProject)
{
    makeWork();
    const MarkupProjectDocument document = fullDocument();
    const QString file = writeDocument(path(QStringLiteral("x.json")), document);
    ASSERT_TRUE(model.openProject(file));
    EXPECT_FALSE(model.errorMessage());

    ASSERT_EQ(model.items().size(), 2u);
    const ImageMarkupItem &first = model.items()[0];
    const ImageMarkupItem &second = model.items()[1];
    EXPECT_EQ(first.id, document.images[0].id);
    EXPECT_EQ(first.sourceURL, QStringLiteral("/photos/one.png"));
    EXPECT_EQ(first.image.image(), *ImageDecoding::loadOrientedImageData(document.images[0].imageData));
    EXPECT_EQ(first.image.image().pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(first.thumbnail.size(), QSize(40, 30));
    // The stored size is kept even where it differs from the picture.
    EXPECT_EQ(second.pixelSize, QSizeF(2000, 1000));
    EXPECT_EQ(second.savedURL, QStringLiteral("/desk/two-01.png"));
    // The legacy number moved out of the text; the image was renumbered.
    ASSERT_EQ(second.annotations.size(), 1u);
    EXPECT_EQ(second.annotations[0].text, QStringLiteral("门"));
    EXPECT_EQ(second.annotations[0].sequenceNumber, 1);

    EXPECT_EQ(model.selectedImageItemIDs(), (QSet<QUuid>{first.id, second.id}));
    EXPECT_EQ(model.selectedItemID(), first.id);
    EXPECT_EQ(model.zoom(), 1.0);
    ASSERT_EQ(model.comparisonPairs().size(), 1u);
    EXPECT_EQ(model.comparisonPairs()[0].id, document.comparisonPair->id);
    EXPECT_EQ(model.selectedComparisonPairID(), document.comparisonPair->id);

    // Line ends made "\n" with the markups moved along, then sorted and renumbered.
    const TextComparisonState &text = *model.textComparison();
    EXPECT_EQ(text.editedText, QStringLiteral("ab\ncd\nef"));
    ASSERT_EQ(text.annotations.size(), 2u);
    EXPECT_EQ(text.annotations[0].note, QStringLiteral("前"));
    EXPECT_EQ(text.annotations[0].location, 0);
    EXPECT_EQ(text.annotations[0].length, 5);
    EXPECT_EQ(text.annotations[0].sequenceNumber, 1);
    EXPECT_EQ(text.annotations[1].location, 6);
    EXPECT_EQ(text.annotations[1].sequenceNumber, 2);

    EXPECT_EQ(model.projectURL(), file);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("项目已打开：x.json"));
    EXPECT_TRUE(model.undoSnapshotsByItemID().isEmpty());
    EXPECT_TRUE(model.annotationClipboard().empty());
    // The previous document's text history cannot write into this one.
    EXPECT_TRUE(model.textComparisonUndoTexts().isEmpty());

    // Saving during this session keeps the file's images and pair.
    model.setTextComparison(textState(QStringLiteral("改过")));
    ASSERT_TRUE(model.saveProject(file));
    const MarkupProjectDocument resaved = readDocument(path(QStringLiteral("x.json.kivo")));
    EXPECT_EQ(resaved.images, document.images);
    EXPECT_EQ(resaved.comparisonPairs, std::vector{*document.comparisonPair});
    EXPECT_EQ(resaved.textComparison->editedText, QStringLiteral("改过"));
    // Replacing the image list leaves the file's text, and so its records, where they are.
    model.resetProjectSession();
    EXPECT_EQ(model.projectURL(), path(QStringLiteral("x.json.kivo")));
    ASSERT_TRUE(model.saveProject(path(QStringLiteral("after"))));
    EXPECT_EQ(readDocument(path(QStringLiteral("after.kivo"))).images, document.images);

    // A file with images only: opened, but no project to autosave into.
    MarkupProjectDocument imagesOnly;
    imagesOnly.images = {imageRecord(QStringLiteral("a.png"), png(picture(4, 4, Qt::red)), 0, -3)};
    ASSERT_TRUE(model.openProject(writeDocument(path(QStringLiteral("images.kivo")), imagesOnly)));
    EXPECT_FALSE(model.projectURL());
    EXPECT_FALSE(model.textComparison());
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已打开图片标注内容，请使用“保存到桌面”导出图片"));
    // A stored size that is no size is replaced by the picture's.
    EXPECT_EQ(model.items()[0].pixelSize, QSizeF(4, 4));
}

TEST_F(Project, AFailedOpenLeavesTheWorkAsItWas)
{
    makeWork();
    const QByteArray good = png(picture(10, 10, Qt::red));
    const QByteArray bad("not an image");

    MarkupProjectDocument brokenPair = fullDocument();
    brokenPair.comparisonPairs = {pairRecord(good, good), pairRecord(bad, bad)};
    EXPECT_FALSE(model.openProject(writeDocument(path(QStringLiteral("pair.kivo")), brokenPair)));
    // The before side is named even though both sides fail.
    EXPECT_EQ(model.errorMessage(), QStringLiteral("无法读取项目中的图片：before.png"));
    expectWorkUnchanged();

    MarkupProjectDocument brokenImage = fullDocument();
    brokenImage.images.push_back(imageRecord(QStringLiteral("坏.png"), bad, 10, 10));
    EXPECT_FALSE(model.openProject(writeDocument(path(QStringLiteral("image.kivo")), brokenImage)));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("无法读取项目中的图片：坏.png"));
    expectWorkUnchanged();

    // A picture above the decode cap fails, named as too large rather than unreadable.
    MarkupProjectDocument huge;
    huge.images = {imageRecord(QStringLiteral("huge.png"), pngClaimingSize(15000, 15000), 15000, 15000)};
    EXPECT_FALSE(model.openProject(writeDocument(path(QStringLiteral("huge.kivo")), huge)));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("项目中的图片过大，无法打开：huge.png"));
    expectWorkUnchanged();

    // Not a project, missing, and too large to read.
    EXPECT_FALSE(model.openProject(TestSupport::writeFile(path(QStringLiteral("junk.kivo")), "{\"version\": 1")));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("无法打开“junk.kivo”：它不是Kivora项目文件，或内容已损坏。"));
    EXPECT_FALSE(model.openProject(path(QStringLiteral("missing.kivo"))));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("无法读取文件：missing.kivo"));
    QFile large(path(QStringLiteral("large.kivo")));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    ASSERT_TRUE(large.resize(MarkupViewModel::maximumProjectFileSize + 1)); // sparse: no disk used
    large.close();
    EXPECT_FALSE(model.openProject(large.fileName()));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("项目文件过大，无法打开"));
    expectWorkUnchanged();
}

TEST_F(Project, AnotherProgramsFileIsRefusedByNameAndLeavesTheWork)
{
    makeWork();
    const QString other = TestSupport::writeFile(path(QStringLiteral("other.json")), R"({"name": "other"})");
    const auto read = MarkupViewModel::readProjectFile(other);
    ASSERT_TRUE(std::holds_alternative<MarkupProjectError>(read));
    EXPECT_EQ(std::get<MarkupProjectError>(read).kind, MarkupProjectError::Kind::NotAProject);
    EXPECT_FALSE(model.openProject(other));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("“other.json”不是Kivora项目文件，未打开。"));
    expectWorkUnchanged();
}

TEST_F(Project, ThePairsOnScreenStayWhenAProjectOpens)
{
    std::vector<ComparisonPairState> shown(2);
    for (ComparisonPairState &pair : shown) {
        pair.id = QUuid::createUuid();
        pair.before.fileName = QStringLiteral("前.png");
        pair.after.fileName = QStringLiteral("后.png");
    }
    model.setComparisonPairs(shown);
    model.setSelectedComparisonPairID(shown[1].id);

    // A project of this program holds no pairs: the list and its selection stay as they were.
    MarkupProjectDocument text;
    text.textComparison = textState(QStringLiteral("正文"));
    ASSERT_TRUE(model.openProject(writeDocument(path(QStringLiteral("text.kivo")), text)));
    EXPECT_EQ(model.comparisonPairs(), shown);
    EXPECT_EQ(model.selectedComparisonPairID(), shown[1].id);

    // An older file's pair joins them and is shown; opened again, it is not added twice.
    MarkupProjectDocument withPair;
    withPair.comparisonPairs = {pairRecord(png(picture(10, 10, Qt::green)), png(picture(10, 10, Qt::black)))};
    const QString file = writeDocument(path(QStringLiteral("pair.kivo")), withPair);
    ASSERT_TRUE(model.openProject(file));
    ASSERT_TRUE(model.openProject(file));
    ASSERT_EQ(model.comparisonPairs().size(), 3u);
    EXPECT_EQ(model.comparisonPairs()[0], shown[0]);
    EXPECT_EQ(model.comparisonPairs()[1], shown[1]);
    EXPECT_EQ(model.comparisonPairs()[2].id, withPair.comparisonPairs[0].id);
    EXPECT_EQ(model.selectedComparisonPairID(), withPair.comparisonPairs[0].id);
}

TEST_F(Project, AutosaveWaitsForTheLastEditOfABurst)
{
    // No project: a request does nothing.
    model.setTextComparison(textState(QStringLiteral("一")));
    model.scheduleProjectAutosave();
    EXPECT_FALSE(model.autosaveTimer()->isActive());

    // A project named x.json: autosaves go to x.json.kivo, the project stays x.json.
    MarkupProjectDocument document;
    document.textComparison = textState(QStringLiteral("零"));
    const QString opened = writeDocument(path(QStringLiteral("x.json")), document);
    ASSERT_TRUE(model.openProject(opened));
    const QString target = path(QStringLiteral("x.json.kivo"));

    // A burst of edits: every request starts the 500 ms wait again, so only the last one writes.
    QTimer *timer = model.autosaveTimer();
    model.setTextComparison(textState(QStringLiteral("一")));
    model.scheduleProjectAutosave();
    ASSERT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 500);
    // Half of the wait passes with no event delivered (so the timer cannot fire, however slow the
    // machine), then the next edit starts it again from the full 500 ms. Restarted, the time left
    // plus the time since the restart is the whole wait; not restarted, it is at most 250 ms.
    QThread::msleep(250);
    ASSERT_TRUE(timer->isActive());
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    model.setTextComparison(textState(QStringLiteral("二")));
    model.scheduleProjectAutosave();
    EXPECT_TRUE(timer->isActive());
    EXPECT_GT(timer->remainingTime() + sinceRestart.elapsed(), 400) << "the wait was not restarted";
    EXPECT_FALSE(QFile::exists(target));
    fireAutosave();
    ASSERT_TRUE(QFile::exists(target));
    EXPECT_EQ(readDocument(target).textComparison->editedText, QStringLiteral("二"));
    EXPECT_EQ(model.projectURL(), opened);
    // Nothing else is pending: no second write follows.
    EXPECT_FALSE(timer->isActive());

    // A save drops the pending autosave: only the save writes.
    ASSERT_TRUE(QFile::remove(target));
    model.scheduleProjectAutosave();
    ASSERT_TRUE(model.saveProject(path(QStringLiteral("other"))));
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(QFile::exists(target));

    // A failing autosave reports itself.
    QFile::remove(path(QStringLiteral("other.kivo")));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("other.kivo")))); // a folder where the file goes
    model.scheduleProjectAutosave();
    fireAutosave();
    EXPECT_EQ(model.errorMessage(), "无法写入文件：other.kivo（" + QFileInfo(path(QStringLiteral("other.kivo"))).absolutePath() + "：同名文件夹已存在）");
}

// An image import that replaces the list forgets the images' histories, not the project file of
// the text: edits after it still reach the file, and 保存项目 still saves there.
TEST_F(Project, EditsAfterAnImageImportReachTheOpenProjectFile)
{
    MarkupProjectDocument document;
    document.textComparison = textState(QStringLiteral("原文"));
    const QString project = writeDocument(path(QStringLiteral("proj1.kivo")), document);
    ASSERT_TRUE(model.openProject(project));
    model.updateEditedComparisonText(QStringLiteral("导入前的修改"));
    const QString image = path(QStringLiteral("s3.png"));
    ASSERT_TRUE(picture(6, 6, Qt::blue).save(image));
    model.setItems({listItem(QStringLiteral("a.png"))});
    model.setSelectedItemID(model.items()[0].id);
    model.recordUndoSnapshot();
    model.setItems({});

    model.importImages({image}, true);
    ASSERT_EQ(model.items().size(), 1u);
    EXPECT_TRUE(model.undoSnapshotsByItemID().isEmpty());
    EXPECT_EQ(model.projectURL(), project);
    // The edit made before the import is still on its way to the file.
    fireAutosave();
    EXPECT_EQ(readDocument(project).textComparison->editedText, QStringLiteral("导入前的修改"));

    model.updateEditedComparisonText(QStringLiteral("导入后的修改"));
    fireAutosave();
    EXPECT_EQ(readDocument(project).textComparison->editedText, QStringLiteral("导入后的修改"));
    // The image is in no project file: the quit and a project open still ask about it.
    EXPECT_TRUE(model.hasUnsavedImages());
}

TEST_F(Project, APendingAutosaveIsWrittenBeforeTheSessionIsReplaced)
{
    model.setTextComparison(textState(QStringLiteral("开始")));
    ASSERT_TRUE(model.saveProject(path(QStringLiteral("p"))));
    const QString project = path(QStringLiteral("p.kivo"));

    ASSERT_TRUE(model.openProject(project));
    model.setTextComparison(textState(QStringLiteral("打开前的修改")));
    model.scheduleProjectAutosave();
    MarkupProjectDocument other;
    other.textComparison = textState(QStringLiteral("另一个"));
    ASSERT_TRUE(model.openProject(writeDocument(path(QStringLiteral("other.kivo")), other)));
    EXPECT_EQ(readDocument(project).textComparison->editedText, QStringLiteral("打开前的修改"));
    EXPECT_EQ(model.textComparison()->editedText, QStringLiteral("另一个"));
}

TEST_F(Project, ATextEditInAnOpenProjectIsAutosaved)
{
    MarkupProjectDocument document;
    document.textComparison = textState(QStringLiteral("原文"));
    const QString opened = writeDocument(path(QStringLiteral("notes.kivo")), document);
    ASSERT_TRUE(model.openProject(opened));
    model.updateEditedComparisonText(QStringLiteral("改过的原文"));
    EXPECT_TRUE(model.autosaveTimer()->isActive());
    fireAutosave();
    EXPECT_EQ(readDocument(opened).textComparison->editedText, QStringLiteral("改过的原文"));
}

TEST_F(Project, ANewSourceLeavesTheOpenProjectFileAsItWas)
{
    MarkupProjectDocument document;
    document.textComparison = textState(QStringLiteral("原文加批注"), {markup(0, 1, QStringLiteral("第一条")),
                                                                    markup(1, 1, QStringLiteral("第二条")),
                                                                    markup(2, 1, QStringLiteral("第三条"))});
    document.images = {imageRecord(QStringLiteral("图.png"), png(picture(8, 8, Qt::red)), 8, 8)};
    const QString project = writeDocument(path(QStringLiteral("proj1.kivo")), document);
    ASSERT_TRUE(model.openProject(project));

    // An edit still waiting for its autosave belongs to the old project: written before the new
    // source arrives.
    model.updateEditedComparisonText(QStringLiteral("原文加批注，改过"));
    ASSERT_TRUE(model.autosaveTimer()->isActive());
    const QString source = TestSupport::writeFile(path(QStringLiteral("新原文.txt")), QByteArray("另一份原文\n"));
    model.importTextComparison(source);
    ASSERT_EQ(model.textComparison()->editedText, QStringLiteral("另一份原文"));
    const MarkupProjectDocument written = readDocument(project);
    EXPECT_EQ(written.textComparison->editedText, QStringLiteral("原文加批注，改过"));
    EXPECT_EQ(written.textComparison->annotations.size(), 3u);
    EXPECT_EQ(written.images, document.images);

    // The new document belongs to no file: nothing is due, and neither its edits nor a later new
    // source write anything. Were an autosave pending, it is run here rather than waited for.
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    EXPECT_FALSE(model.projectURL());
    EXPECT_FALSE(model.autosaveTimer()->isActive());
    model.updateEditedComparisonText(QStringLiteral("另一份原文，改过"));
    model.setTextComparison(QStringLiteral("第三份.txt"), QStringLiteral("第三份"));
    EXPECT_FALSE(model.autosaveTimer()->isActive());
    if (model.autosaveTimer()->isActive())
        fireAutosave();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);

    // A failed upload leaves the document and its project as they were.
    ASSERT_TRUE(model.openProject(project));
    model.importTextComparison(path(QStringLiteral("不存在.txt")));
    EXPECT_EQ(model.projectURL(), project);
    EXPECT_EQ(model.textComparison()->editedText, QStringLiteral("原文加批注，改过"));
}

TEST_F(Project, UnsavedWorkIsWhatNoProjectFileHolds)
{
    // A text outside a project file is unsaved once it was edited or marked up.
    EXPECT_FALSE(model.hasUnsavedTextComparison());
    model.setTextComparison(QStringLiteral("a.txt"), QStringLiteral("原文"));
    EXPECT_FALSE(model.hasUnsavedTextComparison());
    model.updateEditedComparisonText(QStringLiteral("原文改"));
    EXPECT_TRUE(model.hasUnsavedTextComparison());
    model.updateEditedComparisonText(QStringLiteral("原文"));
    EXPECT_FALSE(model.hasUnsavedTextComparison());
    ASSERT_TRUE(model.addTextMarkupAnnotation(0, 1));
    EXPECT_TRUE(model.hasUnsavedTextComparison());
    // Saved by name, it is kept by the file and its autosave.
    ASSERT_TRUE(model.saveProject(path(QStringLiteral("text.kivo"))));
    EXPECT_FALSE(model.hasUnsavedTextComparison());

    // Images: unsaved outside a project file, and inside one when added or annotated since.
    MarkupProjectDocument document;
    document.textComparison = textState(QStringLiteral("正文"));
    document.images = {imageRecord(QStringLiteral("图.png"), png(picture(8, 8, Qt::red)), 8, 8)};
    const QString project = writeDocument(path(QStringLiteral("both.kivo")), document);
    ASSERT_TRUE(model.openProject(project));
    EXPECT_FALSE(model.hasUnsavedImages());
    EXPECT_FALSE(model.hasUnsavedTextComparison());
    std::vector<ImageMarkupItem> items = model.items();
    items.front().annotations.push_back(MarkupAnnotation());
    model.setItems(items);
    EXPECT_TRUE(model.hasUnsavedImages());
    items.front().annotations.clear();
    items.push_back(listItem(QStringLiteral("新图.png")));
    model.setItems(items);
    EXPECT_TRUE(model.hasUnsavedImages());
    model.resetProjectSession();
    model.setItems({listItem(QStringLiteral("图.png"))});
    EXPECT_TRUE(model.hasUnsavedImages());
    model.setItems({});
    EXPECT_FALSE(model.hasUnsavedImages());
}

TEST_F(Project, AnAutosaveThatCannotBeWrittenStopsTheOpenAndTheNewSource)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    MarkupProjectDocument document;
    document.textComparison = textState(QStringLiteral("正文"));
    const QString project = writeDocument(path(QStringLiteral("sub/p.kivo")), document);
    const QString other = writeDocument(path(QStringLiteral("other.kivo")), document);
    const QString source = TestSupport::writeFile(path(QStringLiteral("新.txt")), QByteArray("新的"));
    ASSERT_TRUE(model.openProject(project));
    // The project's folder is replaced by a file: no write into it can succeed.
    ASSERT_TRUE(QDir(path(QStringLiteral("sub"))).removeRecursively());
    TestSupport::writeFile(path(QStringLiteral("sub")), QByteArray("not a folder"));

    model.updateEditedComparisonText(QStringLiteral("没能保存的修改"));
    model.importTextComparison(source);
    EXPECT_TRUE(model.errorMessage().has_value());
    EXPECT_EQ(model.textComparison()->editedText, QStringLiteral("没能保存的修改"));
    EXPECT_EQ(model.projectURL(), project);

    model.setErrorMessage(std::nullopt);
    model.updateEditedComparisonText(QStringLiteral("又一次没能保存"));
    EXPECT_FALSE(model.openProject(other));
    EXPECT_TRUE(model.errorMessage().has_value());
    EXPECT_EQ(model.textComparison()->editedText, QStringLiteral("又一次没能保存"));
    EXPECT_EQ(model.projectURL(), project);
}
