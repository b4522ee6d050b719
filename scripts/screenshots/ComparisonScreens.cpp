#include "ShotFolder.h"

#include "comparison/ComparisonTestSupport.h"

#include "comparison/widgets/BatchComparisonSheet.h"
#include "comparison/widgets/ComparisonSetupSheet.h"
#include "comparison/widgets/ModalComparisonDialogs.h"
#include "shell/ImageComparisonHookup.h"
#include "shell/ShellTestSupport.h"
#include "shell/ShellWindowFixture.h"

#include <QDir>
#include <QMessageBox>
#include <QTimer>

namespace {

// Answers the choosers from a queue; the alerts are grabbed while they are up, then closed.
class ShotDialogs : public ModalComparisonDialogs {
public:
    std::vector<QString> images;
    std::vector<QString> folders;
    std::function<void(const QString &)> grab;

    std::optional<QString> chooseImage(const QString &, QWidget *) override { return next(images); }
    std::optional<QString> chooseFolder(const QString &, QWidget *) override { return next(folders); }
    void showBatchResult(const QString &title, const QString &message, bool isWarning, QWidget *parent) override
    {
        QTimer::singleShot(200, [this, isWarning] {
            grab(isWarning ? QStringLiteral("alert-warning") : QStringLiteral("alert-information"));
            if (QWidget *box = QApplication::activeModalWidget())
                box->close();
        });
        ModalComparisonDialogs::showBatchResult(title, message, isWarning, parent);
    }

private:
    static std::optional<QString> next(std::vector<QString> &queue)
    {
        if (queue.empty())
            return std::nullopt;
        QString path = queue.front();
        queue.erase(queue.begin());
        return path;
    }
};

// Pictures of the comparison workspace, its sheets and its alerts, for a person to look at.
TEST_F(ShellWindowTest, Comparison)
{
    const QString folder = shotFolder();
    const auto save = [&](QWidget *widget, const QString &name) {
        ShellTest::spin(80);
        EXPECT_TRUE(widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png"))));
    };
    auto owned = std::make_unique<ShotDialogs>();
    ShotDialogs *shots = owned.get();
    shots->grab = [&](const QString &name) {
        if (QWidget *modal = QApplication::activeModalWidget())
            save(modal, name);
    };
    auto *hookup = new ImageComparisonHookup(view(), std::move(owned));
    hookup->install(view().hooks());
    view().reloadWorkspace();
    window->resize(1080, 680);
    window->show();
    ShellTest::spin(100);

    view().switchWorkspace(WorkspaceMode::ImageComparison, false);
    save(window.get(), QStringLiteral("empty-state"));

    hookup->session().presentComparisonSetup(false);
    save(hookup->setupSheet(), QStringLiteral("setup-empty"));
    const QString dir = QDir(folder).filePath(QStringLiteral("inputs"));
    shots->images = {ComparisonTest::writeImage(dir + QStringLiteral("/海报-修改前.png"), 800, 500, QColor(0xE1, 0x1D, 0x48)),
                     ComparisonTest::writeImage(dir + QStringLiteral("/海报-修改后.png"), 400, 250, QColor(0x25, 0x63, 0xEB))};
    hookup->session().chooseComparisonImage(false);
    hookup->session().chooseComparisonImage(true);
    save(hookup->setupSheet(), QStringLiteral("setup-filled"));
    hookup->session().commitComparisonSetup();
    save(window.get(), QStringLiteral("smaller-after-centred"));

    std::vector<ComparisonPairState> pairs;
    for (int i = 0; i < 3; ++i)
        pairs.push_back(ComparisonTest::pair(QStringLiteral("banner-%1-before.png").arg(i + 1), {1200, 800}, {1200, 800},
                                             QColor(0xF5, 0x9E, 0x0B), QColor(0x10, 0xB9, 0x81)));
    model().setComparisonPairs(pairs);
    model().setSelectedComparisonPairID(pairs[1].id);
    view().setComparisonFraction(0.5);
    save(window.get(), QStringLiteral("three-pairs"));

    model().importImages({ComparisonTest::writeImage(dir + QStringLiteral("/当前截图.png"), 640, 400, QColor(0x7C, 0x3A, 0xED))},
                         true);
    view().hooks().presentComparisonSetup(true);
    save(hookup->setupSheet(), QStringLiteral("setup-current-image"));
    hookup->session().closeComparisonSetup();

    ComparisonTest::writeImage(dir + QStringLiteral("/b/1_old.png"), 40, 40);
    ComparisonTest::writeImage(dir + QStringLiteral("/a/1_new.png"), 40, 40);
    ComparisonTest::writeImage(dir + QStringLiteral("/b/2_old.png"), 40, 40);
    ComparisonTest::writeImage(dir + QStringLiteral("/a/3_new.png"), 40, 40);
    hookup->session().presentBatchComparisonSheet();
    shots->folders = {dir + QStringLiteral("/b"), dir + QStringLiteral("/a"), dir + QStringLiteral("/b"),
                      dir + QStringLiteral("/inputs-none")};
    hookup->session().chooseBatchComparisonFolder(false);
    save(hookup->batchSheet(), QStringLiteral("batch-one-folder"));
    hookup->session().chooseBatchComparisonFolder(true);
    hookup->session().runBatchComparison();
    ShellTest::waitUntil([&] { return !hookup->session().isRunningBatchComparison(); });
    ShellTest::spin(400);
    hookup->session().presentBatchComparisonSheet();
    hookup->session().chooseBatchComparisonFolder(false);
    hookup->session().chooseBatchComparisonFolder(true);
    hookup->session().runBatchComparison();
    ShellTest::waitUntil([&] { return !hookup->session().isRunningBatchComparison(); });
    ShellTest::spin(400);
}

} // namespace
