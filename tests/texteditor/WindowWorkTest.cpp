// The window never waits for a document to be read or an export to be written: the workers are
// held open by the test, and every action that makes their outcome unwanted must drop it.
#include "TextEditorWindowFixture.h"

#include "shell/OpenProjectBridge.h"
#include "texteditor/SurfaceButton.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "ui/BusyMark.h"

#include <QLabel>

namespace {

class WindowWorkTest : public TextEditorWindowTest {
protected:
    QString writeText(const QString &name, const QByteArray &content)
    {
        return TestSupport::writeFile(directory.filePath(name), content);
    }
    QString saveProject(const QString &name, const QString &sourceName, const QString &text)
    {
        QSettings scratchSettings(directory.filePath(name + QStringLiteral(".ini")), QSettings::IniFormat);
        MarkupViewModel scratch(scratchSettings);
        scratch.setTextComparison(sourceName, text);
        const QString path = directory.filePath(name);
        EXPECT_TRUE(scratch.saveProject(path));
        return path;
    }
    // The edited text a project file holds.
    static QString editedIn(const QString &path)
    {
        QFile file(path);
        const auto decoded = MarkupProjectDocument::decode(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
        const auto *document = std::get_if<MarkupProjectDocument>(&decoded);
        return document && document->textComparison ? document->textComparison->editedText : QString();
    }
    QString original() { return model().textComparison() ? model().textComparison()->originalText : QString(); }
    QStringList desktopFiles() { return QDir(directory.filePath(QStringLiteral("home/Desktop"))).entryList(QDir::Files); }
};

} // namespace

TEST_F(WindowWorkTest, AnUploadIsReadOffTheWindowAndANewerUploadOrAProjectOpenDropsIt)
{
    openDocument(QStringLiteral("旧的原文"));
    HeldComparisonExecutor &workers = holdWorkers();
    panels->sourceAnswers = {writeText(QStringLiteral("甲.txt"), "甲的原文\n"),
                             writeText(QStringLiteral("乙.txt"), "乙的原文\n"),
                             writeText(QStringLiteral("丙.txt"), "丙的原文\n")};
    surface()->uploadButton()->click();
    // The file is being read: the window says so and goes on with what it shows.
    ASSERT_EQ(workers.held(), 1u);
    EXPECT_EQ(model().statusMessage(), QStringLiteral("正在读取…"));
    EXPECT_EQ(original(), QStringLiteral("旧的原文"));
    EXPECT_TRUE(view().isLoadingDocument());
    // The user can switch away and back meanwhile.
    view().switchWorkspace(WorkspaceMode::ImageMarkup, false);
    view().switchWorkspace(WorkspaceMode::TextComparison, false);

    // A newer upload: the first one's reading ends, and is never applied.
    surface()->uploadButton()->click();
    ASSERT_EQ(workers.held(), 2u);
    workers.run(0);
    EXPECT_EQ(original(), QStringLiteral("旧的原文"));
    workers.run(0);
    EXPECT_EQ(original(), QStringLiteral("乙的原文"));
    EXPECT_EQ(model().statusMessage(), QStringLiteral("已载入文案：乙.txt"));
    EXPECT_FALSE(view().isLoadingDocument());

    // A project opened while an upload is read takes its place.
    const QString project = saveProject(QStringLiteral("项目.kivo"), QStringLiteral("项目.txt"), QStringLiteral("项目的原文"));
    surface()->uploadButton()->click();
    ASSERT_TRUE(view().openProject(project));
    ASSERT_EQ(workers.held(), 2u);
    workers.run(0);
    EXPECT_EQ(original(), QStringLiteral("乙的原文"));
    workers.run(0);
    EXPECT_EQ(original(), QStringLiteral("项目的原文"));
    EXPECT_EQ(model().projectURL(), project);
    EXPECT_EQ(model().statusMessage(), QStringLiteral("项目已打开：项目.kivo"));

    // A file that cannot be read: its error, and the status line as it was.
    panels->sourceAnswers = {writeText(QStringLiteral("坏.txt"), QByteArray("\xff\xfe\x00\xd8\x00\xd8", 6))};
    surface()->uploadButton()->click();
    workers.run(0);
    EXPECT_EQ(original(), QStringLiteral("项目的原文"));
    EXPECT_EQ(model().statusMessage(), QStringLiteral("项目已打开：项目.kivo"));
    EXPECT_TRUE(model().errorMessage().has_value() || !dialogs->errors.isEmpty());
}

TEST_F(WindowWorkTest, AProjectIsReadOffTheWindowThenTheWorkAsItStandsIsAskedAbout)
{
    const QString project = saveProject(QStringLiteral("项目.kivo"), QStringLiteral("项目.txt"), QStringLiteral("项目的原文"));
    openDocument(QStringLiteral("原文"));
    HeldComparisonExecutor &workers = holdWorkers();
    ASSERT_TRUE(view().openProject(project));
    ASSERT_EQ(workers.held(), 1u);
    EXPECT_EQ(model().statusMessage(), QStringLiteral("正在读取…"));
    EXPECT_EQ(original(), QStringLiteral("原文"));
    // The question waits for the file: an edit made while it is read is part of what is asked about.
    EXPECT_TRUE(dialogs->quitPrompts.empty());
    select(2, 2);
    typeText(QStringLiteral("改"));
    dialogs->quitAnswer = QuitAnswer::Cancel;
    workers.run(0);
    EXPECT_EQ(dialogs->quitPrompts.size(), 1u);
    EXPECT_EQ(edited(), QStringLiteral("原文改"));
    EXPECT_EQ(original(), QStringLiteral("原文"));
    // Opened again and answered 不保存: the project opens.
    dialogs->quitAnswer = QuitAnswer::DontSave;
    ASSERT_TRUE(view().openProject(project));
    EXPECT_EQ(dialogs->quitPrompts.size(), 1u);
    workers.run(0);
    EXPECT_EQ(dialogs->quitPrompts.size(), 2u);
    EXPECT_EQ(original(), QStringLiteral("项目的原文"));
}

// The open project's last edit, still on its way to its file, reaches it before another project
// is read (it may be the same file): the window does not wait for the write, and one that fails
// opens nothing.
TEST_F(WindowWorkTest, AProjectIsReadOnlyOnceTheOpenProjectsWritesEnded)
{
    const QString first = saveProject(QStringLiteral("一.kivo"), QStringLiteral("一.txt"), QStringLiteral("一的原文"));
    const QString second = saveProject(QStringLiteral("二.kivo"), QStringLiteral("二.txt"), QStringLiteral("二的原文"));
    openDocument(QStringLiteral("原文"));
    ASSERT_TRUE(view().openProject(first));
    ASSERT_EQ(model().projectURL(), first);
    auto writer = std::make_shared<HeldComparisonExecutor>();
    model().setProjectWriter(writer);
    HeldComparisonExecutor &workers = holdWorkers();

    model().updateEditedComparisonText(QStringLiteral("一的原文，改过"));
    ASSERT_TRUE(view().openProject(second));
    ASSERT_EQ(writer->held(), 1u);
    EXPECT_EQ(workers.held(), 0u) << "read before the open project's last edit was written";
    EXPECT_EQ(model().statusMessage(), QStringLiteral("正在读取…"));
    writer->run(0);
    EXPECT_EQ(editedIn(first), QStringLiteral("一的原文，改过"));
    ASSERT_EQ(workers.held(), 1u);
    workers.run(0);
    EXPECT_EQ(original(), QStringLiteral("二的原文"));

    ASSERT_TRUE(QFile::remove(second));
    ASSERT_TRUE(QDir().mkpath(second)); // a folder where the file goes
    model().updateEditedComparisonText(QStringLiteral("二的原文，改过"));
    ASSERT_TRUE(view().openProject(first));
    writer->run(0);
    EXPECT_EQ(workers.held(), 0u);
    EXPECT_TRUE(model().errorMessage().has_value());
    EXPECT_EQ(model().projectURL(), second);
    EXPECT_EQ(edited(), QStringLiteral("二的原文，改过"));
}

TEST_F(WindowWorkTest, ANewSourceReplacesTheDocumentOnceTheProjectsLastEditIsWritten)
{
    const QString project = saveProject(QStringLiteral("一.kivo"), QStringLiteral("一.txt"), QStringLiteral("一的原文"));
    openDocument(QStringLiteral("原文"));
    ASSERT_TRUE(view().openProject(project));
    auto writer = std::make_shared<HeldComparisonExecutor>();
    model().setProjectWriter(writer);

    model().updateEditedComparisonText(QStringLiteral("一的原文，改过"));
    panels->sourceAnswers = {writeText(QStringLiteral("新.txt"), "新的原文\n")};
    surface()->uploadButton()->click();
    ASSERT_EQ(writer->held(), 1u) << "the last edit written on the window's thread";
    EXPECT_EQ(edited(), QStringLiteral("一的原文，改过"));
    writer->run(0);
    EXPECT_EQ(editedIn(project), QStringLiteral("一的原文，改过"));
    EXPECT_EQ(original(), QStringLiteral("新的原文"));
    EXPECT_FALSE(model().projectURL());
}

TEST_F(WindowWorkTest, AProjectGivenAtLaunchIsReadAfterTheWindowShows)
{
    const QString project = saveProject(QStringLiteral("项目.kivo"), QStringLiteral("项目.txt"), QStringLiteral("项目的原文"));
    HeldComparisonExecutor &workers = holdWorkers();
    view().openProjectBridge().handleOpenDocuments({project}, directory.path());
    showWindow();
    ASSERT_TRUE(ShellTest::waitUntil([&] { return workers.held() == 1; }));
    // The window is up on the launcher while the file is read.
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Launcher);
    EXPECT_FALSE(model().textComparison());
    EXPECT_EQ(model().statusMessage(), QStringLiteral("正在读取…"));
    workers.run(0);
    EXPECT_EQ(original(), QStringLiteral("项目的原文"));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::TextComparison);
}

