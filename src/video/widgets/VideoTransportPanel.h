#pragma once

#include "model/MarkupTools.h"
#include "ui/BusyMark.h"
#include "ui/ElidedLabel.h"
#include "video/widgets/TransportButton.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class MarkupViewModel;
class QLabel;
class VideoFrameAnnotationStore;
class VideoScrubber;

// The video workspace's commands; the root view carries them out.
struct VideoWorkspaceActions {
    std::function<void()> importAction;
    std::function<void(double)> seekAction;
    std::function<void(double)> previewAction;
    std::function<void(int)> stepFrameAction;
    std::function<void()> togglePlaybackAction;
    std::function<void()> saveCurrentFrameAction;
    std::function<void()> clearAnnotationsAction;
    std::function<bool()> deleteAction;
    std::function<void()> fitCanvasAction;
    std::function<bool(CanvasMouseButtonAction)> mouseButtonAction;
    // Asked before the canvas or one of its editors takes a press or a key (anything that may draw
    // or change an annotation); false refuses it.
    std::function<bool()> prepareEditAction;
};

// The floating panel at the bottom of the video workspace. Row 1: import, previous frame,
// play/pause, next frame, the timeline, the frame counter, the loading spinner, clear and save.
// Row 2: the video's file name and the store's status. It reads the store and the view model on
// every change and calls the owner's closures.
class VideoTransportPanel final : public QWidget {
    Q_OBJECT

public:

    VideoTransportPanel(VideoFrameAnnotationStore *store, MarkupViewModel *viewModel, const VideoWorkspaceActions &actions,
                        QWidget *parent = nullptr);

    TransportButton *importButton() const { return m_import; }
    TransportButton *previousButton() const { return m_previous; }
    TransportButton *playButton() const { return m_play; }
    TransportButton *nextButton() const { return m_next; }
    TransportButton *clearButton() const { return m_clear; }
    TransportButton *saveButton() const { return m_save; }
    VideoScrubber *scrubber() const { return m_scrubber; }
    QLabel *counter() const { return m_counter; }
    BusyMark *spinner() const { return m_spinner; }
    ElidedLabel *fileNameLabel() const { return m_fileName; }
    ElidedLabel *statusLabel() const { return m_status; }

    // Re-reads everything shown from the store and the view model.
    void refresh();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void handleScrubEditingChanged(bool editing);

    QPointer<VideoFrameAnnotationStore> m_store;
    QPointer<MarkupViewModel> m_viewModel;
    VideoWorkspaceActions m_actions;
    TransportButton *m_import = nullptr;
    TransportButton *m_previous = nullptr;
    TransportButton *m_play = nullptr;
    TransportButton *m_next = nullptr;
    VideoScrubber *m_scrubber = nullptr;
    QLabel *m_counter = nullptr;
    BusyMark *m_spinner = nullptr;
    TransportButton *m_clear = nullptr;
    TransportButton *m_save = nullptr;
    ElidedLabel *m_fileName = nullptr;
    ElidedLabel *m_status = nullptr;
};
