#pragma once

#include <QByteArray>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// What every use of the JPEG library here shares: errors that jump back to the caller instead of
// ending the process, warnings kept quiet (still counted in num_warnings), a bound on the scans a
// decode goes through, and decoding from bytes in memory. The caller's setjmp must sit in the function that calls the library, with only
// plain C objects alive between it and the calls, so that the jump skips no destructor.
namespace JpegLibrary {

// A progressive file may split its picture into any number of scans, each one a pass over the
// whole picture: a few kilobytes of scans can keep the decoder busy for minutes. Real files have
// about ten; a decode stops with an error past maxScans, or past fewer for a large picture, so
// that scans × blocks stays near what a few seconds decode (a scan costs some 40 ns a block).
constexpr int maxScans = 300;
constexpr int minScanLimit = 32;
constexpr qint64 scanWorkLimit = 80'000'000; // blocks × scans
// The scans a decode of a picture of this many 8 × 8 blocks (all components) goes through.
int scanLimit(qint64 blocks);

struct ErrorExit {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    jpeg_progress_mgr progress;
    // The entropy-coded data ran out before the picture did (the decoder fills the rest with grey
    // and only warns).
    bool dataEndedEarly = false;
};

// The error manager to put in the (de)compressor's err field before setjmp.
jpeg_error_mgr *quietErrors(ErrorExit &error);

// Creates the decompressor on the bytes and reads the header: false (after destroying it) when
// the header is not there or the picture exceeds the pixel cap. Call after setjmp, with the
// error manager from quietErrors(): the decode then jumps back once it passes scanLimit().
bool readHeader(jpeg_decompress_struct &info, const QByteArray &bytes);

} // namespace JpegLibrary
