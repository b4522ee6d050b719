#pragma once

#include <QByteArray>

#include <csetjmp>
#include <cstdio>
#include <functional>

#include <jpeglib.h>

// What every use of the JPEG library here shares: errors that jump back out instead of ending the
// process, warnings kept quiet (still counted in num_warnings), a bound on the scans a decode goes
// through, the pixel cap, and decoding from bytes in memory.
//
// The one setjmp sits in decompress() and compress(); the work they are given runs inside them, so
// a failing library call jumps out of that work straight back there, which then destroys the
// (de)compressor. The jump skips destructors: the work must hold no object that needs one (a
// QImage, a std::vector…) in its own locals while it calls the library; objects it reaches through
// references live outside the jump and stay as they were when the library failed.
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

// Work on a decompressor whose header is read; `error` tells the warnings met so far.
using DecompressWork = std::function<void(jpeg_decompress_struct &info, const ErrorExit &error)>;
// Work on a fresh compressor (the caller sets its destination and parameters).
using CompressWork = std::function<void(jpeg_compress_struct &info)>;

// Creates a decompressor on the bytes, reads the header and runs `work` on it, then destroys the
// decompressor. False when the header is not there, the picture exceeds the pixel cap (`work` not
// run), or a library call failed, in the header or in `work` (which then stops at that call; past
// scanLimit() scans a decode fails so).
bool decompress(const QByteArray &bytes, const DecompressWork &work);

// Creates a compressor, runs `work` on it and destroys it; false when a library call in `work`
// failed (`work` then stops at that call).
bool compress(const CompressWork &work);

} // namespace JpegLibrary
