#pragma once

#include <QByteArray>
#include <QString>

// What every fuzz target shares: the program's own setup before it reads a file, inputs handed to
// readers that take a path, and the promises a reader keeps whatever it is given. A broken promise
// stops the process, which the fuzzer reports as a finding (and the replay as a failed test).
namespace FuzzSupport {

// A Qt application without a display, the pixel cap and the image allocation limit, as the
// program sets them up. Once per process; every target calls it first.
void start();

// The bytes as a file named `name` in a folder of this process, replacing the last one.
QString writtenFile(const QByteArray &bytes, const QString &name);

// A path in the same folder where nothing exists yet (for outputs).
QString freshPath(const QString &name);

// Stops the process, naming the promise, unless it holds.
void require(bool holds, const char *promise);

// The pictures of a file read by every image reader of the program (markup import, the list
// preview that project open and comparison use, the compression probe, compression's own reads,
// reduced and at full size): each either refuses it or gives a picture within the pixel cap of the
// size the file's header gives. `suffix` names the temporary file.
void readAsImage(const QByteArray &bytes, const QString &suffix);

} // namespace FuzzSupport
