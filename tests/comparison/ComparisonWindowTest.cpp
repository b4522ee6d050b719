#include "ComparisonTestSupport.h"

#include "comparison/ComparisonDialogs.h"
#include "comparison/ComparisonPairing.h"
#include "comparison/widgets/BatchComparisonSheet.h"
#include "comparison/widgets/ComparisonPairListView.h"
#include "comparison/widgets/ComparisonSetupSheet.h"
#include "comparison/widgets/ComparisonSurface.h"
#include "comparison/widgets/CurrentImageCard.h"
#include "comparison/widgets/FolderSlot.h"
#include "comparison/widgets/ImageComparisonWorkspace.h"
#include "comparison/widgets/SheetButton.h"
#include "comparison/widgets/UploadCard.h"
#include "model/MarkupProjectDocument.h"
#include "shell/ImageComparisonHookup.h"
#include "shell/OpenProjectBridge.h"
#include "shell/ShellTestSupport.h"
#include "shell/ShellWindowFixture.h"
#include "support/ComparisonExecutors.h"
#include "support/TestSupport.h"
#include "ui/WorkspaceViewportEventLayer.h"

#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QKeyEvent>

namespace {

// Answers the choosers from queues and records the alerts, in order.
class FakeComparisonDialogs : public ComparisonDialogs {
public:
    std::vector<std::optional<QString>> images;
    std::vector<std::optional<QString>> folders;
    QStringList *events = nullptr;
    QStringList resultMessages;

    std::optional<QString> chooseImage(const QString &, QWidget *) override { return take(images); }
    std::optional<QString> chooseFolder(const QString &, QWidget *) override { return take(folders); }
    void showError(const QString &message, QWidget *) override { events->append(QStringLiteral("sheet error: ") + message); }
    void showBatchResult(const QString &title, const QString &message, bool isWarning, QWidget *) override
    {
        events->append((isWarning ? QStringLiteral("warning: ") : QStringLiteral("information: ")) + title);
        resultMessages.append(message);
    }

private:
    static std::optional<QString> take(std::vector<std::optional<QString>> &queue)
    {
        if (queue.empty())
            return std::nullopt;
        std::optional<QString> next = queue.front();
        queue.erase(queue.begin());
        return next;
    }
};

class ComparisonWindow : public ShellWindowTest {
protected:
    void SetUp() override
    {
        ShellWindowTest::SetUp();
        auto fake = std::make_unique<FakeComparisonDialogs>();
        fake->events = &events;
        chooser = fake.get();
        hookup = new ImageComparisonHookup(view(), std::move(fake));
        hookup->install(view().hooks());
        view().reloadWorkspace();
        dialogs->whileErrorShown = [this] { events.append(QStringLiteral("window error: ") + dialogs->errors.last()); };
        showWindow();
    }

    void enterWithPairs(std::vector<ComparisonPairState> pairs)
    {
        model().setComparisonPairs(std::move(pairs));
        view().switchWorkspace(WorkspaceMode::ImageComparison, false);
        QCoreApplication::processEvents();
    }
    ImageComparisonWorkspace *workspace() const { return hookup->workspace(); }
    ComparisonSurface *surface() const { return workspace()->surface(); }
    QString image(const QString &name, QColor color = Qt::red)
    {
        return ComparisonTest::writeImage(directory.filePath(name), 60, 40, color);
    }
    static void press(QWidget *widget, QPointF at, QEvent::Type type = QEvent::MouseButtonPress)
    {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }

    static void click(QWidget *widget, QPointF at)
    {
        press(widget, at);
        press(widget, at, QEvent::MouseButtonRelease);
    }

