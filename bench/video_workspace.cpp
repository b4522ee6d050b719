// Speed of the video workspace path (hookup, view model, canvas) against the ffmpeg command-line tool
// on the same file, in the same run. Makes a 6 s 1920×1080 30 fps camera-like H.264 video (test
// pattern under moving noise, one long group of pictures), drives the real window offscreen and prints,
// per operation, ours, the tool's and the ratio as minimum / median over the rounds: once pinned to
// cores 6 and 7, once on all cores.
//
// Frame moves are compared cold with cold: each measured round of ours imports the video afresh
// (a new store, nothing decoded) and is timed from the import through the move to its frame, against
// a fresh process of the tool for the same frame (whose time includes starting it). The same moves
// in the video already open are printed as ours alone.
//
//   bench_video_workspace [rounds=3]
//
// Every wait sleeps in a QEventLoop that the completion quits, so the GUI thread leaves the cores to
// the decoder and the workers while it waits.
#include "canvas/AnnotationOverlay.h"
#include "canvas/CanvasFrameSource.h"
#include "canvas/CanvasSurface.h"
#include "model/MarkupViewModel.h"
#include "shell/ContentView.h"
#include "shell/MainWindow.h"
#include "shell/VideoFrameAnnotationHookup.h"
#include "ui/ShellDialogs.h"
#include "video/VideoFrameAnnotationStore.h"
#include "video/widgets/VideoFrameAnnotationWorkspace.h"
#include "video/widgets/VideoScrubber.h"
#include "video/widgets/VideoTransportPanel.h"

#include "FfmpegPeer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

