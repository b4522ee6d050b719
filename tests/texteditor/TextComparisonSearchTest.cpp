// The window never waits for a comparison: searches are held open by the test (or run on real
// threads and blocked), and every action that makes an answer unwanted must raise its flag.
#include "TextEditorWindowFixture.h"

#include "textengine/TextComparisonDiff.h"
#include "textengine/TextComparisonExecutor.h"

#include "texteditor/SurfaceButton.h"
#include "ui/BusyMark.h"

#include <QLabel>
#include <QSemaphore>
#include <QSignalSpy>

#include <thread>

namespace {

// Runs each search to its end on a thread of its own before start() returns: the answer then
// waits in the window's event queue, behind whatever the test does next.
class OffThreadComparisonExecutor final : public TextComparisonExecutor {
public:
    void start(std::function<void()> job) override { std::thread(std::move(job)).join(); }
};

class TextComparisonSearchTest : public TextEditorWindowTest {
protected:
    // Every search records whether its flag was already raised when it ran, then searches.
    std::vector<bool> flaggedWhenRun;

    void recordFlags()
    {
        session().setSearch([this](const QString &original, const QString &edited, const std::atomic<bool> *cancelled) {
            flaggedWhenRun.push_back(cancelled->load());
            return TextComparisonDiff::compare(original, edited, cancelled);
        });
    }

    void openHeld(const QString &text, const QString &original)
    {
        openDocument(text, original);
        ASSERT_TRUE(surface()->isShowingCurrentComparison());
        holdComparisons();
        recordFlags();
        select(0, 0);
    }

    QString writeText(const QString &name, const QByteArray &content)
    {
        return TestSupport::writeFile(directory.filePath(name), content);
    }
};

const QString heldOriginal = QStringLiteral("第一行\n第二行\n第三行");

} // namespace

TEST_F(TextComparisonSearchTest, KeystrokesUndoAndRedoCancelTheSearchTheyOutdate)
{
    openHeld(heldOriginal, heldOriginal);
    typeText(QStringLiteral("甲"));
    ASSERT_EQ(held->held(), 1u);
    // The typed character shows at once; the change waits for its comparison.
    EXPECT_EQ(edited(), QStringLiteral("甲") + heldOriginal);
    EXPECT_FALSE(surface()->isShowingCurrentComparison());
    EXPECT_TRUE(surface()->changes().empty());

    typeText(QStringLiteral("乙"));                          // a newer keystroke
    key(Qt::Key_Z, Qt::ControlModifier);                    // undo
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); // redo
    ASSERT_EQ(edited(), QStringLiteral("甲乙") + heldOriginal);
    ASSERT_EQ(held->held(), 4u);
    held->runAll();
    // Only the last search was still wanted: the others found their flag raised.
    EXPECT_EQ(flaggedWhenRun, (std::vector<bool>{true, true, true, false}));
    EXPECT_TRUE(surface()->isShowingCurrentComparison());
    ASSERT_EQ(surface()->changes().size(), 1u);
    EXPECT_EQ(surface()->changes().front().end, 2);
    EXPECT_TRUE(surface()->summaryLabel()->text().startsWith(QStringLiteral("1 处修改")));
}

TEST_F(TextComparisonSearchTest, ANewUploadAndAProjectOpenCancelTheRunningSearch)
{
    const QString project = directory.filePath(QStringLiteral("保存的.kivo"));
    model().setTextComparison(QStringLiteral("项目.txt"), QStringLiteral("项目里的原文"));
    ASSERT_TRUE(model().saveProject(project));
    openHeld(heldOriginal, heldOriginal);
    dialogs->quitAnswer = QuitAnswer::DontSave;

    typeText(QStringLiteral("甲"));
    panels->sourceAnswers.push_back(writeText(QStringLiteral("新.txt"), "新的原文\n"));
    surface()->uploadButton()->click();
    ASSERT_EQ(model().textComparison()->originalText, QStringLiteral("新的原文"));

    typeText(QStringLiteral("乙"));
    ASSERT_TRUE(view().openProject(project));
    ASSERT_EQ(model().textComparison()->originalText, QStringLiteral("项目里的原文"));

    ASSERT_EQ(held->held(), 4u);
    held->runAll();
    // The keystroke's search before the upload and the one before the open were cancelled by
    // them; the upload's own search was cancelled by the next keystroke.
    EXPECT_EQ(flaggedWhenRun, (std::vector<bool>{true, true, true, false}));
    EXPECT_TRUE(surface()->isShowingCurrentComparison());
}