    QStringList events;
    FakeComparisonDialogs *chooser = nullptr;
    ImageComparisonHookup *hookup = nullptr;
};

TEST_F(ComparisonWindow, APressMovesTheDividerDragsStopShortOfTheEdgesAndCaptionsTakeNothing)
{
    enterWithPairs({ComparisonTest::pair(QStringLiteral("a.png"), {400, 300}, {400, 300})});
    const QRectF canvas = surface()->canvasRect();
    ASSERT_GT(canvas.width(), 100);
    press(surface(), QPointF(canvas.left() + 0.3 * canvas.width(), canvas.center().y()));
    EXPECT_NEAR(view().comparisonFraction(), 0.3, 1e-9);
    EXPECT_NEAR(surface()->fraction(), 0.3, 1e-9);
    press(surface(), QPointF(canvas.left() - 80, canvas.center().y()), QEvent::MouseMove);
    EXPECT_DOUBLE_EQ(view().comparisonFraction(), 0.02);
    press(surface(), QPointF(canvas.right() + 80, canvas.center().y()), QEvent::MouseMove);
    EXPECT_DOUBLE_EQ(view().comparisonFraction(), 0.98);
    press(surface(), QPointF(canvas.right() + 80, canvas.center().y()), QEvent::MouseButtonRelease);

    press(surface(), surface()->captionRect(false).center());
    press(surface(), surface()->captionRect(true).center());
    press(surface(), surface()->captionRect(true).center(), QEvent::MouseMove);
    EXPECT_DOUBLE_EQ(view().comparisonFraction(), 0.98);
}

TEST_F(ComparisonWindow, SolidPairShowsBeforeLeftAndAfterRightOfTheDivider)
{
    enterWithPairs({ComparisonTest::pair(QStringLiteral("a.png"), {400, 300}, {400, 300}, Qt::red, Qt::blue)});
    const QImage shot = surface()->grab().toImage();
    const QRectF canvas = surface()->canvasRect();
    const double ratio = shot.devicePixelRatio();
    const auto at = [&](double fx) {
        return shot.pixelColor(QPoint(int((canvas.left() + fx * canvas.width()) * ratio), int(canvas.center().y() * ratio + 60)));
    };
    EXPECT_EQ(at(0.25), QColor(Qt::red));
    EXPECT_EQ(at(0.75), QColor(Qt::blue));
    // A smaller after image is centred over the before image, which stays visible around it.
    enterWithPairs({ComparisonTest::pair(QStringLiteral("b.png"), {400, 300}, {200, 150}, Qt::red, Qt::blue)});
    view().setComparisonFraction(0.1);
    const QImage small = surface()->grab().toImage();
    const QRectF c = surface()->canvasRect();
    EXPECT_EQ(small.pixelColor(QPoint(int(c.left() + 0.9 * c.width()), int(c.center().y()))), QColor(Qt::red));
    EXPECT_EQ(small.pixelColor(QPoint(int(c.left() + 0.6 * c.width()), int(c.center().y()))), QColor(Qt::blue));
}

TEST_F(ComparisonWindow, CardsSelectAndDeleteAfterResettingThePanAndTheFirstIsSelectedByDefault)
{
    enterWithPairs({ComparisonTest::pair(QStringLiteral("1.png")), ComparisonTest::pair(QStringLiteral("2.png")),
                    ComparisonTest::pair(QStringLiteral("3.png"))});
    ComparisonPairListView *list = workspace()->pairList();
    QAbstractItemModel *rows = list->model();
    EXPECT_TRUE(rows->index(0, 0).data(ComparisonPairListModel::IsSelectedRole).toBool());
    EXPECT_FALSE(rows->index(1, 0).data(ComparisonPairListModel::IsSelectedRole).toBool());
    EXPECT_EQ(rows->index(1, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("点击切换到第 2 组图片对比"));

    view().setPanOffset(QSizeF(30, 20));
    const QRect second = list->visualRect(rows->index(1, 0));
    click(list->viewport(), second.center());
    EXPECT_EQ(model().selectedComparisonPairID(), model().comparisonPairs()[1].id);
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
    EXPECT_EQ(model().statusMessage(), QStringLiteral("图片对比 2/3"));

    view().setPanOffset(QSizeF(30, 20));
    const QUuid third = model().comparisonPairs()[2].id;
    click(list->viewport(), ComparisonPairDelegate::deleteButtonRect(second).center());
    ASSERT_EQ(model().comparisonPairs().size(), 2u);
    EXPECT_EQ(model().selectedComparisonPairID(), third);
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
    EXPECT_EQ(workspace()->findChild<QLabel *>(QStringLiteral("comparisonPairCount"))->text(), QStringLiteral("2"));
}

TEST_F(ComparisonWindow, CardsStayWholeWhenTheListScrolls)
{
    std::vector<ComparisonPairState> pairs;
    for (int k = 0; k < 30; ++k)
        pairs.push_back(ComparisonTest::pair(QStringLiteral("%1.png").arg(k)));
    enterWithPairs(std::move(pairs));
    ComparisonPairListView *list = workspace()->pairList();
    ASSERT_TRUE(list->verticalScrollBar()->isVisible());
    const QRect row = list->visualRect(list->model()->index(0, 0));
    const QRectF card = ComparisonPairDelegate::cardRect(row);
    EXPECT_GE(card.left(), 0);
    EXPECT_LE(card.right(), list->viewport()->width());
    EXPECT_LE(ComparisonPairDelegate::deleteButtonRect(row).right(), list->viewport()->width());
}

TEST_F(ComparisonWindow, EnteringAndEscapeCentreTheCanvasExactly)
{
    view().setPanOffset(QSizeF(30, 20));
    enterWithPairs({ComparisonTest::pair(QStringLiteral("a.png"), {400, 300}, {400, 300})});
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
    EXPECT_EQ(surface()->canvasRect().center(), QRectF(surface()->rect()).center());
    view().setPanOffset(QSizeF(30, 20));
    EXPECT_EQ(surface()->canvasRect().center(), QRectF(surface()->rect()).center() + QPointF(30, 20));
    view().handleEscapeShortcut();
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
    EXPECT_EQ(surface()->canvasRect().center(), QRectF(surface()->rect()).center());
}

TEST_F(ComparisonWindow, SideButtonsOverTheCanvasDoNothingAndTheLayerSleepsWithoutPairs)
{
    enterWithPairs({});
    EXPECT_FALSE(workspace()->isShowingPair());
    EXPECT_FALSE(workspace()->viewportLayer()->isActive());
    enterWithPairs({ComparisonTest::pair(QStringLiteral("a.png"))});
    EXPECT_TRUE(workspace()->viewportLayer()->isActive());
    for (const CanvasMouseButtonAction action : {CanvasMouseButtonAction::Undo, CanvasMouseButtonAction::Redo})
        EXPECT_FALSE(workspace()->viewportLayer()->sideButtonAction(action));
    const QPointF centre = surface()->rect().center();
    QMouseEvent back(QEvent::MouseButtonPress, centre, surface()->mapToGlobal(centre), Qt::BackButton, Qt::BackButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(surface(), &back);
    EXPECT_EQ(model().comparisonPairs().size(), 1u);
    EXPECT_DOUBLE_EQ(view().comparisonFraction(), 0.5);
}

TEST_F(ComparisonWindow, TheSetupSheetCommitsTwoSlotsAndKeepsASlotWhenAFileCannotBeDecoded)
{
    view().setPanOffset(QSizeF(5, 5));
    hookup->session().presentComparisonSetup(false);
    ComparisonSetupSheet *sheet = hookup->setupSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    EXPECT_EQ(sheet->hintText(), QStringLiteral("分别上传修改前和修改后的图片，然后拖动中线查看差异。"));
    EXPECT_FALSE(sheet->confirmButton()->isEnabled());

    chooser->images = {image(QStringLiteral("before.png"))};
    sheet->beforeCard()->click();
    EXPECT_TRUE(sheet->beforeCard()->hasImage());
    EXPECT_FALSE(sheet->confirmButton()->isEnabled());

    // A damaged file: the alert over the sheet, nothing for the window's alert, the slot kept.
    const QString broken = TestSupport::writeFile(directory.filePath(QStringLiteral("broken.png")), "nope");
    chooser->images = {broken};
    sheet->beforeCard()->click();
    ASSERT_TRUE(ShellTest::waitUntil([this] { return !events.isEmpty(); }));
    ShellTest::settle();
    EXPECT_EQ(events, QStringList{QStringLiteral("sheet error: 对比图片无法解析")});
    EXPECT_EQ(hookup->session().comparisonDraftBefore()->fileName, QStringLiteral("before.png"));
    EXPECT_TRUE(sheet->isVisible());

    // A cancelled chooser changes nothing.
    chooser->images = {std::nullopt};
    sheet->afterCard()->click();
    EXPECT_FALSE(hookup->session().comparisonDraftAfter());

    chooser->images = {image(QStringLiteral("after.png"), Qt::blue)};
    sheet->afterCard()->click();
    ASSERT_TRUE(sheet->confirmButton()->isEnabled());
    view().setComparisonFraction(0.8);
    sheet->confirmButton()->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(hookup->session().isComparisonSetupPresented());
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageComparison);
    EXPECT_DOUBLE_EQ(view().comparisonFraction(), 0.5);
    EXPECT_EQ(view().panOffset(), QSizeF(5, 5)); // a commit leaves the pan
    EXPECT_EQ(model().statusMessage(), QStringLiteral("已添加 1 组图片对比"));
    ASSERT_EQ(model().comparisonPairs().size(), 1u);
    EXPECT_EQ(model().comparisonPairs()[0].after.fileName, QStringLiteral("after.png"));
}

TEST_F(ComparisonWindow, CancelEscapeAndReopeningStartAfresh)
{
    hookup->session().presentComparisonSetup(false);
    chooser->images = {image(QStringLiteral("b.png"))};
    hookup->setupSheet()->beforeCard()->click();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(hookup->setupSheet(), &escape);
    EXPECT_FALSE(hookup->session().isComparisonSetupPresented());
    EXPECT_FALSE(hookup->setupSheet()->isVisible());
    EXPECT_TRUE(model().comparisonPairs().empty());

    hookup->session().presentComparisonSetup(false);
    EXPECT_FALSE(hookup->setupSheet()->beforeCard()->hasImage());
    hookup->setupSheet()->findChild<QAbstractButton *>(QStringLiteral("sheetCancelButton"))->click();
    EXPECT_FALSE(hookup->session().isComparisonSetupPresented());
}

TEST_F(ComparisonWindow, AddToComparisonFromMarkupUsesTheSelectedImageAndCommitsOnTheAfterChoice)
{
    addImages(2);
    view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
    auto *addToComparison = qobject_cast<QAbstractButton *>(view().headerItemWidget(HeaderToolbarItem::AddToComparison));
    ASSERT_TRUE(addToComparison);
    addToComparison->click();
    ComparisonSetupSheet *sheet = hookup->setupSheet();
    EXPECT_EQ(sheet->hintText(), QStringLiteral("当前图片已作为修改前图片，只需上传修改后的图片。"));
    EXPECT_TRUE(sheet->currentImageCard()->hasImage());
    EXPECT_EQ(hookup->session().comparisonDraftBefore()->fileName, QStringLiteral("图1.png"));

    chooser->images = {image(QStringLiteral("after.png"))};
    sheet->currentAfterCard()->click();
    EXPECT_FALSE(hookup->session().isComparisonSetupPresented());
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageComparison);
    ASSERT_EQ(model().comparisonPairs().size(), 1u);
    EXPECT_EQ(model().comparisonPairs()[0].before.fileName, QStringLiteral("图1.png"));

    // Without a selected image the sheet can only be closed.
    model().setSelectedItemID(std::nullopt);
    model().setItems({});
    view().hooks().presentComparisonSetup(true);
    EXPECT_FALSE(sheet->currentImageCard()->hasImage());
    chooser->images = {image(QStringLiteral("after2.png"))};
    sheet->currentAfterCard()->click();
    EXPECT_TRUE(hookup->session().isComparisonSetupPresented());
    EXPECT_FALSE(sheet->confirmButton()->isEnabled());
    EXPECT_EQ(model().comparisonPairs().size(), 1u);
}

class ComparisonBatch : public ComparisonWindow {
protected:
    QString folder(const QString &name) const { return directory.filePath(name); }
    // Runs the batch and waits until it is over and the given number of alerts were shown.
    void run(int alerts)
    {
        hookup->batchSheet()->runButton()->click();
        ASSERT_TRUE(ShellTest::waitUntil(
            [this, alerts] { return !hookup->session().isRunningBatchComparison() && events.size() >= alerts; }));
        ShellTest::settle();
    }
};

TEST_F(ComparisonBatch, ARunWithPairsSwitchesCentresClearsAndReportsBeforeTheError)
{
    ComparisonTest::writeImage(folder(QStringLiteral("b/1_old.png")), 20, 20);
    ComparisonTest::writeImage(folder(QStringLiteral("a/1_new.png")), 20, 20);
    ComparisonTest::writeImage(folder(QStringLiteral("b/2_old.png")), 20, 20);
    TestSupport::writeFile(folder(QStringLiteral("a/2_new.png")), "damaged");
    ComparisonTest::writeImage(folder(QStringLiteral("b/lonely.png")), 20, 20);
    view().setComparisonFraction(0.7);
    view().setPanOffset(QSizeF(9, 9));

    hookup->session().presentBatchComparisonSheet();
    BatchComparisonSheet *sheet = hookup->batchSheet();
    EXPECT_FALSE(sheet->runButton()->isEnabled());
    chooser->folders = {folder(QStringLiteral("b"))};
    sheet->beforeSlot()->chooseButton()->click();
    EXPECT_EQ(sheet->beforeSlot()->valueText(), QStringLiteral("b"));
    EXPECT_FALSE(sheet->runButton()->isEnabled());
    chooser->folders = {folder(QStringLiteral("a"))};
    sheet->afterSlot()->chooseButton()->click();
    ASSERT_TRUE(sheet->runButton()->isEnabled());
    sheet->runButton()->click();
    // While the workers decode, the sheet stays up with a busy run button and cannot be closed.
    EXPECT_TRUE(hookup->session().isRunningBatchComparison());
    EXPECT_TRUE(sheet->runButton()->isBusy());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(sheet, &escape);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(hookup->session().batchComparisonBeforeFolder());
    ASSERT_TRUE(ShellTest::waitUntil(
        [this] { return !hookup->session().isRunningBatchComparison() && events.size() >= 2; }));
    ShellTest::settle();
    EXPECT_FALSE(sheet->runButton()->isBusy());

    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageComparison);
    EXPECT_DOUBLE_EQ(view().comparisonFraction(), 0.5);
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
    EXPECT_FALSE(hookup->session().isBatchComparisonSheetPresented());
    EXPECT_FALSE(hookup->session().batchComparisonBeforeFolder());
    EXPECT_FALSE(hookup->session().batchComparisonAfterFolder());
    EXPECT_EQ(model().statusMessage(), QStringLiteral("已添加 1 组图片对比"));
    EXPECT_EQ(events, (QStringList{QStringLiteral("information: 批量添加完成"),
                                   QStringLiteral("window error: 对比图片无法解析")}));
    EXPECT_EQ(chooser->resultMessages.value(0),
              QStringLiteral("已添加 1 组图片对比。\n\n修改前未匹配：\n\u2022 lonely.png"));
}

