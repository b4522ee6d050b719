#pragma once

#include "model/MarkupAnnotation.h"

#include <QImage>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

class MarkupViewModel;

// Saving the annotated video frame to the Desktop in three steps, so the encoding and the write can
// run on a worker while the window stays responsive: take what is to be saved from the video view
// model (GUI thread), render, encode and write it (any thread), and record the outcome (GUI thread).
namespace VideoFrameSave {

// What one save writes: a copy of the frame and its annotations as they were when the save began.
struct Job {
    QUuid itemID;
    QImage image;
    std::vector<MarkupAnnotation> annotations;
    // The file's name, and the Desktop it goes to (none when there is no Desktop to write to).
    QString fileName;
    std::optional<QString> folder;
    int folderErrorNumber = 0; // why there is no folder
};

// The written file, or the text of the failure.
struct Outcome {
    std::optional<QString> path;
    std::optional<QString> error;
};

// The selected frame of the video view model, named after the timecode; nothing (with the model's
// error message set) when no frame is selected.
std::optional<Job> prepare(MarkupViewModel &model, const QString &timecode);

// Renders the annotations over the frame at its full size (the pixels of the image exports), encodes
// a PNG in bands on several cores and writes it atomically. Touches no view model: safe on any thread.
Outcome write(const Job &job);

// Records the outcome in the model: the saved file on the frame it was taken from (when that frame
// is still there) and the status message, or the error message. Returns the written path.
std::optional<QString> finish(MarkupViewModel &model, const Job &job, const Outcome &outcome);

} // namespace VideoFrameSave
