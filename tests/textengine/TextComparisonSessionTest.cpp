#include "model/MarkupViewModel.h"
#include "support/ComparisonExecutors.h"
#include "textengine/TextComparisonExecutor.h"
#include "textengine/TextComparisonSession.h"

#include <QSemaphore>

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct SessionFixture {
    QTemporaryDir directory;
    QSettings settings{directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat};
    MarkupViewModel model{settings};
    std::shared_ptr<HeldComparisonExecutor> held = std::make_shared<HeldComparisonExecutor>();
    TextComparisonSession session{model, held};
};

} // namespace

TEST(TextComparisonSession, SearchesOnlyWhileWantedAndKeepsTheResultAcrossMarkups)
{
    SessionFixture f;
    f.model.setTextComparison(QStringLiteral("s.txt"), QStringLiteral("原文"));
    // Not shown: nothing is searched until the workspace shows or an export asks.
    EXPECT_EQ(f.held->held(), 0u);
    f.session.setActive(true);
    ASSERT_EQ(f.held->held(), 1u);
    EXPECT_TRUE(f.session.isComparing());
    f.held->runAll();
    EXPECT_FALSE(f.session.isComparing());
    ASSERT_TRUE(f.session.resultFor(QStringLiteral("原文"), QStringLiteral("原文")));
    EXPECT_FALSE(f.session.resultFor(QStringLiteral("原文"), QStringLiteral("原文改")));

    const auto before = f.session.result();
    ASSERT_TRUE(f.model.addTextMarkupAnnotation(0, 1));
    EXPECT_EQ(f.held->held(), 0u);
    EXPECT_EQ(f.session.result(), before);

    // Away from the workspace an export still gets its comparison, and the search stops after it.
    f.session.setActive(false);
    f.model.updateEditedComparisonText(QStringLiteral("原文改"));
    EXPECT_EQ(f.held->held(), 0u);
    std::vector<qsizetype> exported;
    EXPECT_FALSE(f.session.whenCompared([&](const TextComparisonResult &r) { exported.push_back(qsizetype(r.changes.size())); }));
    ASSERT_EQ(f.held->held(), 1u);
    f.held->runAll();
    EXPECT_EQ(exported, (std::vector<qsizetype>{1}));
    EXPECT_FALSE(f.session.isComparing());
    // Known now: the next export runs at once.
    EXPECT_TRUE(f.session.whenCompared([&](const TextComparisonResult &r) { exported.push_back(qsizetype(r.changes.size())); }));
    EXPECT_EQ(exported.size(), 2u);
}

TEST(TextComparisonSession, AFailedSearchOrAVanishedDocumentEndsTheWait)
{
    SessionFixture f;
    f.session.setActive(true);
    f.model.setTextComparison(QStringLiteral("s.txt"), QStringLiteral("原文"));
    f.session.setSearch([](const QString &, const QString &, const std::atomic<bool> *) -> std::optional<TextComparisonResult> {
        throw std::bad_alloc();
    });
    f.model.updateEditedComparisonText(QStringLiteral("原文改"));
    int calls = 0;
    f.session.whenCompared([&](const TextComparisonResult &) { ++calls; });
    f.held->runAll();
    // No busy state forever, no export of a result that never came, and the user is told.
    EXPECT_FALSE(f.session.isComparing());
    EXPECT_FALSE(f.session.result());
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(f.model.errorMessage(), QStringLiteral("文案对比未能完成，无法导出"));

    // An export waiting when the document goes gets an empty result (and fails on its own terms).
    f.session.setSearch([](const QString &o, const QString &e, const std::atomic<bool> *) {
        return std::optional<TextComparisonResult>(comparisonOf(TextComparisonState(QString(), o, e, {})));
    });
    f.model.updateEditedComparisonText(QStringLiteral("原文再改"));
    TextComparisonResult received;
    received.alignedOriginal = QStringLiteral("x");
    f.session.whenCompared([&](const TextComparisonResult &r) { received = r; });
    f.model.restoreTextComparisonFromProject(std::nullopt);
    EXPECT_EQ(received, TextComparisonResult{});
    f.held->runAll();
    EXPECT_FALSE(f.session.isComparing());
}

TEST(TextComparisonSession, UndoingBackToTheLastComparedTextsSearchesNothing)
{
    SessionFixture f;
    f.session.setActive(true);
    f.model.setTextComparison(QStringLiteral("s.txt"), QStringLiteral("很长的原文"));
    f.held->runAll();
    const auto compared = f.session.result();
    ASSERT_TRUE(compared);
    f.model.updateEditedComparisonText(QStringLiteral("很长的原文改"));
    EXPECT_FALSE(f.session.result());
    ASSERT_EQ(f.held->held(), 1u);
    f.model.undoTextComparisonEdit();
    // The keystroke's search is moot and the earlier result stands at once.
    EXPECT_EQ(f.session.result(), compared);
    EXPECT_FALSE(f.session.isComparing());
    f.held->runAll();
    EXPECT_EQ(f.session.result(), compared);
}

TEST(TextComparisonExecutors, AShortSearchNeverQueuesBehindOneStillWindingDown)
{
    // The first job stands for a long search that has not yet seen its flag; the second must
    // finish meanwhile. The bounds are only reached on a fault.
    const auto executor = TextComparisonExecutors::threaded();
    QSemaphore longStarted, longGate, shortDone, longDone;
    executor->start([&] {
        longStarted.release();
        longGate.tryAcquire(1, 30000);
        longDone.release();
    });
    ASSERT_TRUE(longStarted.tryAcquire(1, 30000));
    executor->start([&] { shortDone.release(); });
    EXPECT_TRUE(shortDone.tryAcquire(1, 30000));
    EXPECT_EQ(longDone.available(), 0);
    longGate.release();
    ASSERT_TRUE(longDone.tryAcquire(1, 30000));
}