TEST_F(TextComparisonSearchTest, LeavingTheWorkspaceCancelsAndReturningSearchesAgain)
{
    openHeld(heldOriginal, heldOriginal);
    typeText(QStringLiteral("甲"));
    ASSERT_EQ(held->held(), 1u);
    view().switchWorkspace(WorkspaceMode::ImageMarkup, false);
    EXPECT_FALSE(session().isComparing());
    held->runAll();
    EXPECT_EQ(flaggedWhenRun, (std::vector<bool>{true}));
    EXPECT_FALSE(session().result());

    view().switchWorkspace(WorkspaceMode::TextComparison, false);
    ShellTest::settle();
    ASSERT_EQ(held->held(), 1u);
    held->runAll();
    EXPECT_EQ(flaggedWhenRun, (std::vector<bool>{true, false}));
    ASSERT_TRUE(surface());
    EXPECT_TRUE(surface()->isShowingCurrentComparison());
    EXPECT_EQ(surface()->changes().size(), 1u);

    // A markup changes no text: the result stands and nothing is searched again.
    ASSERT_TRUE(model().addTextMarkupAnnotation(0, 1));
    EXPECT_EQ(held->held(), 0u);
    EXPECT_TRUE(surface()->isShowingCurrentComparison());
}

TEST_F(TextComparisonSearchTest, ClosingTheWindowCancelsTheRunningSearch)
{
    openHeld(heldOriginal, heldOriginal);
    typeText(QStringLiteral("甲"));
    dialogs->quitAnswer = QuitAnswer::DontSave;
    window->close();
    ASSERT_EQ(quitRequests, 1);
    held->runAll();
    EXPECT_EQ(flaggedWhenRun, (std::vector<bool>{true}));
}

TEST_F(TextComparisonSearchTest, SwitchingAndClosingNeverWaitForARunningSearch)
{
    openDocument(heldOriginal, heldOriginal);
    // Real threads: each search blocks until the test lets it go, and says what it saw.
    session().setExecutor(TextComparisonExecutors::threaded());
    QSemaphore started, gate, finished;
    std::atomic<const std::atomic<bool> *> running = nullptr;
    std::atomic<bool> gateOpened = true;
    session().setSearch([&](const QString &, const QString &, const std::atomic<bool> *cancelled) {
        running = cancelled;
        started.release();
        // The bound is only reached when the window waits for this search: a fault.
        if (!gate.tryAcquire(1, 30000))
            gateOpened = false;
        finished.release();
        // An answer nobody may take: it would mark everything as changed.
        TextComparisonResult bogus;
        bogus.changes.push_back(TextComparisonChange{1, 0, 1});
        return std::optional<TextComparisonResult>(bogus);
    });
    select(0, 0);
    typeText(QStringLiteral("甲"));
    ASSERT_TRUE(started.tryAcquire(1, 30000));
    view().switchWorkspace(WorkspaceMode::ImageMarkup, false);
    // The switch returned while the search is still blocked, with its flag raised.
    EXPECT_TRUE(running.load()->load());
    gate.release();
    ASSERT_TRUE(finished.tryAcquire(1, 30000));

    view().switchWorkspace(WorkspaceMode::TextComparison, false);
    ASSERT_TRUE(started.tryAcquire(1, 30000));
    dialogs->quitAnswer = QuitAnswer::DontSave;
    window->close();
    EXPECT_EQ(quitRequests, 1);
    EXPECT_TRUE(running.load()->load());
    gate.release();
    ASSERT_TRUE(finished.tryAcquire(1, 30000));
    EXPECT_TRUE(gateOpened);
    ShellTest::settle();
    EXPECT_FALSE(session().result());
}

