#pragma once

#include "video/VideoFrameDialogs.h"

#include <QPointer>
#include <QWidget>

// The application-modal warning alert of the image markup canvas, over `parent`.
class MessageBoxVideoFrameConfirmer final : public VideoFrameConfirmer {
public:
    explicit MessageBoxVideoFrameConfirmer(QWidget *parent = nullptr) : m_parent(parent) {}
    bool confirm(const VideoFrameConfirmation &request) override;

private:
    QWidget *m_parent;
};

// The file dialog of MP4, MOV and M4V files, starting on the Desktop.
class VideoFileDialogChooser final : public VideoFileChooser {
public:
    explicit VideoFileDialogChooser(QWidget *parent = nullptr) : m_parent(parent) {}
    std::optional<QString> chooseVideo() override;

private:
    QPointer<QWidget> m_parent;
};
