// Opening a project (panel, hand-over, drop) or uploading a new source over work that no project
// file holds asks the quit rules' question first; work kept in a project file is written, not asked
// about, and a new source never writes into the project file that was open.

#include "TextEditorWindowFixture.h"

#include "model/MarkupProjectDocument.h"
#include "shell/OpenProjectBridge.h"

#include <QTimer>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TextMarkupAnnotation note(qint64 location, const QString &text)
{
    return TextMarkupAnnotation(QUuid::createUuid(), 1, location, 1, text, true,
                                TextMarkupAnnotation::defaultHighlightColorHex, false,
                                TextMarkupAnnotation::defaultUnderlineColorHex, false);
}

} // namespace

class ReplacingUnsavedWorkTest : public TextEditorWindowTest {
protected:
    void SetUp() override
    {
        TextEditorWindowTest::SetUp();
        // The Desktop export is replaced: it records the call and writes what the test says.
        view().hooks().saveSelectedImagesToDesktop = [this](MarkupViewModel &, ImageExportFormat, double) {
            ++imageSaves;
            return imagesWritten;
        };
        dialogs->whileQuitPromptShown = [this](QuitPrompt) { frontWhenAsked = !window->isMinimized(); };
        project = writeProject(QStringLiteral("proj1.kivo"), QStringLiteral("项目正文"));
    }

    QString writeProject(const QString &name, const QString &text)
    {
        MarkupProjectDocument document;
        document.textComparison = TextComparisonState(QStringLiteral("项目.txt"), text, std::nullopt,
                                                      {note(0, QStringLiteral("一")), note(1, QStringLiteral("二")),
                                                       note(2, QStringLiteral("三"))});
        return TestSupport::writeFile(directory.filePath(name), std::get<QByteArray>(document.encode()));
    }

    QString writeSource(const QString &name, const QByteArray &text)
    {
        return TestSupport::writeFile(directory.filePath(name), text);
    }

    // Two annotated images on screen in image markup, both selected.
    void showAnnotatedImages()
    {
        addImages(2);
        std::vector<ImageMarkupItem> items = model().items();
        for (ImageMarkupItem &image : items)
            image.annotations.push_back(MarkupAnnotation());
        model().setItems(items);
        model().setSelectedImageItemIDs({items[0].id, items[1].id});
        view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
        showWindow();
    }

    // A text comparison edited and marked up that no project file holds.
    void showUnsavedText()
    {
        openDocument(QStringLiteral("改过的原文"), QStringLiteral("原文"));
        ASSERT_TRUE(model().addTextMarkupAnnotation(0, 2));
        ASSERT_FALSE(model().projectURL());
    }

    void openThroughPanel(const QString &path)
    {
        panels->openAnswers.push_back(path);
        view().hooks().presentOpenProjectPanel();
        ShellTest::settle();
    }

    void upload(const QString &path)
    {
        panels->sourceAnswers.push_back(path);
        view().hooks().presentTextImportPanel();
        ShellTest::settle();
    }

    // A second launch hands the path to this window, which takes it once any question is answered.
    void handOver(const QString &path)
    {
        OpenProjectBridge &bridge = view().openProjectBridge();
        if (!bridge.isListening()) {
            ASSERT_TRUE(bridge.listen(directory.filePath(QStringLiteral("instance"))));
        }
        const size_t asked = dialogs->quitPrompts.size();
        const std::optional<QString> before = model().projectURL();
        ASSERT_TRUE(OpenProjectBridge::handOverToRunningInstance({path}, QStringLiteral("/"), bridge.serverName()));
        // Taken: a question was asked, or the project was opened without one.
        ASSERT_TRUE(ShellTest::waitUntil([&] {
            return !bridge.pendingProjectURL()
                && (dialogs->quitPrompts.size() > asked || model().projectURL() != before);
        }));
        ShellTest::settle();
    }

    bool projectIsOpen() { return model().projectURL() == project; }

    QString project;
    int imageSaves = 0;
    QStringList imagesWritten;
    bool frontWhenAsked = false;
};