TEST_F(WindowWorkTest, AnExportIsWrittenOffTheWindowAndACloseDropsWhatIsNotDoneYet)
{
    const TestSupport::TemporaryHome home(directory.filePath(QStringLiteral("home")));
    openDocument(QStringLiteral("原文改"), QStringLiteral("原文"));
    HeldComparisonExecutor &workers = holdWorkers();
    surface()->confirmExportScope(TextComparisonSurface::ExportTarget::Word);
    ASSERT_EQ(workers.held(), 1u);
    EXPECT_EQ(model().statusMessage(), QStringLiteral("正在导出…"));
    EXPECT_TRUE(desktopFiles().isEmpty());
    workers.run(0);
    ASSERT_EQ(desktopFiles().size(), 1);
    EXPECT_TRUE(model().statusMessage().startsWith(QStringLiteral("Word 已保存：")));

    // An export and an upload under way when the window closes: neither is done afterwards.
    surface()->confirmExportScope(TextComparisonSurface::ExportTarget::Image);
    panels->sourceAnswers = {writeText(QStringLiteral("甲.txt"), "甲的原文\n")};
    dialogs->quitAnswer = QuitAnswer::DontSave;
    surface()->uploadButton()->click();
    ASSERT_EQ(workers.held(), 2u);
    window->close();
    ASSERT_EQ(quitRequests, 1);
    workers.runAll();
    EXPECT_EQ(desktopFiles().size(), 1);
    EXPECT_EQ(original(), QStringLiteral("原文"));
}

