#pragma once

#include "video/VideoFrameAnnotationSession.h"

#include <QObject>

#include <memory>

class CanvasFrameSource;
class ContentView;
class QWidget;
struct ShellHooks;

// Joins the video frame workspace to the window: fills the video slots of ShellHooks, builds the
// workspace afresh on every entry over the session and the player's picture, and passes the
// session's requests to the window. Lives as long as the root view (its child); the session, and
// with it the store and a save under way, lives as long as the hookup.
//
// A close of the window while a frame is being saved waits for the save and then goes ahead.
class VideoFrameAnnotationHookup final : public QObject {
    Q_OBJECT

public:
    // Without a store, one with the real video loader. The session asks through the window's
    // dialogs until tests replace them.
    explicit VideoFrameAnnotationHookup(ContentView &view, std::unique_ptr<VideoFrameAnnotationStore> store = nullptr);
    ~VideoFrameAnnotationHookup() override;

    void install(ShellHooks &hooks);

    VideoFrameAnnotationSession &session() { return m_session; }
    const VideoFrameAnnotationSession &session() const { return m_session; }
    // The player's picture for the canvas, one for the store's lifetime, so a workspace built
    // while the player is paused shows the paused frame at once.
    CanvasFrameSource *frameSource() const;

    // The workspace, built on every entry.
    QWidget *makeWorkspace();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectSession();

    ContentView &m_view;
    VideoFrameAnnotationSession m_session;
    CanvasFrameSource *m_frameSource = nullptr;
};
