#include "platform/CmykProfileTransform.h"

#include "platform/IccProfileTables.h"

CmykProfileTransform::CmykProfileTransform(const QByteArray &profile, bool inverted, int bitsPerSample)
{
    if (!IccProfileTables::workingBytes(profile))
        return;
    input = cmsOpenProfileFromMem(profile.constData(), cmsUInt32Number(profile.size()));
    if (!input || cmsGetColorSpace(input) != cmsSigCmykData)
        return;
    output = cmsCreate_sRGBProfile();
    if (!output)
        return;
    const cmsUInt32Number ink = bitsPerSample == 16 ? (inverted ? TYPE_CMYK_16_REV : TYPE_CMYK_16)
                                                    : (inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8);
    transform = cmsCreateTransform(input, ink, output, TYPE_BGRA_8,
                                   INTENT_PERCEPTUAL, 0);
}

CmykProfileTransform::~CmykProfileTransform()
{
    if (transform)
        cmsDeleteTransform(transform);
    if (output)
        cmsCloseProfile(output);
    if (input)
        cmsCloseProfile(input);
}
