#pragma once

#include "support/TestSupport.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

// Test videos made with the ffmpeg command-line tool in one temporary folder per test program, each
// at most once. Pictures of "stripe" videos carry their frame number: bit i of the number is a white
// (else black) 8-pixel column i, so a decoded picture tells exactly which frame it is.
namespace VideoTestMedia {

bool hasFfmpeg();

// Runs ffmpeg with the arguments (after "-y -v error") and returns the output path, or "" on failure.
QString make(const QString &fileName, const QStringList &arguments);

// A stripe video of 96×48 pixels made with libx264 (reordered B-frames, one long group of pictures).
QString stripes(const QString &fileName, const QString &rate, double seconds, const QStringList &extra = {});

// The frame number carried by a stripe picture; -1 when the picture is not one.
int stripeNumber(const QImage &image);

// The reference picture of frame `index` decoded by the ffmpeg tool (autorotated), as PNG.
QImage referenceFrame(const QString &video, int index);

// Mean absolute difference per colour channel; -1 when the sizes differ.
double meanAbsoluteDifference(const QImage &a, const QImage &b);

using TestSupport::waitUntil;

QString folder();

} // namespace VideoTestMedia