TEST_F(ComparisonBatch, ARunWithoutPairsOnlyWarnsAndKeepsTheFoldersUntilTheNextOpening)
{
    ComparisonTest::writeImage(folder(QStringLiteral("b/x.png")), 20, 20);
    ComparisonTest::writeImage(folder(QStringLiteral("a/y.png")), 20, 20);
    hookup->session().presentBatchComparisonSheet();
    chooser->folders = {folder(QStringLiteral("b")), folder(QStringLiteral("a"))};
    hookup->batchSheet()->beforeSlot()->chooseButton()->click();
    hookup->batchSheet()->afterSlot()->chooseButton()->click();
    model().setStatusMessage(QStringLiteral("就绪"));
    run(1);
    EXPECT_EQ(events, QStringList{QStringLiteral("warning: 没有匹配成功")});
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Launcher);
    EXPECT_EQ(model().statusMessage(), QStringLiteral("就绪"));
    EXPECT_FALSE(hookup->session().isBatchComparisonSheetPresented());
    EXPECT_TRUE(hookup->session().batchComparisonBeforeFolder());

    // A cancelled chooser empties its slot; a fresh opening clears both.
    hookup->session().presentBatchComparisonSheet();
    EXPECT_FALSE(hookup->session().batchComparisonBeforeFolder());
    chooser->folders = {folder(QStringLiteral("b")), std::nullopt};
    hookup->batchSheet()->beforeSlot()->chooseButton()->click();
    hookup->batchSheet()->beforeSlot()->chooseButton()->click();
    EXPECT_FALSE(hookup->session().batchComparisonBeforeFolder());
    EXPECT_EQ(hookup->batchSheet()->beforeSlot()->valueText(), QStringLiteral("未选择"));
}

