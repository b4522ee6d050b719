#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>
#include <vector>

class QImageReader;

// What Qt's JPEG reader does not do for us: telling a file that was cut short from a whole one,
// and decoding CMYK pictures through their embedded profile.
namespace JpegFile {

// What the markers of a JPEG say, read without decoding any pixels.
struct Layout {
    int width = 0, height = 0; // the frame's size as stored
    int components = 0; // colour components of the frame (4: CMYK or YCCK)
    bool adobeMarker = false; // an Adobe segment: CMYK values are stored inverted
    int densityUnit = 0, xDensity = 1, yDensity = 1; // from the JFIF segment: 1 per inch, 2 per cm
    QByteArray iccProfile; // the embedded profile, its chunks joined; empty when there is none
    bool complete = false; // an end-of-image marker follows the scan data
    bool progressive = false;
    bool arithmetic = false; // arithmetic-coded rather than Huffman-coded
    // Sampling factors of the frame's components, in frame order.
    struct Sampling {
        int horizontal = 1, vertical = 1;
    };
    std::vector<Sampling> sampling;
    int firstScanComponents = 0; // components in the first scan (fewer than all: one scan each)
    int scans = 0; // scans among the bytes given
    qint64 scanBytes = 0; // entropy-coded bytes of those scans (segments between them not counted)
    qint64 scanBlocks = 0; // blocks of the components each scan codes, summed over the scans
    // Scans and restart intervals that start without any entropy-coded data: a marker or the end
    // comes first (for arithmetic coding, also when only zero bytes come before it, which its
    // decoder reads as it reads missing data). A Huffman encoder writes none for a real picture;
    // an arithmetic one writes one where every decision of its blocks went the
    // way the coder expected.
    int emptyPieces = 0;
    // Blocks of those pieces, leaving out pieces of a single block (a restart after every block).
    qint64 emptyPieceBlocks = 0;
    // The markers lead the decoder to a frame and its first scan. A file the decoder would stop on
    // before it (an unknown marker, a segment that does not fit) is no picture.
    bool readable = false;
};

// Nothing when the bytes are not a JPEG. The markers are read as the decoder reads them: bytes
// between segments, fill bytes and stuffed zeros are skipped, a comment or application segment
// whose length is below 2 ends at its length field, and the walk ends at the end marker.
std::optional<Layout> layout(const QByteArray &bytes);

// Bytes the decoder holds on top of its output rows: a file in several scans (progressive, or one
// scan per component) keeps every coefficient of the whole picture until the last scan, whatever
// scale it is decoded at. Nothing for a file in one interleaved scan.
qint64 coefficientBufferBytes(const Layout &layout);

// Bytes a decode holds on top of its output rows: the coefficients above and, for a CMYK file
// converted through its profile, the colour management library's tables.
qint64 decoderHeldBytes(const Layout &layout);

// Bytes an optimising encoder holds for a picture of this size: it keeps every coefficient for
// its second pass (the defaults' 2 × 2 subsampled colour, or grey).
qint64 optimisingEncoderBytes(QSize size, bool grey);

// Whether the file is no picture to decode: markers the decoder cannot follow to a scan, more
// scans than a decode goes through (see JpegLibrary::isWithinScanWork), or, for Huffman coding, a
// scan or restart interval without data or less entropy-coded data than its size needs (every
// block of the picture takes at least one bit). Such a file would have the decoder work through a
// huge picture only to give grey or noise. Arithmetic coding codes a flat block in well under a
// bit, and nothing at all for a piece of blocks it found wholly predictable, so there a file is
// refused when such pieces of more than one block hold a quarter of the blocks its scans go
// through, and otherwise what the decoder finds while reading judges the data (see
// JpegLibrary::decompress). An arithmetic-coded file in several scans whose decode at full size,
// coefficients and pixels, would not fit in what one picture may take is refused too when it
// holds less than a bit for each block of all its components: a few bytes of it declare a huge
// picture. Give all of the
// file's bytes: a layout read from the first part only sees the scans in that part.
bool isUndecodable(const Layout &layout);
// Whether isUndecodable() refuses the file for what its decode would cost rather than for data it
// lacks: more scans than its size allows, or an arithmetic-coded file in several scans whose decode
// at full size is too large for one picture with less than a bit a block. The caller says "too
// large" then.
bool isTooCostly(const Layout &layout);

// Whether the file may have lost data at its end: it has no end marker, and it is not a
// Huffman-coded file in one interleaved scan in sequence, whose decoder tells by itself whether
// its data was whole. (Later scans may be missing, and the arithmetic decoder reads the end of
// the file as it reads data that ends where the encoder left off.)
bool endsEarly(const Layout &layout);

// The picture Qt's reader gives with `scaledSize` set, decoded straight from the bytes: reduced by
// the same whole eighths inside the decoder, then smoothly to the size when that is not exact
// (RGB32, or Grayscale8 for a grey file). Only for three-component or grey files; an embedded
// profile is left for the caller to attach. A damaged file (scan data that ends before the
// picture does, a file cut short, or an error) gives no picture but says so; a file this decode
// does not take gives neither, and the caller reads it the ordinary way then.
struct CheckedDecode {
    std::optional<QImage> image;
    bool damaged = false;
};
CheckedDecode decodeScaledChecked(const QByteArray &bytes, const Layout &layout, QSize scaledSize);

// A CMYK JPEG with an embedded CMYK profile, converted through that profile to sRGB (RGB32, with
// the sRGB colour space set). Decoded at the smallest of 1/8, 1/4, 1/2 or full scale that still
// covers `atLeast` (in stored orientation; an empty size asks for full scale). Neither picture nor
// damage when the file is no such JPEG or its profile is unusable (the caller reads it without).
CheckedDecode decodeCmykWithProfile(const QByteArray &bytes, const Layout &layout, QSize atLeast = QSize());

// A CMYK JPEG converted as Qt's reader converts one, ignoring any profile (RGB32, each channel
// black × ink / 255), at the same scales; damaged when its data ends early.
CheckedDecode decodeCmykAsReader(const QByteArray &bytes, const Layout &layout, QSize atLeast = QSize());

// What Qt's reader attaches to a JPEG's picture, for a picture decoded here instead: its text
// entries, its density in dots per metre and, for RGB or grey pixels, its embedded profile.
void attachReaderMetadata(QImage &image, const QImageReader &reader, const Layout &layout);

// The image without its colour space when that space's profile is not for RGB pixels: Qt's reader
// converts a CMYK picture to RGB on its own but keeps the CMYK profile, which no writer may copy
// into a file of RGB pixels.
QImage withoutForeignProfile(QImage image);

} // namespace JpegFile
