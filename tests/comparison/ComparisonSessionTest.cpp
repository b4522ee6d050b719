#include "ComparisonTestSupport.h"

#include "comparison/ImageComparisonSession.h"
#include "model/MarkupViewModel.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Answers the choosers from queues and logs every question with whether it had a parent.
class ScriptedDialogs : public ComparisonDialogs {
public:
    QStringList answers;
    QStringList *log = nullptr;

    std::optional<QString> chooseImage(const QString &, QWidget *parent) override { return take(parent); }
    std::optional<QString> chooseFolder(const QString &, QWidget *parent) override { return take(parent); }
    void showError(const QString &message, QWidget *) override { log->append(QStringLiteral("error ") + message); }
    void showBatchResult(const QString &title, const QString &, bool, QWidget *) override
    {
        log->append(QStringLiteral("result ") + title);
    }

private:
    std::optional<QString> take(QWidget *parent)
    {
        log->append(parent ? QStringLiteral("ask over a widget") : QStringLiteral("ask"));
        return answers.isEmpty() ? std::nullopt : std::optional<QString>(answers.takeFirst());
    }
};

// The session alone, with no widget anywhere: what it tells the window, and in which order.
class ComparisonSession : public ::testing::Test {
protected:
    ComparisonSession()
        : settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat)
        , model(settings)
    {
        auto scripted = std::make_unique<ScriptedDialogs>();
        scripted->log = &log;
        dialogs = scripted.get();
        session = std::make_unique<ImageComparisonSession>(model, std::move(scripted),
                                                           ImageComparisonSession::DialogParents{});
        using S = ImageComparisonSession;
        QObject::connect(session.get(), &S::setupPresentedChanged,
                         [this](bool up) { log.append(up ? "setup up" : "setup down"); });
        QObject::connect(session.get(), &S::batchPresentedChanged,
                         [this](bool up) { log.append(up ? "batch up" : "batch down"); });
        QObject::connect(session.get(), &S::comparisonPairsAdded,
                         [this](bool centre) { log.append(centre ? "added, centred" : "added"); });
    }
    QString image(const QString &name) { return ComparisonTest::writeImage(dir.filePath(name), 20, 20); }

    QTemporaryDir dir;
    QSettings settings;
    MarkupViewModel model;
    QStringList log;
    ScriptedDialogs *dialogs = nullptr;
    std::unique_ptr<ImageComparisonSession> session;
};

TEST_F(ComparisonSession, TheSetupAddsItsPairBeforeItClosesAndAnUndecodableFileKeepsTheSlot)
{
    session->presentComparisonSetup(false);
    session->commitComparisonSetup(); // nothing to commit yet
    const QString broken = TestSupport::writeFile(dir.filePath(QStringLiteral("x.png")), "no");
    dialogs->answers = {image(QStringLiteral("b.png")), broken, image(QStringLiteral("a.png"))};
    session->chooseComparisonImage(false);
    session->chooseComparisonImage(false);
    session->chooseComparisonImage(true);
    EXPECT_EQ(session->comparisonDraftBefore()->fileName, QStringLiteral("b.png"));
    EXPECT_FALSE(model.errorMessage());
    session->commitComparisonSetup();
    EXPECT_EQ(log, (QStringList{"setup up", "ask", "ask", "error 对比图片无法解析", "ask", "added", "setup down"}));
    ASSERT_EQ(model.comparisonPairs().size(), 1u);
    EXPECT_EQ(model.comparisonPairs()[0].after.fileName, QStringLiteral("a.png"));
}

TEST_F(ComparisonSession, ABatchRunCannotBeClosedAndReportsAfterTheSheetIsDown)
{
    ComparisonTest::writeImage(dir.filePath(QStringLiteral("b/1_old.png")), 20, 20);
    ComparisonTest::writeImage(dir.filePath(QStringLiteral("a/1_new.png")), 20, 20);
    session->presentBatchComparisonSheet();
    dialogs->answers = {dir.filePath(QStringLiteral("b")), dir.filePath(QStringLiteral("a"))};
    session->chooseBatchComparisonFolder(false);
    session->chooseBatchComparisonFolder(true);
    QSignalSpy finished(session.get(), &ImageComparisonSession::batchComparisonFinished);
    session->runBatchComparison();
    session->closeBatchComparisonSheet();
    EXPECT_TRUE(session->isBatchComparisonSheetPresented());
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    EXPECT_EQ(log, (QStringList{"batch up", "ask", "ask", "added, centred", "batch down", "result 批量添加完成"}));
    EXPECT_EQ(model.comparisonPairs().size(), 1u);
    EXPECT_FALSE(session->batchComparisonBeforeFolder());
}

TEST_F(ComparisonSession, GoingAwayDuringARunWaitsForItAndDropsItsResult)
{
    ComparisonTest::writeImage(dir.filePath(QStringLiteral("b/1_old.png")), 20, 20);
    ComparisonTest::writeImage(dir.filePath(QStringLiteral("a/1_new.png")), 20, 20);
    session->presentBatchComparisonSheet();
    dialogs->answers = {dir.filePath(QStringLiteral("b")), dir.filePath(QStringLiteral("a"))};
    session->chooseBatchComparisonFolder(false);
    session->chooseBatchComparisonFolder(true);
    session->runBatchComparison();
    session.reset();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(model.comparisonPairs().empty());
}

} // namespace
