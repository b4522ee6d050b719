#include <gtest/gtest.h>

#include "platform/DecodeBudget.h"
#include "platform/VideoAsset.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

extern "C" {
#include <libavutil/mem.h>
}

namespace {

QByteArray videoAtom(const char *type, const QByteArray &body)
{
    QByteArray atom;
    const quint32 size = quint32(8 + body.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        atom.append(char((size >> shift) & 0xFF));
    return atom.append(type, 4).append(body);
}

} // namespace

TEST(VideoAssetLimits, ASampleTableAskingForGigabytesFailsWithinTheCap)
{
    QTemporaryDir dir;
    // A track, then a compact sample-size table of four-bit entries declaring half a billion
    // samples: the demuxer asks for four bytes a sample, about 2 GB, before it reads any of them.
    const QByteArray sizes = QByteArray("\0\0\0\0\0\0\0\x04\x1F\xFF\xFF\x00", 12);
    const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("table.mp4")),
                                                videoAtom("trak", {}) + videoAtom("stz2", sizes));
    EXPECT_FALSE(VideoAsset::load(path));
    // Once a video has been opened, no request of FFmpeg's beyond the decode budget is granted.
    void *beyond = av_malloc(size_t(DecodeBudget::defaultLimit) + 1);
    EXPECT_EQ(beyond, nullptr);
    av_free(beyond);
    void *within = av_malloc(size_t(1) << 20);
    EXPECT_NE(within, nullptr);
    av_free(within);
}
