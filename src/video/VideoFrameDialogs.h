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

// The answers to the question before a frame with unsaved annotations is left.
enum class FrameLeavingAnswer { SaveFrame, DontSave, Cancel };

// Answers a destructive command's question, and the question before a frame whose annotations
// were drawn or changed since its last save is replaced ("保存当前帧", "不保存", "取消").
class VideoFrameConfirmer {
public:
    virtual ~VideoFrameConfirmer() = default;
    virtual bool confirm(const VideoFrameConfirmation &request) = 0;
    virtual FrameLeavingAnswer askToSaveFrame() = 0;
};

// Chooses the video to import; nothing when cancelled.
class VideoFileChooser {
public:
    virtual ~VideoFileChooser() = default;
    virtual std::optional<QString> chooseVideo() = 0;
};
