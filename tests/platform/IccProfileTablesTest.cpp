#include "platform/IccProfileTables.h"
#include "platform/JpegFile.h"
#include "support/ColourTestFiles.h"
#include "support/JpegTestFiles.h"
#include "support/ProfileTestFiles.h"

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

// What is reserved for a profile covers what the colour management library holds while it reads
// the profile and builds its transform (its copy of the profile and several widened copies of the
// grid, about 9 bytes an entry for an 8-bit lut), without reserving far more than that.
TEST(IccProfileTables, EstimateCoversWhatTheLibraryHolds)
{
    using ProfileTestFiles::GridTable;
    const std::pair<int, GridTable> profiles[] = { { 40, GridTable::lut8 }, { 48, GridTable::lut8 },
                                                   { 40, GridTable::aToB8 }, { 25, GridTable::floatStages } };
    for (const auto &[points, table] : profiles) {
        const QByteArray profile = ProfileTestFiles::cmykGridProfile(points, table);
        const qint64 held = ProfileTestFiles::libraryPeakBytes(profile, true);
        const std::optional<qint64> estimate = IccProfileTables::workingBytes(profile);
        const QString which = QStringLiteral("%1 points, table %2").arg(points).arg(int(table));
        ASSERT_GT(held, 0) << qPrintable(which);
        ASSERT_TRUE(estimate) << qPrintable(which);
        EXPECT_GE(*estimate, held) << qPrintable(which);
        EXPECT_LE(double(*estimate), 1.25 * double(held)) << qPrintable(which);
    }
}

// The checker refuses no profile the library reads: float elements whose position table gives
// their sizes without their headers (as the library writes them), and a directory longer than the
// library's limit, of which it would read the first entries.
TEST(IccProfileTables, ProfilesTheLibraryReadsAreMeasured)
{
    const QByteArray floats = ProfileTestFiles::cmykGridProfile(9, ProfileTestFiles::GridTable::floatStages);
    ASSERT_GT(ProfileTestFiles::libraryPeakBytes(floats, true), 0);
    EXPECT_TRUE(IccProfileTables::workingBytes(floats));
    // ... and a picture with it goes through it.
    const QByteArray jpeg = ColourTestFiles::cmykJpeg(QSize(32, 16), 0, 0, 0, 128, floats);
    const auto layout = JpegFile::layout(jpeg);
    ASSERT_TRUE(layout);
    EXPECT_TRUE(JpegFile::decodeCmykWithProfile(jpeg, *layout).image);
    // A grid that declares more than the elements hold is still refused.
    QByteArray bogus = floats;
    const qsizetype grid = bogus.indexOf("clut");
    ASSERT_GT(grid, 0);
    for (int i = 0; i < 4; ++i)
        bogus[grid + 12 + i] = char(60);
    EXPECT_FALSE(IccProfileTables::workingBytes(bogus));

    const QByteArray longDirectory = ProfileTestFiles::withExtraTags(ColourTestFiles::warmCmykProfile(), 120);
    if (ProfileTestFiles::libraryPeakBytes(longDirectory, true) > 0) {
        EXPECT_TRUE(IccProfileTables::workingBytes(longDirectory));
    }
    EXPECT_GE(IccProfileTables::workingBytes(longDirectory).value_or(0),
              IccProfileTables::workingBytes(ColourTestFiles::warmCmykProfile()).value_or(1));
}
