#include "ShotFolder.h"

#include "shell/VideoHookupFixture.h"

#include "shell/ContentView.h"
#include "video/VideoFrameAnnotationStore.h"

namespace {

using namespace VideoTestMedia;

// Pictures of the video workspace empty, annotated, playing, at the smallest window size and with
// a turned video, for a person to look at.
TEST_F(VideoHookupTest, Video)
{
    REQUIRE_FFMPEG();
    const QString folder = shotFolder();
    // A moment for the player to show its picture before each grab.
    auto save = [&](const QString &name) {
        waitUntil([] { return false; }, 150);
        EXPECT_TRUE(window->grab().save(QDir(folder).filePath(name + QStringLiteral(".png"))));
    };
    showWindow();
    view().setWorkspaceMode(WorkspaceMode::VideoFrameAnnotation);
    QCoreApplication::processEvents();
    save(QStringLiteral("video-empty"));
    const QString clip = make("testsrc-hd.mp4", {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=30", "-t", "4",
                                                 "-c:v", "libx264", "-pix_fmt", "yuv420p"});
    ASSERT_TRUE(importAndWait(clip));
    ASSERT_TRUE(finish([&] { hookup->session().seekVideoFrame(45); }));
    addRectangle();
    save(QStringLiteral("video-annotated"));
    // Playing leaves the annotated frame: its question is answered 不保存, and the pictures play.
    frameAnswer = FrameLeavingAnswer::DontSave;
    hookup->session().toggleVideoPlayback();
    waitUntil([] { return false; }, 700);
    save(QStringLiteral("video-playing"));
    view().handleEscapeShortcut();
    window->resize(1080, 680);
    save(QStringLiteral("video-1080x680"));
    const QString rotated = make("rotated-hd.mp4", {"-i", clip, "-c", "copy", "-metadata:s:v:0", "rotate=90"});
    ASSERT_TRUE(importAndWait(rotated));
    save(QStringLiteral("video-rotated"));
}

} // namespace
