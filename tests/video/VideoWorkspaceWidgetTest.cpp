#include "shell/VideoHookupFixture.h"

#include "FakeVideoMedia.h"
#include "markup/AnnotationRenderer.h"

#include "canvas/CanvasFrameSource.h"
#include "canvas/CanvasInputWidget.h"
#include "canvas/CanvasSurface.h"
#include "canvas/ToolColumn.h"
#include "shell/ShellInput.h"
#include "video/VideoFrameAnnotationStore.h"
#include "video/widgets/ModalVideoFrameDialogs.h"
#include "video/widgets/VideoFrameAnnotationWorkspace.h"
#include "video/widgets/VideoScrubber.h"
#include "video/widgets/VideoTransportPanel.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSemaphore>
#include <QSignalSpy>

namespace {

using namespace VideoTestMedia;

class VideoWorkspaceWidget : public VideoHookupTest {
protected:
    VideoFrameAnnotationWorkspace *workspace() {
        // The window's current content: a replaced workspace lingers hidden until the event loop deletes it.
        QWidget *content = view().workspaceContentWidget();
        if (auto *own = qobject_cast<VideoFrameAnnotationWorkspace *>(content))
            return own;
        return content ? content->findChild<VideoFrameAnnotationWorkspace *>() : nullptr;
    }
    VideoTransportPanel *panel() { return workspace()->transportPanel(); }
    QWindow *handle() { return window->windowHandle(); }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        ShellInput::keyClick(handle(), key, modifiers);
        QCoreApplication::processEvents();
    }
    void enter()
    {
        view().setWorkspaceMode(WorkspaceMode::VideoFrameAnnotation);
        QCoreApplication::processEvents();
    }
};

TEST_F(VideoWorkspaceWidget, ToolColumnFollowsTheUsersOrderAndLeavesCropBehind)
{
    using T = MarkupTool;
    video().setToolOrder({T::Brush, T::Crop, T::Text, T::Select, T::Eyedropper, T::Arrow, T::Rectangle});
    video().setSelectedTool(T::Crop);
    showWindow();
    enter();
    ASSERT_TRUE(workspace());
    EXPECT_EQ(video().selectedTool(), T::Arrow);
    std::vector<T> shown;
    QStringList badges;
    for (ToolColumnButton *button : workspace()->toolButtons()) {
        shown.push_back(button->tool());
        badges << button->badgeText();
        EXPECT_EQ(button->isCurrent(), button->tool() == T::Arrow);
    }
    EXPECT_EQ(shown, (std::vector<T>{T::Brush, T::Text, T::Select, T::Arrow, T::Rectangle}));
    EXPECT_EQ(badges, (QStringList{"1", "2", "3", "4", "5"}));
    // A click picks the tool and drops a shape being drawn.
    video().setDraftAnnotation(MarkupAnnotation());
    workspace()->toolButtons()[1]->click();
    EXPECT_EQ(video().selectedTool(), T::Text);
    EXPECT_FALSE(video().draftAnnotation());
    // Digits pick by the same numbers.
    key(Qt::Key_5);
    EXPECT_EQ(video().selectedTool(), T::Rectangle);
    EXPECT_TRUE(workspace()->toolButtons()[4]->isCurrent());
}

TEST_F(VideoWorkspaceWidget, KeysActOnTheFrame)
{
    REQUIRE_FFMPEG();
    showWindow();
    ASSERT_TRUE(importAndWait(stripes("keys.mp4", "25", 1)));
    addRectangle();
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(video().selectedAnnotationCount(), 1);
    key(Qt::Key_C, Qt::ControlModifier);
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(video().annotations().size(), 2u);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(video().annotations().size(), 1u);
    video().setSelectedAnnotationID(video().annotations().front().id);
    key(Qt::Key_Backspace);
    EXPECT_TRUE(video().annotations().empty());

    addRectangle();
    confirmAnswer = false;
    key(Qt::Key_Z, Qt::ShiftModifier);
    EXPECT_EQ(confirmations, 1);
    EXPECT_EQ(video().annotations().size(), 1u);

    video().setZoom(2);
    view().setPanOffset(QSizeF(40, -20));
    store().togglePlayback();
    key(Qt::Key_Escape);
    EXPECT_FALSE(store().isPlaying());
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
    EXPECT_EQ(workspace()->panOffset(), QSizeF(0, 0));
    EXPECT_EQ(video().zoom(), 2);
}