TEST(BatchResultMessage, ListsAtMostTwelveNamesPerSideBeforeSideFirst)
{
    ComparisonBatchImportResult result;
    EXPECT_EQ(ComparisonPairing::batchResultMessage(result, false), QStringLiteral("没有找到可按文件名匹配的图片。"));
    result.unmatchedAfter = {QStringLiteral("z.png")};
    EXPECT_EQ(ComparisonPairing::batchResultMessage(result, false),
              QStringLiteral("没有找到可按文件名匹配的图片。\n\n修改后未匹配：\n\u2022 z.png"));
    result.pairs.resize(3);
    for (int i = 1; i <= 12; ++i)
        result.unmatchedBefore.append(QStringLiteral("%1.png").arg(i));
    QString twelve = ComparisonPairing::batchResultMessage(result, true);
    EXPECT_TRUE(twelve.startsWith(QStringLiteral("已添加 3 组图片对比。\n\n修改前未匹配：\n\u2022 1.png\n")));
    EXPECT_FALSE(twelve.contains(QStringLiteral("还有")));
    EXPECT_TRUE(twelve.endsWith(QStringLiteral("\u2022 12.png\n\n修改后未匹配：\n\u2022 z.png")));
    result.unmatchedBefore.append(QStringLiteral("13.png"));
    const QString thirteen = ComparisonPairing::batchResultMessage(result, true);
    EXPECT_TRUE(thirteen.contains(QStringLiteral("\u2022 12.png\n\u2026还有 1 个\n\n修改后未匹配：")));
    EXPECT_FALSE(thirteen.contains(QStringLiteral("13.png")));
}

