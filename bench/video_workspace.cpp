// Speed of the video workspace path (hookup, view model, canvas) against the ffmpeg command-line tool
// on the same file, in the same run. Makes a 10 s 1920×1080 30 fps H.264 video with a long group of
// pictures (-g 250), drives the real window offscreen and prints, per operation, our time, the tool's
// time and the ratio.
#include "canvas/AnnotationOverlay.h"
#include "canvas/CanvasFrameSource.h"
#include "canvas/CanvasSurface.h"
#include "model/MarkupViewModel.h"
#include "shell/ContentView.h"
#include "shell/MainWindow.h"
#include "shell/ShellDialogs.h"
#include "shell/VideoFrameHookup.h"
#include "video/VideoFrameAnnotationStore.h"
#include "video/VideoFrameAnnotationWorkspace.h"
#include "video/VideoScrubber.h"
#include "video/VideoTransportPanel.h"

#include "FfmpegPeer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const auto runTool = &FfmpegPeer::run;
const auto toolFrameAt = &FfmpegPeer::frameAt;

// Runs the event loop for `ms` without spinning the processor.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void row(const char *name, double ours, double tool, const char *goal)
{
    std::printf("%-46s %9.1f ms %9.1f ms %7.2f   goal %s\n", name, ours, tool, ours / tool, goal);
}

class QuietDialogs final : public ShellDialogs {
public:
    void showError(const QString &message, QWidget *) override
    {
        std::fprintf(stderr, "error shown: %s\n", message.toUtf8().constData());
    }
};

class NoCaptureAccess final : public ScreenCaptureAccess {
public:
    bool preflight() override { return true; }
    void request() override {}
    bool openUrl(const QUrl &) override { return true; }
};

// Times every paint of the canvas.
class PaintTimer final : public QObject {
public:
    std::vector<double> paints;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || m_inside)
            return false;
        m_inside = true;
        QElapsedTimer timer;
        timer.start();
        watched->event(event);
        paints.push_back(double(timer.nsecsElapsed()) / 1e6);
        m_inside = false;
        return true;
    }

private:
    bool m_inside = false;
};

