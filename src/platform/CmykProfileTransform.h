#pragma once

#include <QByteArray>

#include <lcms2.h>

// Owns the profiles and the transform from CMYK ink (8 or 16 bits), through the picture's own CMYK profile,
// to QImage RGB32 pixels in sRGB (bytes B, G, R, A in memory). `transform` stays null when the
// profile cannot serve. A profile whose tables declare more than it holds is not handed to the
// library, which would allocate them as declared first.
struct CmykProfileTransform {
    cmsHPROFILE input = nullptr;
    cmsHPROFILE output = nullptr;
    cmsHTRANSFORM transform = nullptr;

    // `inverted`: ink stored as 255 for none and 0 for full, as Adobe's JPEGs hold it.
    // `bitsPerSample`: 8, or 16 for ink of two bytes a sample in the machine's byte order.
    CmykProfileTransform(const QByteArray &profile, bool inverted, int bitsPerSample = 8);
    ~CmykProfileTransform();
    CmykProfileTransform(const CmykProfileTransform &) = delete;
    CmykProfileTransform &operator=(const CmykProfileTransform &) = delete;
};
