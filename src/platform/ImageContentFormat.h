#pragma once

#include <QByteArray>
#include <QSize>

class QImageReader;

// Which decoder reads a picture, told by its content: a file's name says nothing of what is in
// it, and Qt's reader, left to itself, picks its handler by the suffix and hands it bytes of any
// kind (a few bytes named .gif were taken as a 100-megapixel picture).
namespace ImageContentFormat {

// How much of a file's start identification looks at.
constexpr qint64 headBytes = 512;

// Qt's name of the format whose signature `head` begins with ("jpeg", "png", "gif", "tiff", …),
// empty when it begins with none that the program reads.
QByteArray identify(const QByteArray &head);

// Whether a file of `fileBytes` in `format` can hold a picture of `size` at all: formats whose
// every pixel takes some of the file's bytes are refused when they declare more than their data
// could fill (a few bytes that ask for a screen-sized buffer); other formats are bounded by their
// own decoders and the pixel cap.
bool canHold(const QByteArray &format, QSize size, qint64 fileBytes);

// The size of the picture a reader set up by prepare() decodes, to be checked against the limits
// and budgeted before it does: the size the reader gives, except for a GIF. Its reader gives the
// first frame's extent where the logical screen looks out of proportion to that frame, yet decodes
// the whole screen; a GIF is sized by its screen, and by the reader only on a side the screen
// leaves at 0 (the reader then takes the frame's). Invalid when neither tells.
QSize decodedSize(QImageReader &reader);

// Sets the reader up for the format its content names and no other, with Qt's allocation limit
// in force: false when the content names none, and the reader then reads nothing.
bool prepare(QImageReader &reader, const QByteArray &head);

} // namespace ImageContentFormat