TEST_F(VideoWorkspaceWidget, TransportFollowsTheStore)
{
    REQUIRE_FFMPEG();
    showWindow();
    enter();
    VideoTransportPanel *p = panel();
    for (QWidget *control : std::initializer_list<QWidget *>{p->previousButton(), p->playButton(), p->nextButton(),
                                                             p->scrubber(), p->clearButton(), p->saveButton()})
        EXPECT_FALSE(control->isEnabled());
    EXPECT_TRUE(p->importButton()->isEnabled());
    EXPECT_EQ(p->clearButton()->faceOpacity(), 0.45);
    EXPECT_EQ(p->fileNameLabel()->text(), "未导入视频");
    EXPECT_EQ(p->statusLabel()->text(), store().statusText());
    EXPECT_EQ(p->scrubber()->upper(), 0);

    const QString clip = stripes("counter.mp4", "30", 10);
    ASSERT_TRUE(finish([&] {
        hookup->session().importVideo(clip);
        // The import rebuilt nothing: the same panel shows the loading state, with the kit's one
        // busy mark.
        EXPECT_TRUE(panel()->spinner()->isVisible());
        EXPECT_TRUE(panel()->spinner()->inherits("BusyMark"));
        EXPECT_FALSE(panel()->playButton()->isEnabled());
    }));
    p = panel();
    EXPECT_FALSE(p->spinner()->isVisible());
    EXPECT_EQ(p->counter()->text(), "1/300 帧 · 00:00:00:00");
    EXPECT_EQ(p->scrubber()->upper(), 299);
    EXPECT_TRUE(p->playButton()->isEnabled());
    EXPECT_TRUE(p->saveButton()->isEnabled());
    EXPECT_EQ(p->saveButton()->faceOpacity(), 1);
    EXPECT_FALSE(p->clearButton()->isEnabled());
    EXPECT_EQ(p->fileNameLabel()->text(), "counter.mp4");
    addRectangle();
    EXPECT_TRUE(p->clearButton()->isEnabled());

    // Play leaves the annotated frame: asked first, and 取消 stays on it.
    p->playButton()->click();
    EXPECT_EQ(frameQuestions, 1);
    EXPECT_FALSE(store().isPlaying());
    EXPECT_EQ(video().annotations().size(), 1u);
    // 不保存: the pictures play without the annotations.
    frameAnswer = FrameLeavingAnswer::DontSave;
    p->playButton()->click();
    EXPECT_EQ(frameQuestions, 2);
    EXPECT_TRUE(store().isPlaying());
    EXPECT_TRUE(video().annotations().empty());
    EXPECT_EQ(p->playButton()->face().symbol, "pause.fill");
    EXPECT_EQ(p->playButton()->toolTip(), "暂停预览");
    addRectangle(); // drawn while it plays
    // A press on the timeline pauses and previews that place; the release seeks it exactly.
    VideoScrubber *scrubber = p->scrubber();
    const QPoint middle(scrubber->width() / 2, 17);
    ShellInput::mouse(scrubber, QEvent::MouseButtonPress, middle);
    EXPECT_FALSE(store().isPlaying());
    const int expected = int(VideoScrubber::positionAt(middle.x(), scrubber->width(), 0, 299));
    EXPECT_EQ(store().currentFrameIndex(), expected);
    // What was drawn while it played is on the picture it stopped on, so the release asks about it.
    ASSERT_TRUE(finish([&] { ShellInput::mouse(scrubber, QEvent::MouseButtonRelease, middle); }));
    EXPECT_EQ(frameQuestions, 3);
    EXPECT_EQ(stripeNumber(video().image().image()), expected);
    EXPECT_TRUE(video().annotations().empty());
}

TEST_F(VideoWorkspaceWidget, CanvasShowsThePausedPictureAgainAfterComingBack)
{
    REQUIRE_FFMPEG();
    showWindow();
    ASSERT_TRUE(importAndWait(stripes("back.mp4", "25", 2)));
    ASSERT_TRUE(finish([&] { hookup->session().seekVideoFrame(5); })); // columns 0 and 2 white, 1 black
    ASSERT_TRUE(waitUntil([&] { return stripeNumber(hookup->frameSource()->currentFrame()) == 5; }));
    view().setWorkspaceMode(WorkspaceMode::Launcher);
    enter();
    CanvasSurface *surface = workspace()->surface();
    ASSERT_TRUE(surface->isVisible());
    surface->flushPendingChanges();
    const QImage shot = surface->grab().toImage();
    const QPointF origin = surface->canvasOrigin();
    const double scale = surface->canvasSize().width() / 96;
    auto sample = [&](double px) {
        return QColor(shot.pixel(QPointF(origin + QPointF(px * scale, 24 * scale)).toPoint())).lightness();
    };
    EXPECT_GT(sample(4), 200);
    EXPECT_LT(sample(12), 60);
    EXPECT_GT(sample(20), 200);
}