TEST_F(ReplacingUnsavedWorkTest, OpeningAProjectFromThePanelAsksForAnnotatedImages)
{
    showAnnotatedImages();
    const std::vector<ImageMarkupItem> images = model().items();
    window->showMinimized();

    // 取消: everything stays, the window was brought up for the question.
    dialogs->quitAnswer = QuitAnswer::Cancel;
    openThroughPanel(project);
    EXPECT_EQ(dialogs->quitPrompts, std::vector<QuitPrompt>{QuitPrompt::ImageSave});
    // Worded for the open ("打开项目前…"), not for quitting.
    EXPECT_EQ(dialogs->questionCauses, std::vector<SaveQuestionCause>{SaveQuestionCause::OpenProject});
    EXPECT_TRUE(frontWhenAsked);
    EXPECT_EQ(model().items(), images);
    EXPECT_FALSE(model().textComparison());
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);

    // 保存到桌面 that wrote nothing, or only one of the two images: no open.
    dialogs->quitAnswer = QuitAnswer::Save;
    openThroughPanel(project);
    imagesWritten = {QStringLiteral("/tmp/图1.png")};
    openThroughPanel(project);
    EXPECT_EQ(imageSaves, 2);
    EXPECT_EQ(model().items(), images);
    EXPECT_FALSE(projectIsOpen());

    // Both written: the project opens.
    imagesWritten << QStringLiteral("/tmp/图2.png");
    openThroughPanel(project);
    EXPECT_EQ(imageSaves, 3);
    EXPECT_TRUE(projectIsOpen());
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::TextComparison);
    EXPECT_EQ(model().textComparison()->annotations.size(), 3u);

    // 不保存 opens without saving. Images added to an open project are in no file either.
    showAnnotatedImages();
    dialogs->quitAnswer = QuitAnswer::DontSave;
    openThroughPanel(project);
    EXPECT_EQ(imageSaves, 3);
    EXPECT_TRUE(projectIsOpen());
    EXPECT_TRUE(model().items().empty());
}

TEST_F(ReplacingUnsavedWorkTest, OpeningAProjectFromThePanelAsksForAnUnsavedText)
{
    showUnsavedText();
    const TextComparisonState unsaved = *model().textComparison();

    dialogs->quitAnswer = QuitAnswer::Cancel;
    openThroughPanel(project);
    EXPECT_EQ(dialogs->quitPrompts, std::vector<QuitPrompt>{QuitPrompt::ProjectSave});
    EXPECT_EQ(model().textComparison(), unsaved);

    // 保存 with the save panel cancelled goes no further; with a name it saves, then opens.
    dialogs->quitAnswer = QuitAnswer::Save;
    openThroughPanel(project);
    EXPECT_EQ(model().textComparison(), unsaved);
    const QString savedAs = directory.filePath(QStringLiteral("另存.kivo"));
    panels->saveAnswers.push_back(savedAs);
    openThroughPanel(project);
    EXPECT_TRUE(projectIsOpen());
    EXPECT_EQ(panels->requests.join(u','), QStringLiteral("open,open,save,open,save"));
    const auto saved = MarkupProjectDocument::decode(bytesOf(savedAs));
    ASSERT_TRUE(std::holds_alternative<MarkupProjectDocument>(saved));
    EXPECT_EQ(std::get<MarkupProjectDocument>(saved).textComparison, unsaved);

    // 不保存 opens straight away; a document untouched since its upload is not asked about.
    showUnsavedText();
    dialogs->quitAnswer = QuitAnswer::DontSave;
    openThroughPanel(project);
    EXPECT_TRUE(projectIsOpen());
    const size_t asked = dialogs->quitPrompts.size();
    model().setTextComparison(QStringLiteral("新.txt"), QStringLiteral("新的"));
    openThroughPanel(project);
    EXPECT_TRUE(projectIsOpen());
    EXPECT_EQ(dialogs->quitPrompts.size(), asked);

    // Both unsaved: the text's question, then the images'; a 取消 of the first asks nothing more.
    showAnnotatedImages();
    showUnsavedText();
    dialogs->quitPrompts.clear();
    dialogs->quitAnswer = QuitAnswer::Cancel;
    openThroughPanel(project);
    EXPECT_EQ(dialogs->quitPrompts, std::vector<QuitPrompt>{QuitPrompt::ProjectSave});
    dialogs->quitAnswer = QuitAnswer::DontSave;
    openThroughPanel(project);
    EXPECT_EQ(dialogs->quitPrompts,
              (std::vector<QuitPrompt>{QuitPrompt::ProjectSave, QuitPrompt::ProjectSave, QuitPrompt::ImageSave}));
    EXPECT_TRUE(projectIsOpen());
}

