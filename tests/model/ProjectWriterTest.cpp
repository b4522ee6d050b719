#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"
#include "support/ComparisonExecutors.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// A view model whose project writes wait for the test, in a project file holding "原文".
class ProjectWriter : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat};
    MarkupViewModel model{settings};
    std::shared_ptr<HeldComparisonExecutor> writer = std::make_shared<HeldComparisonExecutor>();
    QString project = dir.filePath(QStringLiteral("p.kivo"));

    void SetUp() override
    {
        model.setTextComparison(QStringLiteral("a.txt"), QStringLiteral("原文"));
        ASSERT_TRUE(model.saveProject(project));
        model.setProjectWriter(writer);
    }

    QString editedTextInFile() const { return editedTextIn(project); }
    static QString editedTextIn(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("(no file)");
        const auto decoded = MarkupProjectDocument::decode(file.readAll());
        const auto *document = std::get_if<MarkupProjectDocument>(&decoded);
        return document && document->textComparison ? document->textComparison->editedText : QStringLiteral("(unreadable)");
    }

    // An edit, and its autosave let go at once instead of after its half second.
    void editAndAutosave(const QString &text)
    {
        model.updateEditedComparisonText(text);
        letAutosaveGo();
    }

    void letAutosaveGo()
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

    // The project file replaced by a folder of its name: every write of it fails.
    void blockTheFile()
    {
        ASSERT_TRUE(QFile::remove(project));
        ASSERT_TRUE(QDir().mkpath(project));
    }
};

} // namespace

TEST_F(ProjectWriter, AnAutosaveIsWrittenByTheWriterAndTheLaterOfTwoStaysInTheFile)
{
    editAndAutosave(QStringLiteral("第一次"));
    ASSERT_EQ(writer->held(), 1u);
    EXPECT_EQ(editedTextInFile(), QStringLiteral("原文")) << "written before the writer ran it";
    editAndAutosave(QStringLiteral("第二次"));
    ASSERT_EQ(writer->held(), 2u);

    // The later write ends first; the earlier one, ending after it, leaves the file as it is.
    writer->run(1);
    EXPECT_EQ(editedTextInFile(), QStringLiteral("第二次"));
    writer->run(0);
    EXPECT_EQ(editedTextInFile(), QStringLiteral("第二次"));
    EXPECT_FALSE(model.errorMessage());
}

// Opening another project or a new source needs the file written before it goes on: a write still
// held is overtaken by one on the calling thread, and the held one, run later, changes nothing.
TEST_F(ProjectWriter, LeavingTheProjectWritesWhatIsStillOnTheWriter)
{
    editAndAutosave(QStringLiteral("离开前的修改"));
    ASSERT_EQ(writer->held(), 1u);
    ASSERT_TRUE(model.leaveProjectFile());
    EXPECT_EQ(editedTextInFile(), QStringLiteral("离开前的修改"));
    model.updateEditedComparisonText(QStringLiteral("不属于项目的修改"));
    writer->runAll();
    EXPECT_EQ(editedTextInFile(), QStringLiteral("离开前的修改"));
    EXPECT_FALSE(model.errorMessage());
}

TEST_F(ProjectWriter, AFailedAutosaveShowsItsErrorWhenItEndsAndKeepsTheWaitersFromGoingOn)
{
    blockTheFile();
    editAndAutosave(QStringLiteral("写不进去"));
    std::vector<bool> outcomes;
    model.finishProjectWrites([&](bool written) { outcomes.push_back(written); });
    EXPECT_TRUE(outcomes.empty()) << "told before the write ended";
    EXPECT_FALSE(model.errorMessage());

    writer->runAll();
    EXPECT_EQ(outcomes, std::vector<bool>{false});
    EXPECT_EQ(model.errorMessage(), "无法写入文件：p.kivo（" + QFileInfo(project).absolutePath() + "：同名文件夹已存在）");
    // With nothing under way, a waiter is told at once.
    model.finishProjectWrites([&](bool written) { outcomes.push_back(written); });
    EXPECT_EQ(outcomes, (std::vector<bool>{false, true}));
}

// A waiter is told once the writes under way and the autosave still due have all reached the file.
TEST_F(ProjectWriter, WaitersAreToldOnceEveryWriteReachedTheFile)
{
    editAndAutosave(QStringLiteral("正在写"));
    model.updateEditedComparisonText(QStringLiteral("还没写"));
    ASSERT_TRUE(model.autosaveTimer()->isActive());
    int told = 0;
    model.finishProjectWrites([&](bool written) { told += written ? 1 : 100; });
    EXPECT_FALSE(model.autosaveTimer()->isActive());
    ASSERT_EQ(writer->held(), 2u);
    writer->run(0);
    EXPECT_EQ(told, 0);
    writer->run(0);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(editedTextInFile(), QStringLiteral("还没写"));
}

TEST_F(ProjectWriter, ASaveInTheBackgroundNamesTheFileOnceWrittenAndKeepsTheEditsMadeMeanwhile)
{
    const QString other = dir.filePath(QStringLiteral("另存.kivo"));
    model.setStatusMessage(QString());
    model.startSavingProject(other);
    ASSERT_EQ(writer->held(), 1u);
    EXPECT_EQ(model.projectURL(), project);
    // Said at once, while the file is written.
    EXPECT_EQ(model.statusMessage(), QStringLiteral("正在保存项目…"));
    // An edit while the file is written still goes to the project it is in now.
    model.updateEditedComparisonText(QStringLiteral("保存时的修改"));
    writer->run(0);
    EXPECT_EQ(model.projectURL(), other);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("项目已保存：另存.kivo"));
    letAutosaveGo();
    writer->runAll();
    EXPECT_EQ(editedTextIn(other), QStringLiteral("保存时的修改"));

    // A new source that arrives while a save is written keeps its own place: no file.
    model.startSavingProject(dir.filePath(QStringLiteral("第三.kivo")));
    model.setTextComparison(QStringLiteral("新.txt"), QStringLiteral("新的原文"));
    writer->runAll();
    EXPECT_FALSE(model.projectURL());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("第三.kivo"))));

    // A failure shows its error, names no file, and takes back the word that it was saving.
    blockTheFile();
    model.setStatusMessage(QString());
    model.startSavingProject(project);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("正在保存项目…"));
    writer->runAll();
    EXPECT_FALSE(model.projectURL());
    EXPECT_TRUE(model.statusMessage().isEmpty());
    EXPECT_TRUE(model.errorMessage().has_value());
}
