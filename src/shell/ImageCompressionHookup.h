#pragma once

#include "compression/ImageCompressionSession.h"

#include <QObject>

#include <memory>

class ContentView;
class QWidget;
struct ShellHooks;

// Joins the compression workspace to the window: fills the compression slots of ShellHooks, builds
// the workspace over the session and passes the session's messages to the window. Lives as long as
// the root view (its child); the session, and with it the state and the running work, lives as long
// as the hookup.
class ImageCompressionHookup final : public QObject {
    Q_OBJECT

public:
    // Without a chooser the session asks through the window's dialogs.
    explicit ImageCompressionHookup(ContentView &view, std::unique_ptr<CompressionChooser> chooser = nullptr);

    void install(ShellHooks &hooks);
    // The workspace over the session's state, built afresh on every entry.
    QWidget *makeWorkspace();

    ImageCompressionSession &session() { return m_session; }
    const ImageCompressionSession &session() const { return m_session; }

private:
    ContentView &m_view;
    ImageCompressionSession m_session;
};