TEST_F(ComparisonWindow, AProjectWithPairsOpensIntoThisWorkspace)
{
    const QString path = directory.filePath(QStringLiteral("pairs.kivo"));
    MarkupProjectDocument document;
    MarkupProjectComparisonPair record;
    record.before.fileName = QStringLiteral("b.png");
    record.after.fileName = QStringLiteral("a.png");
    QFile png(image(QStringLiteral("side.png")));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    record.before.imageData = record.after.imageData = png.readAll();
    document.comparisonPairs = {record};
    const auto encoded = document.encode();
    ASSERT_TRUE(std::holds_alternative<QByteArray>(encoded));
    TestSupport::writeFile(path, std::get<QByteArray>(encoded));

    view().hooks().readProject = [](const QString &file) { return MarkupViewModel::readProjectFile(file); };
    view().hooks().openProject = [](MarkupViewModel &m, const QString &file, MarkupViewModel::ReadProject read) {
        return m.applyReadProject(file, std::move(read));
    };
    view().setWorkerExecutor(std::make_shared<InlineComparisonExecutor>());
    ASSERT_TRUE(view().openProject(path)) << model().errorMessage().value_or(QString()).toStdString();
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageComparison);
    ASSERT_TRUE(workspace());
    EXPECT_TRUE(workspace()->isShowingPair());
    EXPECT_EQ(model().comparisonPairs().at(0).before.fileName, QStringLiteral("b.png"));
}

} // namespace