namespace {

using FfmpegPeer::frameAt;

// Runs the event loop for `ms` without spinning the processor.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

double median(std::vector<double> values)
{
    return FfmpegPeer::summary(std::move(values)).median;
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

// The longest gap between the ticks of a 1 ms timer on the GUI thread: how long it stood still.
class StallMeter final {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, double(m_clock.nsecsElapsed()) / 1e6);
            m_clock.restart();
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_timer.start();
    }
    double stop()
    {
        m_timer.stop();
        return std::max(m_longest, double(m_clock.nsecsElapsed()) / 1e6);
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_longest = 0;
};

void mouse(QWidget *widget, QEvent::Type type, QPoint point)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(point), QPointF(widget->mapToGlobal(point)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void addAnnotations(MarkupViewModel &model)
{
    std::vector<ImageMarkupItem> items = model.items();
    items.front().annotations.clear();
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
}

int runBench(int argc, char **argv, const QString &video, int rounds)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("HOME", dir.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);

    QSettings settings(dir.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
    ContentViewOptions options;
    options.useDefaultUpdateURL = false;
    options.dialogs = std::make_unique<QuietDialogs>();
    options.screenCaptureAccess = std::make_unique<NoCaptureAccess>();
    options.installWorkspaces = false;
    options.quitApplication = [] {};
    MainWindow window(settings, std::move(options));
    ContentView &view = window.contentView();
    auto *hookup = new VideoFrameAnnotationHookup(view);
    hookup->install(view.hooks());
    view.reloadWorkspace();
    window.resize(1400, 900);
    window.show();
    spin(100);

    auto workspace = [&] { return view.findChild<VideoFrameAnnotationWorkspace *>(); };
    // Runs the action and sleeps in an event loop until the hookup reports it finished.
    auto timeAction = [&](const std::function<void()> &action) {
        QEventLoop loop;
        bool done = false;
        const QMetaObject::Connection connection
            = QObject::connect(&hookup->session(), &VideoFrameAnnotationSession::actionFinished, [&] {
                  done = true;
                  loop.quit();
              });
        QElapsedTimer timer;
        timer.start();
        action();
        if (!done)
            loop.exec();
        QObject::disconnect(connection);
        return double(timer.nsecsElapsed()) / 1e6;
    };

    FfmpegPeer::header();

    // Import to the first frame painted; the peer decodes the first frame.
    std::vector<double> imports, toolImports;
    for (int round = 0; round < rounds; ++round) {
        imports.push_back(timeAction([&] { hookup->session().importVideo(video); }) + [&] {
            QElapsedTimer paint;
            paint.start();
            QCoreApplication::processEvents();
            workspace()->surface()->repaint();
            return double(paint.nsecsElapsed()) / 1e6;
        }());
        toolImports.push_back(FfmpegPeer::run({"-i", video, "-frames:v", "1", "-f", "null", "-"}));
    }
    FfmpegPeer::row("import to first frame painted", imports, toolImports, "<= 1.0");

    VideoFrameAnnotationStore &store = hookup->session().store();
    VideoTransportPanel *panel = workspace()->transportPanel();
    const int near = std::min(120, store.totalFrameCount() - 2);
    auto importAnew = [&] { return timeAction([&] { hookup->session().importVideo(video); }); };
    auto seekTo = [&](int frame) { return timeAction([&] { hookup->session().seekVideoFrame(frame); }); };
    VideoScrubber *scrubber = panel->scrubber();
    const int y = scrubber->height() / 2;
    std::vector<double> coldNexts, toolNexts, coldPreviouses, toolPreviouses, coldClicks, toolClicks;
    for (int round = 0; round < rounds; ++round) {
        coldNexts.push_back(importAnew() + seekTo(near) + timeAction([&] { panel->nextButton()->click(); }));
        toolNexts.push_back(frameAt(video, store.seconds(near + 1)));
        coldPreviouses.push_back(importAnew() + seekTo(near + 1)
                                 + timeAction([&] { panel->previousButton()->click(); }));
        toolPreviouses.push_back(frameAt(video, store.seconds(near)));
        // A click on the scrubber: a seek through the control.
        const int x = scrubber->width() / 2 + 7 * round;
        const double requested = VideoScrubber::positionAt(x, scrubber->width(), 0, store.totalFrameCount() - 1);
        coldClicks.push_back(importAnew() + timeAction([&] {
                                 mouse(scrubber, QEvent::MouseButtonPress, QPoint(x, y));
                                 mouse(scrubber, QEvent::MouseButtonRelease, QPoint(x, y));
                             }));
        toolClicks.push_back(frameAt(video, store.seconds(int(requested))));
    }
    std::printf("cold: imported afresh, from the import to the frame\n");
    FfmpegPeer::row("seek, next frame (tool: that frame)", coldNexts, toolNexts, "<= 1.0");
    FfmpegPeer::row("seek, previous frame (tool: that frame)", coldPreviouses, toolPreviouses, "<= 1.2");
    FfmpegPeer::row("scrubber click (tool: that frame)", coldClicks, toolClicks, "<= 1.3");

    std::vector<double> nexts, previouses, releases;
    int previews = 0;
    for (int round = 0; round < rounds; ++round) {
        seekTo(near);
        nexts.push_back(timeAction([&] { panel->nextButton()->click(); }));
        previouses.push_back(timeAction([&] { panel->previousButton()->click(); }));

        // A scrub through the real control: 60 moves 16 ms apart, then the release.
        const QMetaObject::Connection shown =
            QObject::connect(hookup->frameSource(), &CanvasFrameSource::frameChanged, [&] { ++previews; });
        mouse(scrubber, QEvent::MouseButtonPress, QPoint(20, y));
        int x = 20;
        for (int i = 0; i < 60; ++i) {
            spin(16);
            x = 20 + i * (scrubber->width() - 60) / 60 + round;
            mouse(scrubber, QEvent::MouseMove, QPoint(x, y));
        }
        releases.push_back(timeAction([&] { mouse(scrubber, QEvent::MouseButtonRelease, QPoint(x, y)); }));
        QObject::disconnect(shown);
    }
    std::printf("warm: the video already open (ours alone)\n");
    FfmpegPeer::ownRow("next frame (+1 in the group of pictures)", nexts, "-");
    FfmpegPeer::ownRow("previous frame", previouses, "-");
    FfmpegPeer::ownRow("scrub: exact frame after release", releases, "-");
    std::printf("    %d previews shown during %d drags\n", previews, rounds);

    // Playback with 30 annotations on top: the median paint of each round.
    MarkupViewModel &model = view.videoFrameViewModel();
    CanvasSurface *surface = workspace()->surface();
    std::vector<double> paintMedians;
    // Every frame of the video is due once per round; one that never reaches the canvas is dropped.
    std::set<double> shownTimes;
    int shown = 0;
    int due = 0;
    int layerBuilds = 0;
    int pictureBuilds = 0;
    QObject::connect(hookup->frameSource(), &CanvasFrameSource::frameChanged,
                     [&] { shownTimes.insert(store.player()->currentFrameTime()); });
    for (int round = 0; round < rounds; ++round) {
        seekTo(0);
        addAnnotations(model);
        spin(100);
        PaintTimer paints;
        surface->installEventFilter(&paints);
        const int layers = surface->overlay().layerBuildCount();
        const int pictures = surface->overlay().pictureBuildCount();
        // The first frame is on the canvas when playback starts.
        shownTimes = {store.player()->currentFrameTime()};
        QEventLoop playback;
        const QMetaObject::Connection ended =
            QObject::connect(&store, &VideoFrameAnnotationStore::isPlayingChanged, &playback, [&] {
                if (!store.isPlaying())
                    playback.quit();
            });
        panel->playButton()->click();
        if (store.isPlaying())
            playback.exec();
        QObject::disconnect(ended);
        surface->removeEventFilter(&paints);
        paintMedians.push_back(median(paints.paints));
        shown += int(shownTimes.size());
        due += store.totalFrameCount();
        layerBuilds += surface->overlay().layerBuildCount() - layers;
        pictureBuilds += surface->overlay().pictureBuildCount() - pictures;
        std::printf("    round %d: %zu of %d frames shown, %zu paints\n", round + 1, shownTimes.size(),
                    store.totalFrameCount(), paints.paints.size());
    }
    FfmpegPeer::ownRow("canvas repaint per player frame, median", paintMedians, "<= 8 ms");
    std::printf("%-44s %d of %d frames dropped (%.2f %%) over %d rounds; overlay rebuilt %d layers, %d pictures "
                "(goal 0)\n",
                "playback with 30 annotations", std::max(due - shown, 0), due,
                100.0 * std::max(due - shown, 0) / std::max(due, 1), rounds, layerBuilds, pictureBuilds);

    // Save of a 1080p frame with 30 annotations, and how long the window stood still meanwhile.
    std::vector<double> saves, stalls;
    StallMeter stall;
    for (int round = 0; round < rounds; ++round) {
        stall.start();
        saves.push_back(timeAction([&] { panel->saveButton()->click(); }));
        stalls.push_back(stall.stop());
    }
    FfmpegPeer::ownRow("save 1080p frame with 30 annotations", saves, "<= 150 ms");
    FfmpegPeer::ownRow("longest GUI stall during the save", stalls, "-");
    std::printf("    status: %s\n", view.viewModel().statusMessage().toUtf8().constData());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "run") == 0)
        return runBench(argc, argv, QString::fromLocal8Bit(argv[2]), argc >= 4 ? std::max(3, atoi(argv[3])) : 3);
    QCoreApplication app(argc, argv);
    const QString rounds = argc >= 2 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("3");
    QTemporaryDir dir;
    const QString video = dir.filePath(QStringLiteral("v.mp4"));
    if (!FfmpegPeer::makeVideo(video, 6))
        return 1;
    return FfmpegPeer::runPinnedAndOnAllCores(video, {rounds});
}
