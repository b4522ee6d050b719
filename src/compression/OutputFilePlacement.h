#pragma once

#include <QString>

// Output files that appear whole or not at all: the bytes go to a hidden file in the destination
// folder first, which then takes its name in one step and never replaces anything there. A run
// that stops, or a disk that fills, leaves no cut-short file under an output's name.
namespace OutputFilePlacement {

// A copy of the file at `from` under a hidden temporary name in `folder`, returned. On failure
// nothing is left behind and ImageCompressionServiceError::cannotWriteOutput names the folder and
// the reason (a source that cannot be read throws cannotFinalize with its path).
QString writeHiddenCopy(const QString &from, const QString &folder);
// Gives the file at `from` the name `to` unless something stands there: 0 when done, EEXIST when
// the name is taken, else the system's error number.
int renameWithoutReplacing(const QString &from, const QString &to);
// Why a write failed, in the program's words where one fits ("权限不足"), else the system's text.
QString failureReason(int errorNumber);

} // namespace OutputFilePlacement