// The real window over real clips, with the playback clock in the test's hand and the load of any
// file named "held…" waiting until the test lets it go.
class VideoDrawing : public VideoWorkspaceWidget {
protected:
    std::unique_ptr<VideoFrameAnnotationStore> makeStore() override
    {
        return std::make_unique<VideoFrameAnnotationStore>(
            [gate = gate](const QString &path) {
                if (QFileInfo(path).fileName().startsWith(QStringLiteral("held")))
                    gate->tryAcquire(1, 30000);
                return VideoAsset::load(path);
            },
            clock);
    }

    void TearDown() override
    {
        gate->release(100);
        VideoWorkspaceWidget::TearDown();
    }

    // A drag on the canvas between two points given in units of the picture, as the mouse makes it.
    void dragOnCanvas(QPointF from, QPointF to)
    {
        CanvasSurface *surface = workspace()->surface();
        QWidget *input = surface->inputWidget();
        const QSizeF size = surface->canvasSize();
        auto at = [&](QPointF unit) {
            const QPointF canvas(unit.x() * size.width(), unit.y() * size.height());
            return input->mapFrom(surface, surface->widgetPoint(canvas).toPoint());
        };
        ShellInput::mouse(input, QEvent::MouseButtonPress, at(from));
        for (int i = 1; i <= 4; ++i)
            ShellInput::mouse(input, QEvent::MouseMove, at(from + (to - from) * (i / 4.0)));
        ShellInput::mouse(input, QEvent::MouseButtonRelease, at(to));
        QCoreApplication::processEvents();
    }

    // Playback goes on by `frames` pictures of a 25 fps clip, as the decoder delivers them.
    void play(int frames)
    {
        VideoPlayer *player = store().player();
        for (int i = 0; i < frames; ++i) {
            ASSERT_TRUE(player->waitUntilIdle(5000));
            clock->time += 0.04;
            player->presentDueFrames();
        }
    }

    // Frame `index` of the clip decoded on its own, with the annotations drawn over it.
    static QImage expectedPicture(const QString &clip, int index, const std::vector<MarkupAnnotation> &annotations)
    {
        VideoFrameAnnotationStore alone;
        std::optional<VideoFrameSnapshot> frame;
        bool done = false;
        alone.loadVideo(clip, [&](std::optional<VideoFrameSnapshot>) {
            alone.seek(index, [&](std::optional<VideoFrameSnapshot> s) {
                frame = std::move(s);
                done = true;
            });
        });
        EXPECT_TRUE(waitUntil([&] { return done; }));
        if (!frame || frame->frameIndex != index)
            return {};
        return AnnotationRenderer::renderedBitmap(frame->image, annotations).value_or(QImage());
    }

    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<QSemaphore> gate = std::make_shared<QSemaphore>();
};

// A stroke begun while the video plays stops it on the picture shown, and that picture, with the
// stroke, is what the save writes; a paste from the keyboard does the same.
TEST_F(VideoDrawing, AStrokeDuringPlaybackStaysOnThePictureItWasMadeOn)
{
    REQUIRE_FFMPEG();
    showWindow();
    const QString clip = stripes("drawn-playing.mp4", "25", 4);
    ASSERT_TRUE(importAndWait(clip));
    hookup->session().toggleVideoPlayback();
    ASSERT_TRUE(store().isPlaying());
    play(10);
    const int shown = stripeNumber(store().player()->currentFrame());
    ASSERT_GT(shown, 0);

    video().setSelectedTool(MarkupTool::Brush);
    dragOnCanvas({0.1, 0.1}, {0.4, 0.3});
    EXPECT_FALSE(store().isPlaying());
    ASSERT_EQ(video().annotations().size(), 1u);
    EXPECT_EQ(stripeNumber(video().image().image()), shown);
    play(10); // a playing preview would move on here
    EXPECT_EQ(stripeNumber(store().player()->currentFrame()), shown);

    ASSERT_TRUE(finish([&] { hookup->session().saveCurrentVideoFrame(); }));
    const QStringList saved = QDir(desktop()).entryList(QDir::Files);
    ASSERT_EQ(saved.size(), 1);
    const QString frameName = VideoFrameAnnotationStore::timecode(shown, 25).replace(':', '-') + QLatin1Char('-')
        + QString::number(shown);
    EXPECT_TRUE(saved[0].startsWith(QStringLiteral("drawn-playing-") + frameName + QStringLiteral("-标注-")))
        << saved[0].toStdString();
    const QImage expected = expectedPicture(clip, shown, video().annotations());
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(meanAbsoluteDifference(QImage(QDir(desktop()).filePath(saved[0])), expected), 0.0);

    // Copied, then pasted while the saved frame's pictures play on: the paste stops them first.
    video().setAnnotationClipboard(video().annotations());
    hookup->session().toggleVideoPlayback();
    ASSERT_TRUE(store().isPlaying());
    EXPECT_TRUE(video().annotations().empty());
    play(5);
    const int later = stripeNumber(store().player()->currentFrame());
    ASSERT_GT(later, shown);
    // A modifier pressed on the canvas on its own draws nothing, and the pictures play on.
    ShellInput::keyClick(workspace()->surface()->inputWidget(), Qt::Key_Control);
    EXPECT_TRUE(store().isPlaying());
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(store().isPlaying());
    EXPECT_EQ(video().annotations().size(), 1u);
    EXPECT_EQ(stripeNumber(video().image().image()), later);
    EXPECT_EQ(frameQuestions, 0);
}

