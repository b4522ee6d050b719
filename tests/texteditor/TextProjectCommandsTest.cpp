// The window's text commands: the empty state, the upload panel, project open and save panels,
// Ctrl+S and the quit prompt.

#include "texteditor/SurfaceButton.h"
#include "TextEditorWindowFixture.h"


#include <QAbstractButton>
#include <QFileInfo>

namespace {

QString writeText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

} // namespace

TEST_F(TextEditorWindowTest, EmptyStateAndUploadPanelSwitchBeforeReading)
{
    showWindow();
    // The launcher's text card asks for a source at once; a cancelled panel leaves the empty state.
    view().switchWorkspace(WorkspaceMode::TextComparison, true);
    EXPECT_EQ(panels->requests, QStringList { QStringLiteral("source") });
    ASSERT_TRUE(workspace());
    EXPECT_TRUE(workspace()->emptyState()->isVisible());
    EXPECT_FALSE(surface());
    shot(QStringLiteral("empty-state"));

    // A failed upload from elsewhere switches first and leaves the workspace showing.
    view().switchWorkspace(WorkspaceMode::Launcher, false);
    panels->sourceAnswers.push_back(directory.filePath(QStringLiteral("缺失.txt")));
    view().hooks().presentTextImportPanel();
    EXPECT_TRUE(ShellTest::waitUntil([&] {
        return view().workspaceMode() == WorkspaceMode::TextComparison
            && (model().errorMessage().has_value() || !dialogs->errors.isEmpty());
    }));
    ASSERT_TRUE(workspace());
    EXPECT_TRUE(workspace()->emptyState()->isVisible());

    // The empty state's button uploads; the surface appears with the document.
    panels->sourceAnswers.push_back(writeText(directory.filePath(QStringLiteral("原文.txt")), "第一行\n第二行\n"));
    auto *upload = workspace()->emptyState()->findChild<QAbstractButton *>(QStringLiteral("textUploadButton"));
    ASSERT_TRUE(upload);
    click(upload, QPoint(10, 10));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return surface() != nullptr; }));
    EXPECT_EQ(edited(), QStringLiteral("第一行\n第二行"));
    EXPECT_TRUE(surface()->state().showAnnotationList);
    EXPECT_EQ(surface()->state().selectedMarkupColorHex, QStringLiteral("#FDE047"));

    // A new source keeps the surface and its state.
    TextComparisonSurface *before = surface();
    surface()->toggleAnnotationList();
    panels->sourceAnswers.push_back(writeText(directory.filePath(QStringLiteral("新.txt")), "新的原文"));
    click(surface()->uploadButton(), QPoint(10, 10));
    EXPECT_EQ(surface(), before);
    EXPECT_FALSE(surface()->state().showAnnotationList);
    EXPECT_EQ(edited(), QStringLiteral("新的原文"));
}

TEST_F(TextEditorWindowTest, ProjectRoundTripThroughThePanels)
{
    openDocument(QStringLiteral("第一行有批注\n第二行"));
    const auto created = model().addTextMarkupAnnotation(0, 3);
    model().updateTextMarkupAnnotation(created->id, QStringLiteral("需要改"), true, QStringLiteral("#2563EB"), true,
                                       std::nullopt, std::nullopt);
    select(8, 8);
    typeText(QStringLiteral("改"));
    const TextComparisonState saved = *model().textComparison();

    // Ctrl+S from the focused editor with a new document: the save panel with the suggested name.
    const QString path = directory.filePath(QStringLiteral("项目.kivo"));
    panels->saveAnswers.push_back(path);
    ASSERT_TRUE(textView()->hasFocus());
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(panels->requests, QStringList { QStringLiteral("save") });
    EXPECT_EQ(panels->suggestedName, model().suggestedProjectFileName());
    ASSERT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(model().projectURL(), path);

    // With a project file, Ctrl+S writes it without a panel.
    typeText(QStringLiteral("再"));
    const qint64 sizeBefore = QFileInfo(path).size();
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(panels->requests.size(), 1);
    EXPECT_NE(QFileInfo(path).size(), sizeBefore);
    const TextComparisonState resaved = *model().textComparison();

    // Ctrl+O opens it again into the text workspace, notes included.
    model().setProjectURL(std::nullopt); // no autosave into the file while another text is loaded
    model().setTextComparison(QStringLiteral("别的.txt"), QStringLiteral("别的"));
    panels->openAnswers.push_back(path);
    key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(panels->requests.join(u','), QStringLiteral("save,open"));
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::TextComparison);
    ASSERT_TRUE(model().textComparison());
    EXPECT_EQ(*model().textComparison(), resaved);
    EXPECT_EQ(model().textComparison()->annotations.front().note, QStringLiteral("需要改"));
    EXPECT_NE(saved.editedText, resaved.editedText);
    ASSERT_TRUE(surface());
    EXPECT_EQ(surface()->editor()->currentText(), resaved.editedText);
}

TEST_F(TextEditorWindowTest, CtrlSWithoutATextDocumentSavesTheSelectedImages)
{
    // Images of an opened project and no text document: the images go to the Desktop, the
    // project file stays as it is.
    const QString project = writeText(directory.filePath(QStringLiteral("旧.kivo")), "unchanged");
    addImages(2);
    model().setProjectURL(project);
    int imageSaves = 0;
    auto original = view().hooks().saveSelectedImagesToDesktop;
    view().hooks().saveSelectedImagesToDesktop = [&](MarkupViewModel &, ImageExportFormat format, double quality) {
        ++imageSaves;
        EXPECT_EQ(format, ImageExportFormat::Png);
        EXPECT_DOUBLE_EQ(quality, 0.9);
        return QStringList { QStringLiteral("/tmp/x.png") };
    };
    view().switchWorkspace(WorkspaceMode::TextComparison, false);
    showWindow();
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(imageSaves, 1);
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("unchanged"));
    EXPECT_TRUE(panels->requests.isEmpty());

    // The save-as variant reports whether an image was written.
    auto *hookup = view().findChild<TextComparisonHookup *>();
    EXPECT_TRUE(hookup->presentSaveProjectPanel());
    view().hooks().saveSelectedImagesToDesktop
        = [](MarkupViewModel &, ImageExportFormat, double) { return QStringList(); };
    EXPECT_FALSE(hookup->presentSaveProjectPanel());
    view().hooks().saveSelectedImagesToDesktop = original;
}

TEST_F(TextEditorWindowTest, QuitPromptSaveUsesThePanelWithoutAProjectFile)
{
    openDocument(QStringLiteral("要保存的文字"), QStringLiteral("原文")); // edited: no file holds it
    dialogs->quitAnswer = QuitAnswer::Save;
    // A cancelled panel keeps the window.
    EXPECT_FALSE(view().shouldCloseWindow());
    EXPECT_EQ(panels->requests, QStringList { QStringLiteral("save") });
    EXPECT_EQ(quitRequests, 0);
    // A written file lets it quit.
    const QString path = directory.filePath(QStringLiteral("退出前.kivo"));
    panels->saveAnswers.push_back(path);
    view().shouldCloseWindow();
    EXPECT_TRUE(ShellTest::waitUntil([&] { return quitRequests == 1; }));
    EXPECT_TRUE(QFileInfo::exists(path));
}
