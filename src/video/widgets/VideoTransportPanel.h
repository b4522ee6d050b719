#pragma once

#include "ui/FeedbackButton.h"
#include "model/MarkupTools.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class BusySpinner;
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
};

// A button of the transport panel that draws its own face: an icon with an optional title on an
// optional filled, outlined rounded rectangle, and an optional key badge in the top-right corner.
// A disabled button keeps its colours and is drawn at 45 % opacity as a whole.
class TransportButton final : public FeedbackButton {
    Q_OBJECT

public:
    struct Face {
        Face(QString symbol_, QString title_, QColor content_, QColor fill_ = Qt::transparent,
             QColor outline_ = Qt::transparent, QString badge_ = QString())
            : symbol(std::move(symbol_)), title(std::move(title_)), content(std::move(content_)),
              fill(std::move(fill_)), outline(std::move(outline_)), badge(std::move(badge_))
        {
        }
        QString symbol;
        QString title;
        QColor content;
        QColor fill;
        QColor outline;
        QString badge;
    };
    explicit TransportButton(Face face, QWidget *parent = nullptr);
    const Face &face() const { return m_face; }
    void setSymbol(const QString &symbol);
    // The opacity the face is drawn at now.
    double faceOpacity() const { return isEnabled() ? 1.0 : 0.45; }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    Face m_face;
    QIcon m_icon;
};

// The small indeterminate spinner shown while a video loads; turns only while visible.
class LoadingSpinner final : public QWidget {
    Q_OBJECT

public:
    explicit LoadingSpinner(QWidget *parent = nullptr);
    int angle() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    BusySpinner *m_spinner = nullptr;
};

// One line of text, cut with "…" when it does not fit; as wide as its text when there is room.
class OneLineLabel final : public QWidget {
    Q_OBJECT

public:
    OneLineLabel(Qt::Alignment alignment, QWidget *parent = nullptr);
    QString text() const { return m_text; }
    void setText(const QString &text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Alignment m_alignment;
    QString m_text;
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
    LoadingSpinner *spinner() const { return m_spinner; }
    OneLineLabel *fileNameLabel() const { return m_fileName; }
    OneLineLabel *statusLabel() const { return m_status; }

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
    LoadingSpinner *m_spinner = nullptr;
    TransportButton *m_clear = nullptr;
    TransportButton *m_save = nullptr;
    OneLineLabel *m_fileName = nullptr;
    OneLineLabel *m_status = nullptr;
};
