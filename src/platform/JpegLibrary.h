#pragma once

#include <QByteArray>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// What every use of the JPEG library here shares: errors that jump back to the caller instead of
// ending the process, warnings kept quiet (still counted in num_warnings), and decoding from
// bytes in memory. The caller's setjmp must sit in the function that calls the library, with only
// plain C objects alive between it and the calls, so that the jump skips no destructor.
namespace JpegLibrary {

struct ErrorExit {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// The error manager to put in the (de)compressor's err field before setjmp.
jpeg_error_mgr *quietErrors(ErrorExit &error);

// Creates the decompressor on the bytes and reads the header: false (after destroying it) when
// the header is not there or the picture exceeds the pixel cap. Call after setjmp.
bool readHeader(jpeg_decompress_struct &info, const QByteArray &bytes);

} // namespace JpegLibrary
