// Quitting with an annotated video frame, through the real window over a video that needs no
// decoding.
#include "VideoHookupFixture.h"
#include "video/FakeVideoMedia.h"

#include "video/VideoFrameAnnotationStore.h"

#include <QDir>

namespace {

using VideoTestMedia::waitUntil;

class VideoQuitTest : public VideoHookupTest {
protected:
    std::unique_ptr<VideoFrameAnnotationStore> makeStore() override
    {
        return std::make_unique<VideoFrameAnnotationStore>(
            [source = std::make_shared<FakeFrameSource>(25, 100)](const QString &) {
                return std::optional<VideoAsset>(fakeAsset(source, 4.0, 25));
            },
            std::make_shared<ManualClock>());
    }
};

TEST_F(VideoQuitTest, QuittingAsksAboutTheTextThenTheImagesThenTheVideoFrame)
{
    int panels = 0;
    view().hooks().presentSaveProjectPanel = [&] {
        ++panels;
        return true;
    };
    addImages(1);
    model().setTextComparison(QStringLiteral("a.txt"), QStringLiteral("原文"));
    model().updateEditedComparisonText(QStringLiteral("原文改过"));
    showWindow();
    ASSERT_TRUE(importAndWait(QStringLiteral("/v/clip.mov")));
    addRectangle();

    // 不保存 to the text and the images, then 取消 for the frame: the window stays as it was.
    dialogs->quitAnswer = QuitAnswer::DontSave;
    frameAnswer = FrameLeavingAnswer::Cancel;
    EXPECT_FALSE(window->close());
    EXPECT_EQ(dialogs->quitPrompts, (std::vector<QuitPrompt>{QuitPrompt::ProjectSave, QuitPrompt::ImageSave}));
    EXPECT_EQ(frameQuestions, 1);
    EXPECT_EQ(quitRequests, 0);
    EXPECT_EQ(video().annotations().size(), 1u);
    EXPECT_EQ(model().items().size(), 1u);

    // 取消 on the first question asks nothing more.
    dialogs->quitPrompts.clear();
    dialogs->quitAnswer = QuitAnswer::Cancel;
    EXPECT_FALSE(window->close());
    EXPECT_EQ(dialogs->quitPrompts, std::vector<QuitPrompt>{QuitPrompt::ProjectSave});
    EXPECT_EQ(frameQuestions, 1);
    EXPECT_EQ(quitRequests, 0);

    dialogs->quitAnswer = QuitAnswer::DontSave;
    frameAnswer = FrameLeavingAnswer::DontSave;
    EXPECT_FALSE(window->close());
    EXPECT_EQ(frameQuestions, 2);
    EXPECT_EQ(quitRequests, 1);
    EXPECT_EQ(panels, 0);
}

// 保存当前帧 quits only once the frame is on the Desktop; a save that fails keeps the window and
// says why in the status line.
TEST_F(VideoQuitTest, SavingTheFrameAtQuitWritesItBeforeQuitting)
{
    showWindow();
    ASSERT_TRUE(importAndWait(QStringLiteral("/v/clip.mov")));
    addRectangle();
    frameAnswer = FrameLeavingAnswer::SaveFrame;
    hookup->session().setFrameWriter([](const VideoFrameSave::Job &job) {
        return VideoFrameSave::Outcome{std::nullopt, QStringLiteral("无法写入文件：") + job.fileName};
    });
    ASSERT_TRUE(finish([&] { EXPECT_FALSE(window->close()); }));
    EXPECT_EQ(frameQuestions, 1);
    ASSERT_TRUE(shownError());
    EXPECT_EQ(view().statusLineText(), *shownError());
    EXPECT_EQ(video().annotations().size(), 1u);
    EXPECT_EQ(quitRequests, 0);

    hookup->session().setFrameWriter(VideoFrameSave::write);
    EXPECT_FALSE(window->close());
    ASSERT_TRUE(waitUntil([&] { return quitRequests == 1; }, 30000));
    EXPECT_EQ(frameQuestions, 2);
    EXPECT_EQ(QDir(desktop()).entryList(QDir::Files).size(), 1);
}

// A video status tells of one moment: a quit's questions, a change of the frame or its
// annotations, the question before the frame is left and leaving the workspace end it. The status
// line then reads 就绪, unless another part of the window has written there since.
TEST_F(VideoQuitTest, VideoStatusesEndWithTheirMoment)
{
    model().setTextComparison(QStringLiteral("a.txt"), QStringLiteral("原文"));
    model().updateEditedComparisonText(QStringLiteral("原文改过"));
    showWindow();
    ASSERT_TRUE(importAndWait(QStringLiteral("/v/clip.mov")));
    EXPECT_EQ(view().statusLineText(), "已导入视频：clip.mov");
    dialogs->quitAnswer = QuitAnswer::Cancel;
    EXPECT_FALSE(window->close());
    EXPECT_EQ(dialogs->quitPrompts, std::vector<QuitPrompt>{QuitPrompt::ProjectSave});
    EXPECT_EQ(view().statusLineText(), "就绪");

    // Saved, then drawn on again: the frame on screen is no longer the one saved.
    addRectangle();
    ASSERT_TRUE(finish([&] { hookup->session().saveCurrentVideoFrame(); }));
    EXPECT_TRUE(view().statusLineText().startsWith(QStringLiteral("当前帧已保存：")));
    addRectangle();
    EXPECT_EQ(view().statusLineText(), "就绪");

    // The question before the frame is left (取消 here).
    EXPECT_TRUE(hookup->session().deleteVideoFrameSelection());
    EXPECT_EQ(view().statusLineText(), "请先选中要删除的标注");
    frameAnswer = FrameLeavingAnswer::Cancel;
    hookup->session().stepVideoFrame(1);
    EXPECT_EQ(frameQuestions, 1);
    EXPECT_EQ(view().statusLineText(), "就绪");

    // Leaving the workspace; what another part of the window wrote since stays.
    hookup->session().deleteVideoFrameSelection();
    view().setWorkspaceMode(WorkspaceMode::Launcher);
    EXPECT_EQ(view().statusLineText(), "就绪");
    view().setWorkspaceMode(WorkspaceMode::VideoFrameAnnotation);
    hookup->session().deleteVideoFrameSelection();
    model().setStatusMessage(QStringLiteral("已打开项目"));
    view().setWorkspaceMode(WorkspaceMode::Launcher);
    EXPECT_EQ(view().statusLineText(), "已打开项目");
}

} // namespace