TEST_F(ReplacingUnsavedWorkTest, AHandOverAsksFirstAndACancelDropsIt)
{
    showUnsavedText();
    const TextComparisonState unsaved = *model().textComparison();
    window->showMinimized();

    dialogs->quitAnswer = QuitAnswer::Cancel;
    handOver(project);
    EXPECT_EQ(dialogs->quitPrompts, std::vector<QuitPrompt>{QuitPrompt::ProjectSave});
    EXPECT_EQ(dialogs->questionCauses, std::vector<SaveQuestionCause>{SaveQuestionCause::OpenProject});
    EXPECT_TRUE(frontWhenAsked);
    EXPECT_EQ(model().textComparison(), unsaved);
    EXPECT_FALSE(view().openProjectBridge().pendingProjectURL()); // dropped, not kept for later
    ShellTest::spin(50);
    EXPECT_EQ(dialogs->quitPrompts.size(), 1u);

    // 保存: the save panel, then the handed-over project.
    dialogs->quitAnswer = QuitAnswer::Save;
    const QString savedAs = directory.filePath(QStringLiteral("交接前.kivo"));
    panels->saveAnswers.push_back(savedAs);
    handOver(project);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return projectIsOpen(); }));
    EXPECT_EQ(std::get<MarkupProjectDocument>(MarkupProjectDocument::decode(bytesOf(savedAs))).textComparison,
              unsaved);

    // 不保存 over annotated images: opened without a save.
    model().resetProjectSession();
    showAnnotatedImages();
    dialogs->quitAnswer = QuitAnswer::DontSave;
    handOver(project);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return projectIsOpen(); }));
    EXPECT_EQ(dialogs->quitPrompts.back(), QuitPrompt::ImageSave);
    EXPECT_EQ(imageSaves, 0);
    EXPECT_TRUE(model().items().empty());
}

TEST_F(ReplacingUnsavedWorkTest, UploadingOverAnUnsavedTextAsksFirst)
{
    showUnsavedText();
    const TextComparisonState unsaved = *model().textComparison();
    const QString source = writeSource(QStringLiteral("新原文.txt"), "新的原文\n");

    dialogs->quitAnswer = QuitAnswer::Cancel;
    upload(source);
    EXPECT_EQ(dialogs->quitPrompts, std::vector<QuitPrompt>{QuitPrompt::ProjectSave});
    EXPECT_EQ(dialogs->questionCauses, std::vector<SaveQuestionCause>{SaveQuestionCause::NewSource});
    EXPECT_EQ(model().textComparison(), unsaved);

    // 保存 writes the old document under the chosen name, then the new source is a new document
    // outside that file.
    dialogs->quitAnswer = QuitAnswer::Save;
    const QString savedAs = directory.filePath(QStringLiteral("旧文案.kivo"));
    panels->saveAnswers.push_back(savedAs);
    upload(source);
    EXPECT_EQ(edited(), QStringLiteral("新的原文"));
    EXPECT_FALSE(model().projectURL());
    EXPECT_EQ(std::get<MarkupProjectDocument>(MarkupProjectDocument::decode(bytesOf(savedAs))).textComparison,
              unsaved);

    // 不保存 loads the source; images are not the upload's concern and are not asked about.
    showAnnotatedImages();
    view().setWorkspaceMode(WorkspaceMode::TextComparison);
    model().updateEditedComparisonText(QStringLiteral("又改了"));
    dialogs->quitPrompts.clear();
    dialogs->quitAnswer = QuitAnswer::DontSave;
    upload(writeSource(QStringLiteral("第三份.txt"), "第三份"));
    EXPECT_EQ(dialogs->quitPrompts, std::vector<QuitPrompt>{QuitPrompt::ProjectSave});
    EXPECT_EQ(edited(), QStringLiteral("第三份"));
    EXPECT_EQ(model().items().size(), 2u);
    EXPECT_EQ(imageSaves, 0);
}

