#include "ShellInput.h"
#include "ShellTestSupport.h"
#include "ShellWindowFixture.h"

#include "platform/DecodeBudget.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QDir>

#include <optional>

namespace {

// 保存到桌面 in the real window, with the Desktop in a temporary home.
class DesktopSaveWindowTest : public ShellWindowTest {
protected:
    QTemporaryDir home;
    TestSupport::TemporaryHome temporaryHome{home.path()};
    // Holds the whole decode budget: a save started meanwhile waits at its first picture until
    // the test lets it go, so the window can be looked at mid-save under any scheduling.
    std::optional<DecodeBudget::Reservation> hold;

    void SetUp() override
    {
        ShellWindowTest::SetUp();
        showWindowWithWorkspaces();
        std::vector<ImageMarkupItem> items;
        for (int i = 0; i < 2; ++i) {
            ImageMarkupItem image = item(QStringLiteral("照片%1.png").arg(i + 1));
            image.image = ImageHandle(TestSupport::solidImage(40, 30, QColor(20, 90 * i, 200)));
            items.push_back(image);
        }
        model().setItems(items);
        model().setSelectedItemID(items.front().id);
        model().selectAllImageItems();
        view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
        QCoreApplication::processEvents();
    }

    void TearDown() override
    {
        hold.reset();
        // A save still running ends before the window goes.
        ShellTest::waitUntil([this] { return !model().isSavingImagesToDesktop(); });
        ShellWindowTest::TearDown();
    }

    QAbstractButton *saveButton()
    {
        return qobject_cast<QAbstractButton *>(view().headerItemWidget(HeaderToolbarItem::ImageExport));
    }

    qsizetype desktopFileCount() const
    {
        return QDir(home.filePath(QStringLiteral("Desktop"))).entryList(QDir::Files).size();
    }

    bool waitForSaveToEnd()
    {
        return ShellTest::waitUntil([this] { return !model().isSavingImagesToDesktop(); });
    }
};

} // namespace

TEST_F(DesktopSaveWindowTest, TheButtonSavesInTheBackgroundAndRestsUntilTheOutcome)
{
    QAbstractButton *button = saveButton();
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled());
    QStringList statuses;
    QObject::connect(&model(), &MarkupViewModel::statusMessageChanged, &model(),
            [&] { statuses << model().statusMessage(); });

    hold.emplace(DecodeBudget::limit());
    button->click(); // returns at once: the files are made on other threads
    EXPECT_TRUE(model().isSavingImagesToDesktop());
    EXPECT_EQ(view().statusLineText(), "正在保存 0/2 张图片到桌面…");
    EXPECT_FALSE(button->isEnabled());

    // Meanwhile the button, Ctrl+S and the tool keys: no second save, and the tool's status
    // gives way to the count and the outcome.
    button->click();
    ShellInput::keyClick(window->windowHandle(), Qt::Key_S, Qt::ControlModifier);
    ShellInput::keyClick(window->windowHandle(), Qt::Key_4);
    EXPECT_TRUE(view().statusLineText().startsWith("已切换工具：")) << view().statusLineText().toStdString();
    EXPECT_FALSE(saveButton()->isEnabled()) << "a status change does not give the button back";

    hold.reset();
    ASSERT_TRUE(waitForSaveToEnd());
    EXPECT_EQ(view().statusLineText(), "已保存 2 张图片到桌面");
    EXPECT_EQ(statuses.last(), "已保存 2 张图片到桌面");
    EXPECT_EQ(statuses.count("正在保存 0/2 张图片到桌面…"), 1) << "one save only";
    EXPECT_EQ(desktopFileCount(), 2);
    EXPECT_TRUE(saveButton()->isEnabled());
    for (const ImageMarkupItem &image : model().items())
        EXPECT_TRUE(image.savedURL);

    // Ctrl+S runs the same save.
    statuses.clear();
    ShellInput::keyClick(window->windowHandle(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(waitForSaveToEnd());
    ASSERT_FALSE(statuses.isEmpty());
    EXPECT_EQ(statuses.first(), "正在保存 0/2 张图片到桌面…");
    // Within the same second the files take the next free names, which the status then mentions.
    EXPECT_TRUE(statuses.last().startsWith("已保存 2 张图片到桌面")) << statuses.last().toStdString();
    EXPECT_EQ(desktopFileCount(), 4);
}

TEST_F(DesktopSaveWindowTest, ClosingDuringASaveWaitsForItThenAsks)
{
    hold.emplace(DecodeBudget::limit());
    saveButton()->click();
    dialogs->quitAnswer = QuitAnswer::DontSave;
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->close()); // asked twice: still one question afterwards
    EXPECT_TRUE(dialogs->quitPrompts.empty()) << "no question while the save runs";
    EXPECT_EQ(quitRequests, 0);

    hold.reset();
    ASSERT_TRUE(ShellTest::waitUntil([this] { return quitRequests > 0; }));
    EXPECT_EQ(dialogs->quitPrompts, (std::vector<QuitPrompt>{QuitPrompt::ImageSave}));
    EXPECT_EQ(desktopFileCount(), 2) << "the save ran to its end first";
    EXPECT_EQ(view().statusLineText(), "已保存 2 张图片到桌面");
}

TEST_F(DesktopSaveWindowTest, CancellingTheQuestionAfterTheSaveKeepsTheWindowAndSaveThenQuits)
{
    hold.emplace(DecodeBudget::limit());
    saveButton()->click();
    dialogs->quitAnswer = QuitAnswer::Cancel;
    EXPECT_FALSE(window->close());
    hold.reset();
    ASSERT_TRUE(ShellTest::waitUntil([this] { return !dialogs->quitPrompts.empty(); }));
    EXPECT_EQ(quitRequests, 0);
    EXPECT_FALSE(view().isTerminating());

    // The prompt's 保存到桌面 saves every selected image while it waits, then quits, as before.
    QDir(home.filePath(QStringLiteral("Desktop"))).removeRecursively();
    dialogs->quitAnswer = QuitAnswer::Save;
    EXPECT_FALSE(window->close());
    EXPECT_EQ(desktopFileCount(), 2);
    EXPECT_EQ(quitRequests, 1);
    EXPECT_TRUE(view().isTerminating());
}
