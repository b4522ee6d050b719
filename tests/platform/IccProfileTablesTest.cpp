#include "platform/IccProfileTables.h"
#include "platform/JpegFile.h"
#include "support/ColourTestFiles.h"
#include "support/JpegTestFiles.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

quint32 iccWord(const QByteArray &bytes, qsizetype at)
{
    return (quint32(quint8(bytes[at])) << 24) | (quint32(quint8(bytes[at + 1])) << 16)
        | (quint32(quint8(bytes[at + 2])) << 8) | quint32(quint8(bytes[at + 3]));
}

// Where the profile's AToB0 table starts.
qsizetype aToB0(const QByteArray &profile)
{
    for (quint32 i = 0; i < iccWord(profile, 128); ++i) {
        if (profile.mid(132 + 12 * i, 4) == "A2B0")
            return qsizetype(iccWord(profile, 136 + 12 * i));
    }
    return -1;
}

// The profile with its AToB0 grid declaring `points` on every side, its data left as it was.
QByteArray withGridPoints(QByteArray profile, int points)
{
    const qsizetype table = aToB0(profile);
    if (profile.mid(table, 4) == "mft2") {
        profile[table + 10] = char(points);
    } else {
        const qsizetype grid = table + qsizetype(iccWord(profile, table + 24));
        for (int i = 0; i < 4; ++i)
            profile[grid + i] = char(points);
    }
    return profile;
}

} // namespace

// A grid that declares more data than the profile holds is refused before the colour management
// library allocates it (75 points on four sides: some 190 MB); what a sound profile's tables take
// counts against the decode budget, and its picture still goes through it.
TEST(IccProfileTables, DeclaredTablesMustFitTheProfile)
{
    for (const double version : { 4.3, 2.1 }) {
        const QByteArray profile = ColourTestFiles::warmCmykProfile(version);
        ASSERT_GE(aToB0(profile), 0) << version;
        EXPECT_EQ(profile.mid(aToB0(profile), 4), version < 4 ? QByteArray("mft2") : QByteArray("mAB ")) << version;
        const std::optional<qint64> bytes = IccProfileTables::workingBytes(profile);
        ASSERT_TRUE(bytes) << version;
        EXPECT_GE(*bytes, 9 * 9 * 9 * 9 * 3 * 2) << version;
        EXPECT_FALSE(IccProfileTables::workingBytes(withGridPoints(profile, 75))) << version;
        EXPECT_FALSE(IccProfileTables::workingBytes(withGridPoints(profile, 10))) << version;
    }

    JpegTestFiles::Layout cmyk;
    cmyk.cmyk = true;
    cmyk.iccProfile = ColourTestFiles::warmCmykProfile();
    QImage picture(QSize(64, 48), QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QByteArray sound = JpegTestFiles::encoded(picture, cmyk);
    const auto soundLayout = JpegFile::layout(sound);
    ASSERT_TRUE(soundLayout);
    EXPECT_GE(JpegFile::decoderHeldBytes(*soundLayout), *IccProfileTables::workingBytes(cmyk.iccProfile));
    EXPECT_TRUE(JpegFile::decodeCmykWithProfile(sound, *soundLayout).image);

    // The bogus profile is not used: the picture is read as one without a profile.
    cmyk.iccProfile = withGridPoints(cmyk.iccProfile, 75);
    const QByteArray bogus = JpegTestFiles::encoded(picture, cmyk);
    const auto bogusLayout = JpegFile::layout(bogus);
    ASSERT_TRUE(bogusLayout);
    const JpegFile::CheckedDecode withProfile = JpegFile::decodeCmykWithProfile(bogus, *bogusLayout);
    EXPECT_FALSE(withProfile.image || withProfile.damaged);
    EXPECT_TRUE(JpegFile::decodeCmykAsReader(bogus, *bogusLayout).image);
}