// While another video loads, the frame on screen is about to go: the canvas takes no stroke, no
// label text and no paste, so nothing is drawn that the new video would drop without a word.
TEST_F(VideoDrawing, NothingIsDrawnWhileAnotherVideoLoads)
{
    REQUIRE_FFMPEG();
    showWindow();
    ASSERT_TRUE(importAndWait(stripes("before-held.mp4", "25", 1)));
    video().setSelectedTool(MarkupTool::Arrow);
    dragOnCanvas({0.1, 0.1}, {0.4, 0.3});
    ASSERT_EQ(video().annotations().size(), 1u);
    const std::vector<MarkupAnnotation> drawn = video().annotations();
    auto *labelEditor = workspace()->surface()->findChild<QPlainTextEdit *>();
    ASSERT_TRUE(labelEditor);
    ASSERT_TRUE(labelEditor->isVisible());

    frameAnswer = FrameLeavingAnswer::DontSave;
    QSignalSpy finished(&hookup->session(), &VideoFrameAnnotationSession::actionFinished);
    hookup->session().importVideo(stripes("held.mp4", "25", 1));
    EXPECT_EQ(frameQuestions, 1);
    ASSERT_TRUE(store().isLoading());

    ShellInput::keyClick(labelEditor, Qt::Key_X);
    video().setSelectedTool(MarkupTool::Rectangle);
    dragOnCanvas({0.5, 0.5}, {0.9, 0.9});
    video().setAnnotationClipboard(drawn);
    key(Qt::Key_V, Qt::ControlModifier);
    // The commands themselves, whatever has the keyboard: taken, and nothing changes.
    confirmAnswer = true;
    for (const char *command : {"paste", "undo", "delete", "z"})
        EXPECT_TRUE(view().handleKeyCommand(QString::fromLatin1(command))) << command;
    EXPECT_EQ(confirmations, 0);
    EXPECT_EQ(video().annotations(), drawn);
    EXPECT_FALSE(video().draftAnnotation());

    gate->release();
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }));
    EXPECT_EQ(store().videoFileName(), "held.mp4");
    EXPECT_TRUE(video().annotations().empty());
    EXPECT_EQ(frameQuestions, 1);
    // The new frame takes strokes again.
    dragOnCanvas({0.5, 0.5}, {0.9, 0.9});
    EXPECT_EQ(video().annotations().size(), 1u);
}

// The question before an annotated frame is left: its buttons in order, each with its answer, and
// Escape as 取消.
TEST(ModalVideoFrameDialogs, TheFrameQuestionKeepsItsButtonsAndTheirAnswers)
{
    auto box = MessageBoxVideoFrameConfirmer::makeFrameLeavingPrompt(nullptr);
    EXPECT_EQ(box->text(), "是否保存当前帧的标注？");
    QStringList titles;
    for (QAbstractButton *button : box->buttons())
        titles.append(button->text());
    ASSERT_EQ(titles, (QStringList{"保存当前帧", "不保存", "取消"}));
    EXPECT_EQ(box->escapeButton(), box->buttons()[2]);
    EXPECT_EQ(MessageBoxVideoFrameConfirmer::frameLeavingAnswer(*box), FrameLeavingAnswer::Cancel);
    const std::vector<FrameLeavingAnswer> answers{FrameLeavingAnswer::SaveFrame, FrameLeavingAnswer::DontSave,
                                                  FrameLeavingAnswer::Cancel};
    for (int index = 0; index < 3; ++index) {
        auto asked = MessageBoxVideoFrameConfirmer::makeFrameLeavingPrompt(nullptr);
        QMetaObject::invokeMethod(asked.get(), [&asked, index] { asked->buttons()[index]->click(); }, Qt::QueuedConnection);
        asked->exec();
        EXPECT_EQ(MessageBoxVideoFrameConfirmer::frameLeavingAnswer(*asked), answers[size_t(index)]) << index;
    }
}

} // namespace