TEST_F(WindowWorkTest, AnExportWaitingForItsComparisonNeverWritesAnotherDocument)
{
    const TestSupport::TemporaryHome home(directory.filePath(QStringLiteral("home")));
    model().setTextComparison(QStringLiteral("合同A.txt"), QStringLiteral("合同A的条款"));
    view().switchWorkspace(WorkspaceMode::TextComparison, false);
    showWindow();
    ShellTest::settle();
    HeldComparisonExecutor &searches = holdComparisons();
    select(0, 0);
    typeText(QStringLiteral("新"));
    exportDialogs->keepDefaultTitle = false;
    exportDialogs->title = QStringLiteral("合同A审阅");
    surface()->confirmExportScope(TextComparisonSurface::ExportTarget::Word);
    EXPECT_EQ(model().statusMessage(), QStringLiteral("正在对比文案，完成后导出…"));

    // A new source arrives before the comparison: the export asked for under 合同A goes.
    panels->sourceAnswers = {writeText(QStringLiteral("合同B.txt"), "合同B的条款\n")};
    dialogs->quitAnswer = QuitAnswer::DontSave;
    surface()->uploadButton()->click();
    ASSERT_EQ(original(), QStringLiteral("合同B的条款"));
    EXPECT_EQ(model().statusMessage(), QStringLiteral("文案已更换，等待中的导出已取消"));
    searches.runAll();
    EXPECT_TRUE(desktopFiles().isEmpty());

    // The same with a project opened.
    const QString project = saveProject(QStringLiteral("合同C.kivo"), QStringLiteral("合同C.txt"), QStringLiteral("合同C的条款"));
    select(0, 0);
    typeText(QStringLiteral("新"));
    surface()->confirmExportScope(TextComparisonSurface::ExportTarget::Image);
    ASSERT_TRUE(view().openProject(project));
    ASSERT_EQ(original(), QStringLiteral("合同C的条款"));
    EXPECT_EQ(model().statusMessage(), QStringLiteral("文案已更换，等待中的导出已取消"));
    searches.runAll();
    EXPECT_TRUE(desktopFiles().isEmpty());

    // An export that waits only for the texts' own edits is written, with them.
    select(0, 0);
    typeText(QStringLiteral("甲"));
    surface()->confirmExportScope(TextComparisonSurface::ExportTarget::Word);
    typeText(QStringLiteral("乙"));
    searches.runAll();
    const QStringList files = desktopFiles();
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files.front().startsWith(QStringLiteral("合同A审阅")));
    const QString bytes = QString::fromUtf8(
        TestSupport::readFile(QDir(directory.filePath(QStringLiteral("home/Desktop"))).filePath(files.front())));
    EXPECT_TRUE(bytes.contains(QStringLiteral("合同C的条款")));
    EXPECT_TRUE(bytes.contains(QStringLiteral("甲乙")));
}
TEST_F(WindowWorkTest, WhileTheTextsAreComparedTheHeaderShowsNoCountOfAnotherResult)
{
    openDocument(QStringLiteral("第一行\n第二行改\n第三行"), QStringLiteral("第一行\n第二行\n第三行"));
    ASSERT_TRUE(surface()->summaryLabel()->text().startsWith(QStringLiteral("1 处修改")));
    HeldComparisonExecutor &searches = holdComparisons();

    // A paste over the whole text: the changes carried over stand only until the busy mark shows.
    select(0, int(edited().size()));
    typeText(QStringLiteral("全新的文案"));
    ASSERT_TRUE(ShellTest::waitUntil([this] { return surface()->busyMark()->isVisible(); }));
    EXPECT_FALSE(surface()->summaryLabel()->text().contains(QStringLiteral("处修改")));
    EXPECT_EQ(surface()->summaryLabel()->text(), QStringLiteral("0 条批注 · 0 个下划线 · 0 个划掉"));
    searches.runAll();
    EXPECT_TRUE(surface()->summaryLabel()->text().contains(QStringLiteral("处修改")));
    EXPECT_FALSE(surface()->busyMark()->isVisible());

    // A new source: nothing is known of its texts, so no count shows at all until compared.
    panels->sourceAnswers = {writeText(QStringLiteral("新.txt"), "新的原文\n")};
    dialogs->quitAnswer = QuitAnswer::DontSave;
    surface()->uploadButton()->click();
    ASSERT_EQ(original(), QStringLiteral("新的原文"));
    EXPECT_FALSE(surface()->summaryLabel()->text().contains(QStringLiteral("处修改")));
    searches.runAll();
    EXPECT_TRUE(surface()->summaryLabel()->text().startsWith(QStringLiteral("0 处修改")));
}

