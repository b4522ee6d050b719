#pragma once

#include "platform/NewFile.h"

#include <QString>

// Output files that appear whole or not at all: the bytes go to a hidden part file in the
// destination folder first, reach the disk, and then take their name in one step that never
// replaces anything there. A run that stops, or a disk that fills, leaves no cut-short file under
// an output's name; the part files of a run that was killed are removed by the next run.
namespace OutputFilePlacement {

// The hidden part files of outputs being written: this, an upper-case UUID, ".part".
inline const QString hiddenPrefix = QStringLiteral(".kivo-compression-");

// Copies the file at `from` into `folder` under the first free name that `naming` gives, and
// returns that path. On failure nothing is left behind and ImageCompressionServiceError::
// cannotWriteOutput names the folder and the reason (a source that cannot be read throws
// cannotFinalize with its path).
QString placeCopy(const QString &from, const QString &folder, const NewFile::Naming &naming);
// Removes the part files that a killed run left in the folder (only names of that exact shape,
// and none that a running write holds).
int removeStaleParts(const QString &folder);

} // namespace OutputFilePlacement
