#pragma once

#include "video/VideoFrameDialogs.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QMessageBox;

// The application-modal warning alert of the image markup canvas, over `parent`.
class MessageBoxVideoFrameConfirmer final : public VideoFrameConfirmer {
public:
    explicit MessageBoxVideoFrameConfirmer(QWidget *parent = nullptr) : m_parent(parent) {}
    bool confirm(const VideoFrameConfirmation &request) override;
    FrameLeavingAnswer askToSaveFrame() override;

    // The question before an annotated frame is left, unopened; its buttons keep their order.
    static std::unique_ptr<QMessageBox> makeFrameLeavingPrompt(QWidget *parent);
    static FrameLeavingAnswer frameLeavingAnswer(const QMessageBox &box);

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