TEST_F(ReplacingUnsavedWorkTest, AProjectFileKeepsItsDocumentWithoutAQuestion)
{
    showWindow();
    openThroughPanel(project);
    ASSERT_TRUE(projectIsOpen());
    ASSERT_TRUE(surface());

    // An edit waits for its autosave; the upload writes it first and then leaves the file alone.
    model().updateEditedComparisonText(QStringLiteral("项目正文，改过"));
    ASSERT_TRUE(model().autosaveTimer()->isActive());
    upload(writeSource(QStringLiteral("新原文.txt"), "新的原文"));
    EXPECT_TRUE(dialogs->quitPrompts.empty());
    EXPECT_EQ(edited(), QStringLiteral("新的原文"));
    EXPECT_FALSE(model().projectURL());
    const QByteArray written = bytesOf(project);
    const auto document = MarkupProjectDocument::decode(written);
    ASSERT_TRUE(std::holds_alternative<MarkupProjectDocument>(document));
    EXPECT_EQ(std::get<MarkupProjectDocument>(document).textComparison->editedText, QStringLiteral("项目正文，改过"));
    EXPECT_EQ(std::get<MarkupProjectDocument>(document).textComparison->annotations.size(), 3u);

    // Nothing is due for the old file, after the upload or after an edit of the new document.
    model().updateEditedComparisonText(QStringLiteral("新的原文，改过"));
    EXPECT_FALSE(model().autosaveTimer()->isActive());
    EXPECT_EQ(bytesOf(project), written);

    // The next 保存项目 asks for a name, suggested from the new source.
    const QString savedAs = directory.filePath(QStringLiteral("新原文.kivo"));
    panels->saveAnswers.push_back(savedAs);
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(panels->requests.join(u','), QStringLiteral("open,source,save"));
    EXPECT_EQ(panels->suggestedName, QStringLiteral("新原文.kivo"));
    EXPECT_EQ(model().projectURL(), savedAs);
    EXPECT_EQ(bytesOf(project), written);

    // A hand-over over a document in its file: the pending autosave is written, nothing asked.
    model().updateEditedComparisonText(QStringLiteral("交接前的修改"));
    ASSERT_TRUE(model().autosaveTimer()->isActive());
    handOver(project);
    EXPECT_TRUE(projectIsOpen());
    EXPECT_TRUE(dialogs->quitPrompts.empty());
    EXPECT_EQ(std::get<MarkupProjectDocument>(MarkupProjectDocument::decode(bytesOf(savedAs))).textComparison->editedText,
              QStringLiteral("交接前的修改"));
}

// Another program's JSON, or a file of unknown kinds of annotation, is refused by name before any
// question: the images, the text, the pairs and the workspace stay, from the panel as from a
// second launch.
TEST_F(ReplacingUnsavedWorkTest, AForeignFileIsRefusedBeforeAnyQuestion)
{
    showAnnotatedImages();
    addPair();
    const std::vector<ImageMarkupItem> images = model().items();
    const std::vector<ComparisonPairState> pairs = model().comparisonPairs();
    dialogs->quitAnswer = QuitAnswer::DontSave;

    const QString other = writeSource(QStringLiteral("other.json"), R"({"name": "other"})");
    const QString unknownKind = writeSource(
        QStringLiteral("shapes.kivo"),
        R"({"images": [{"id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "fileName": "a.png", "imageData": "AAEC",
                        "pixelWidth": 3, "pixelHeight": 2, "annotations": [{"kind": "ellipse"}]}]})");
    openThroughPanel(other);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return dialogs->errors.size() == 1; }));
    EXPECT_EQ(dialogs->errors.last(), QStringLiteral("“other.json”不是Kivora项目文件，未打开。"));
    openThroughPanel(unknownKind);
    ASSERT_TRUE(ShellTest::waitUntil([&] { return dialogs->errors.size() == 2; }));
    EXPECT_EQ(dialogs->errors.last(), QStringLiteral("无法打开“shapes.kivo”：它不是Kivora项目文件，或内容已损坏。"));

    OpenProjectBridge &bridge = view().openProjectBridge();
    ASSERT_TRUE(bridge.listen(directory.filePath(QStringLiteral("instance"))));
    // A second launch hands over only files named as projects: another program's JSON so named.
    const QString disguised = writeSource(QStringLiteral("other.kivo"), R"({"name": "other"})");
    ASSERT_TRUE(OpenProjectBridge::handOverToRunningInstance({disguised}, QStringLiteral("/"), bridge.serverName()));
    ASSERT_TRUE(ShellTest::waitUntil([&] { return dialogs->errors.size() == 3; }));
    EXPECT_EQ(dialogs->errors.last(), QStringLiteral("“other.kivo”不是Kivora项目文件，未打开。"));

    EXPECT_TRUE(dialogs->quitPrompts.empty());
    EXPECT_EQ(model().items(), images);
    EXPECT_EQ(model().comparisonPairs(), pairs);
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);
    EXPECT_FALSE(model().projectURL());
}
