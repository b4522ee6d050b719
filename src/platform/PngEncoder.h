#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

// PNG files of opaque pictures (rendered exports), written with libspng.
//
// Two ways of compressing compete on a sample of the rows, and the smaller one encodes the whole
// picture. Photographs: each byte predicted from the average of its left and upper neighbours,
// then run-length deflate. Sensor noise leaves almost no repeated strings to find, so searching for
// them (zlib's default) costs time and gains under a percent; this is several times faster at
// the same size. Screenshots and drawings: the filter chosen per row and deflate at level 2, whose
// string matches catch repeated glyphs and flat areas that run-length coding would miss.
namespace PngEncoder {

// 8-bit RGB PNG of the image, alpha (if any) dropped; the resolution is kept as pHYs. Nothing for an
// empty image or when encoding fails.
std::optional<QByteArray> encodeOpaque(const QImage &image);

// The image data of a PNG: its IDAT payloads joined, one zlib stream of rows each led by its filter
// byte (what a PDF Flate stream with PNG predictors holds). Reuses the bytes in place; nothing when
// the data is not a well-formed PNG.
std::optional<QByteArray> imageData(QByteArray png);

} // namespace PngEncoder
