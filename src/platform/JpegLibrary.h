#pragma once

#include <QByteArray>

#include <csetjmp>
#include <cstdio>
#include <functional>

#include <jpeglib.h>

// What every use of the JPEG library here shares: errors that jump back out instead of ending the
// process, warnings kept quiet (still counted in num_warnings) unless they mean data the decoder
// could not read, a bound on the scans a decode goes through, the pixel cap, and decoding from
// bytes in memory.
//
// The one setjmp sits in decompress() and compress(); the work they are given runs inside them, so
// a failing library call jumps out of that work straight back there, which then destroys the
// (de)compressor. The jump skips destructors: the work must hold no object that needs one (a
// QImage, a std::vector…) in its own locals while it calls the library; objects it reaches through
// references live outside the jump and stay as they were when the library failed.
namespace JpegLibrary {

// A progressive file may split its picture into any number of scans, each one a pass over the
// blocks of the components it codes: a few kilobytes of scans can keep the decoder busy for
// minutes. Real files have about ten, a few dozen at most; a decode stops with an error past
// maxScans, or once the blocks its scans went through pass scanWorkLimit (a scan costs some 40 ns
// a block), so that it stays near what a few seconds decode. minScans scans always go through.
constexpr int maxScans = 300;
constexpr int minScans = 32;
constexpr qint64 scanWorkLimit = 80'000'000; // blocks summed over the scans
// Whether a decode goes through this many scans, whose components hold `scanBlocks` blocks summed
// over the scans.
bool isWithinScanWork(int scans, qint64 scanBlocks);

struct ErrorExit {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    jpeg_progress_mgr progress;
    // Blocks of the scans met so far, each scan counted once, and the last one counted.
    qint64 scanBlocks = 0;
    int countedScan = 0;
};

// Work on a decompressor whose header is read; `error` tells the warnings met so far.
using DecompressWork = std::function<void(jpeg_decompress_struct &info, const ErrorExit &error)>;
// Work on a fresh compressor (the caller sets its destination and parameters).
using CompressWork = std::function<void(jpeg_compress_struct &info)>;

// Creates a decompressor on the bytes, reads the header and runs `work` on it, then destroys the
// decompressor. False when the header is not there, the picture exceeds the pixel cap (`work` not
// run), or a library call failed, in the header or in `work` (which then stops at that call). A
// decode fails so past the scans isWithinScanWork() allows, and as soon as the decoder finds
// that it cannot read the picture's data whole, where it would only warn and fill the rest with
// grey: scan data that runs out (or the file, except after the one scan of a Huffman-coded file
// in sequence, whose decoder says itself when it lacks data), restart markers out of place, or
// data the arithmetic decoder cannot follow (it skips the rest of the interval).
bool decompress(const QByteArray &bytes, const DecompressWork &work);

// Creates a compressor, runs `work` on it and destroys it; false when a library call in `work`
// failed (`work` then stops at that call).
bool compress(const CompressWork &work);

} // namespace JpegLibrary