TEST_F(TextComparisonSearchTest, OnlyTheAnswerForTheTextsOfNowIsTaken)
{
    openDocument(heldOriginal, heldOriginal);
    recordFlags();
    std::vector<std::size_t> taken;
    QObject::connect(&session(), &TextComparisonSession::resultChanged, &session(), [&] {
        if (session().result())
            taken.push_back(session().result()->changes.empty() ? 0 : std::size_t(session().result()->changes.front().end));
    });
    select(0, 0);
    // Both searches end before the window hears of either: the first answer arrives after the
    // second keystroke, for texts that are gone, and must be dropped.
    session().setExecutor(std::make_shared<OffThreadComparisonExecutor>());
    typeText(QStringLiteral("甲乙"));
    ShellTest::settle();
    EXPECT_EQ(flaggedWhenRun, (std::vector<bool>{false, false}));
    EXPECT_EQ(taken, (std::vector<std::size_t>{2}));
    EXPECT_EQ(surface()->changes().front().end, 2);

    // Answers out of order: the newer search runs first, the older one after it.
    holdComparisons();
    typeText(QStringLiteral("丙丁"));
    held->run(1);
    held->run(0);
    EXPECT_EQ(taken, (std::vector<std::size_t>{2, 4}));
    EXPECT_EQ(surface()->changes().front().end, 4);
    EXPECT_EQ(flaggedWhenRun.back(), true);
}

TEST_F(TextComparisonSearchTest, AnExportRightAfterAKeystrokeWaitsAndHoldsThatKeystroke)
{
    const TestSupport::TemporaryHome home(directory.filePath(QStringLiteral("home")));
    const QDir desktop(directory.filePath(QStringLiteral("home/Desktop")));
    openHeld(heldOriginal, heldOriginal);
    typeText(QStringLiteral("甲"));
    surface()->confirmExportScope(TextComparisonSurface::ExportTarget::Word);
    // Nothing is written from the texts before the keystroke, and the window says why it waits.
    EXPECT_EQ(model().statusMessage(), QStringLiteral("正在对比文案，完成后导出…"));
    EXPECT_TRUE(desktop.entryList(QDir::Files).isEmpty());
    // Typing on: the export follows the texts as they stand when it is written.
    typeText(QStringLiteral("乙"));
    held->runAll();
    const QStringList files = desktop.entryList({QStringLiteral("*.docx")}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(model().statusMessage().startsWith(QStringLiteral("Word 已保存：")));
    // The package is stored, not deflated: its document's text can be read straight from it.
    // Both keystrokes are there, as one change.
    const QString bytes = QString::fromUtf8(TestSupport::readFile(desktop.filePath(files.front())));
    EXPECT_TRUE(bytes.contains(QStringLiteral(">甲乙</w:t>")));
    // What the header shows is what the file says.
    EXPECT_TRUE(bytes.contains(surface()->summaryLabel()->text().toHtmlEscaped()));
    EXPECT_TRUE(surface()->summaryLabel()->text().startsWith(QStringLiteral("1 处修改")));
}

TEST_F(TextComparisonSearchTest, AComparisonThatTakesAWhileShowsTheBusyMark)
{
    openHeld(heldOriginal, heldOriginal);
    // The kit's one busy mark, with the workspace's words.
    ASSERT_TRUE(surface()->busyMark()->inherits("BusyMark"));
    EXPECT_EQ(static_cast<BusyMark *>(surface()->busyMark())->text(), QStringLiteral("正在对比…"));
    EXPECT_FALSE(surface()->busyMark()->isVisible());
    typeText(QStringLiteral("甲"));
    // Not at once: a quick answer never makes the mark flicker.
    EXPECT_FALSE(surface()->busyMark()->isVisible());
    ASSERT_TRUE(TestSupport::waitUntil([this] { return surface()->busyMark()->isVisible(); }));
    // The strip does not claim "no changes" for texts not yet compared.
    EXPECT_EQ(surface()->stripEmptyLabel()->text(), QStringLiteral("正在对比…"));
    shot(QStringLiteral("surface-comparing"));
    held->runAll();
    EXPECT_FALSE(surface()->busyMark()->isVisible());
    EXPECT_EQ(surface()->changes().size(), 1u);
}
