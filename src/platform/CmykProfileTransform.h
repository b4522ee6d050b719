#pragma once

#include <QByteArray>

#include <lcms2.h>

// Owns the profiles and the transform from 8-bit CMYK ink, through the picture's own CMYK profile,
// to QImage RGB32 pixels in sRGB (bytes B, G, R, A in memory). `transform` stays null when the
// profile cannot serve. A profile whose tables declare more than it holds is not handed to the
// library, which would allocate them as declared first.
struct CmykProfileTransform {
    cmsHPROFILE input = nullptr;
    cmsHPROFILE output = nullptr;
    cmsHTRANSFORM transform = nullptr;

    // `inverted`: ink stored as 255 for none and 0 for full, as Adobe's JPEGs hold it.
    CmykProfileTransform(const QByteArray &profile, bool inverted);
    ~CmykProfileTransform();
    CmykProfileTransform(const CmykProfileTransform &) = delete;
    CmykProfileTransform &operator=(const CmykProfileTransform &) = delete;
};