TEST_F(WindowWorkTest, ALongTextIsFilledInBehindTheBusyMarkWhileThePaneKeepsTheOneBefore)
{
    openDocument(QStringLiteral("原文"));
    HeldComparisonExecutor &workers = holdComparisons();
    QStringList lines;
    for (int k = 0; k < 9000; ++k)
        lines << QStringLiteral("第%1行：一段足够长的文字").arg(k);
    const QString text = lines.join(u'\n');
    model().updateEditedComparisonText(text);
    // At once, not after the busy mark's delay: the pane shows the text before and takes no typing.
    EXPECT_TRUE(surface()->isFillingPanes());
    auto *mark = static_cast<BusyMark *>(surface()->busyMark());
    EXPECT_TRUE(mark->isVisibleTo(surface()));
    EXPECT_EQ(mark->text(), QStringLiteral("正在排版…"));
    EXPECT_EQ(PaneText::rawText(surface()->editor()->textView()->document()), QStringLiteral("原文"));
    workers.runAll();
    EXPECT_FALSE(surface()->isFillingPanes());
    EXPECT_EQ(PaneText::rawText(surface()->editor()->textView()->document()), text);
    EXPECT_FALSE(mark->isVisibleTo(surface()));
    EXPECT_EQ(mark->text(), QStringLiteral("正在对比…"));
}
