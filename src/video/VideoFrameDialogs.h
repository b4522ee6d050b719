#pragma once

#include <QString>

#include <optional>

// The questions the video frame session asks the user. The session asks through these interfaces
// so that tests can answer; ModalVideoFrameDialogs shows the program's own file dialog and alert.

// A destructive command's question: the confirming button first, "取消" second; only the first
// confirms.
struct VideoFrameConfirmation {
    QString message;
    QString informativeText;
    QString confirmTitle;

    bool operator==(const VideoFrameConfirmation &) const = default;
};

// Answers a destructive command's question.
class VideoFrameConfirmer {
public:
    virtual ~VideoFrameConfirmer() = default;
    virtual bool confirm(const VideoFrameConfirmation &request) = 0;
};

// Chooses the video to import; nothing when cancelled.
class VideoFileChooser {
public:
    virtual ~VideoFileChooser() = default;
    virtual std::optional<QString> chooseVideo() = 0;
};