namespace {

// Pairs made by 批量添加 are in no file: opening a project, from the panel or handed over by a
// second launch, leaves them, also while the batch sheet is up again.
TEST_F(ComparisonBatch, OpeningAProjectKeepsThePairsABatchMade)
{
    for (const char *name : {"1", "2", "3", "4"}) {
        ComparisonTest::writeImage(folder(QStringLiteral("b/%1_old.png").arg(name)), 20, 20);
        ComparisonTest::writeImage(folder(QStringLiteral("a/%1_new.png").arg(name)), 20, 20, Qt::blue);
    }
    hookup->session().presentBatchComparisonSheet();
    chooser->folders = {folder(QStringLiteral("b")), folder(QStringLiteral("a"))};
    hookup->batchSheet()->beforeSlot()->chooseButton()->click();
    hookup->batchSheet()->afterSlot()->chooseButton()->click();
    run(1);
    const std::vector<ComparisonPairState> pairs = model().comparisonPairs();
    ASSERT_EQ(pairs.size(), 4u);
    model().selectComparisonPair(pairs[2].id);

    MarkupProjectDocument document;
    document.textComparison = TextComparisonState(QStringLiteral("合同.txt"), QStringLiteral("原文"), std::nullopt, {});
    const QString project = TestSupport::writeFile(directory.filePath(QStringLiteral("合同.kivo")),
                                                   std::get<QByteArray>(document.encode()));
    view().hooks().readProject = [](const QString &file) { return MarkupViewModel::readProjectFile(file); };
    view().hooks().openProject = [](MarkupViewModel &m, const QString &file, MarkupViewModel::ReadProject read) {
        return m.applyReadProject(file, std::move(read));
    };
    view().setWorkerExecutor(std::make_shared<InlineComparisonExecutor>());

    hookup->session().presentBatchComparisonSheet();
    ASSERT_TRUE(view().openProject(project));
    EXPECT_EQ(model().projectURL(), project);
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::TextComparison);
    EXPECT_EQ(model().comparisonPairs(), pairs);
    EXPECT_EQ(model().selectedComparisonPairID(), pairs[2].id);

    model().setProjectURL(std::nullopt);
    view().setWorkspaceMode(WorkspaceMode::ImageComparison);
    hookup->session().presentBatchComparisonSheet();
    view().openProjectBridge().handleOpenDocuments({project}, directory.path());
    // The hand-over waits for the sheet, a modal window, and opens once it is closed.
    ShellTest::settle();
    EXPECT_FALSE(model().projectURL());
    EXPECT_EQ(model().comparisonPairs(), pairs);
    hookup->session().closeBatchComparisonSheet();
    ASSERT_TRUE(ShellTest::waitUntil([&] { return model().projectURL() == project; }));
    EXPECT_EQ(model().comparisonPairs(), pairs);
    EXPECT_EQ(model().selectedComparisonPairID(), pairs[2].id);
    // Back in the comparison, the same pair is on the canvas.
    view().setWorkspaceMode(WorkspaceMode::ImageComparison);
    ASSERT_TRUE(workspace());
    EXPECT_TRUE(workspace()->isShowingPair());
}

} // namespace