void mouse(QWidget *widget, QEvent::Type type, QPoint point)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(point), QPointF(widget->mapToGlobal(point)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("HOME", dir.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);
    const QString video = dir.filePath(QStringLiteral("v.mp4"));
    std::printf("making the test video...\n");
    runTool({"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30", "-t", "10", "-c:v", "libx264", "-preset", "veryfast",
             "-g", "250", "-pix_fmt", "yuv420p", "-y", video});

    QSettings settings(dir.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
    ContentViewOptions options;
    options.useDefaultUpdateURL = false;
    options.dialogs = std::make_unique<QuietDialogs>();
    options.screenCaptureAccess = std::make_unique<NoCaptureAccess>();
    options.installWorkspaces = false;
    options.quitApplication = [] {};
    MainWindow window(settings, std::move(options));
    ContentView &view = window.contentView();
    auto *hookup = new VideoFrameHookup(view);
    hookup->install(view.hooks());
    view.reloadWorkspace();
    window.resize(1400, 900);
    window.show();
    spin(100);

    int finished = 0;
    QObject::connect(hookup, &VideoFrameHookup::actionFinished, [&] { ++finished; });
    auto waitFinished = [&](int before) {
        while (finished == before)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    };
    auto workspace = [&] { return view.findChild<VideoFrameAnnotationWorkspace *>(); };

    std::printf("%-46s %12s %12s %7s\n", "operation", "ours", "ffmpeg", "ratio");

    // Import to the first frame painted.
    QElapsedTimer timer;
    timer.start();
    int before = finished;
    hookup->importVideo(video);
    waitFinished(before);
    QCoreApplication::processEvents();
    workspace()->surface()->repaint();
    const double import = double(timer.nsecsElapsed()) / 1e6;
    row("import to first frame painted", import, runTool({"-i", video, "-frames:v", "1", "-f", "null", "-"}),
        "<= 1.2");

    VideoFrameAnnotationStore &store = hookup->store();
    VideoTransportPanel *panel = workspace()->transportPanel();
    auto timeAction = [&](const std::function<void()> &action) {
        const int start = finished;
        QElapsedTimer t;
        t.start();
        action();
        waitFinished(start);
        return double(t.nsecsElapsed()) / 1e6;
    };
    timeAction([&] { hookup->seekVideoFrame(120); });
    const double next = timeAction([&] { panel->nextButton()->click(); });
    row("next frame (+1 in the group of pictures)", next, toolFrameAt(video, store.seconds(121)), "<= 0.3");
    const double previous = timeAction([&] { panel->previousButton()->click(); });
    row("previous frame", previous, toolFrameAt(video, store.seconds(120)), "<= 1.2");

    // A scrub through the real control: 60 moves 16 ms apart, then the release.
    VideoScrubber *scrubber = panel->scrubber();
    int previews = 0;
    const QMetaObject::Connection shown =
        QObject::connect(hookup->frameSource(), &CanvasFrameSource::frameChanged, [&] { ++previews; });
    const int y = scrubber->height() / 2;
    mouse(scrubber, QEvent::MouseButtonPress, QPoint(20, y));
    int x = 20;
    for (int i = 0; i < 60; ++i) {
        spin(16);
        x = 20 + i * (scrubber->width() - 60) / 60;
        mouse(scrubber, QEvent::MouseMove, QPoint(x, y));
    }
    const double requested = VideoScrubber::positionAt(x, scrubber->width(), 0, store.totalFrameCount() - 1);
    const double release = timeAction([&] { mouse(scrubber, QEvent::MouseButtonRelease, QPoint(x, y)); });
    QObject::disconnect(shown);
    row("scrub: exact frame after release", release, toolFrameAt(video, store.seconds(int(requested))), "<= 1.3");
    std::printf("    %d previews shown during the drag; index at release %d, last requested %d\n", previews,
                int(store.currentFrameIndex()), int(requested));

    // Playback with 30 annotations on top.
    timeAction([&] { hookup->seekVideoFrame(0); });
    MarkupViewModel &model = view.videoFrameViewModel();
    std::vector<ImageMarkupItem> items = model.items();
    for (int i = 0; i < 30; ++i) {
        const double a = 0.03 * i;
        const AnnotationKind kind = i % 3 == 0 ? AnnotationKind::Arrow
                                  : i % 3 == 1 ? AnnotationKind::Rectangle
                                               : AnnotationKind::Text;
        items.front().annotations.push_back(MarkupAnnotation(
            QUuid::createUuid(), kind, UnitPoint2D{0.05 + a * 0.5, 0.1 + a * 0.3},
            UnitPoint2D{0.2 + a * 0.6, 0.3 + a * 0.5}, QStringLiteral("标注 %1").arg(i + 1), QStringLiteral("#FF3B30"),
            3, 18, std::nullopt, std::nullopt, 1, kind == AnnotationKind::Text ? std::nullopt : std::optional<qint64>(i + 1),
            {}));
    }
    model.setItems(items);
    spin(100);
    CanvasSurface *surface = workspace()->surface();
    PaintTimer paints;
    surface->installEventFilter(&paints);
    const int layerBuilds = surface->overlay().layerBuildCount();
    const int pictureBuilds = surface->overlay().pictureBuildCount();
    int frames = 0;
    QObject::connect(hookup->frameSource(), &CanvasFrameSource::frameChanged, [&] { ++frames; });
    panel->playButton()->click();
    while (store.isPlaying())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    surface->removeEventFilter(&paints);
    const int dropped = store.player()->droppedFrameCount();
    std::printf("%-46s %d frames shown, %d dropped (%.2f %%)   goal < 1 %%\n", "playback 1080p30 with 30 annotations",
                frames, dropped, 100.0 * dropped / std::max(frames + dropped, 1));
    std::printf("%-46s median %.2f ms over %zu paints   goal <= 8 ms\n", "canvas repaint per player frame",
                median(paints.paints), paints.paints.size());
    std::printf("%-46s %d layer builds, %d picture builds   goal 0\n", "overlay rebuilt during playback",
                surface->overlay().layerBuildCount() - layerBuilds,
                surface->overlay().pictureBuildCount() - pictureBuilds);

    // Save of a 1080p frame with 30 annotations.
    const double save = timeAction([&] { panel->saveButton()->click(); });
    std::printf("%-46s %9.1f ms   goal <= 150 ms (%s)\n", "save 1080p frame with 30 annotations", save,
                view.viewModel().statusMessage().toUtf8().constData());
    return 0;
}
