#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"
#include "platform/DecodeBudget.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

// Peak memory is read in a child process (this test program run again on one test), so what other
// tests allocated does not count.
namespace {

constexpr char childVariable[] = "KIVORA_PEAK_MEMORY_PROJECT";

// The peak resident memory of this process so far, in bytes (VmHWM).
qint64 peakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression line(QStringLiteral("VmHWM:\\s*(\\d+)\\s*kB"));
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : -1;
}

// A 14000 × 14000 one-bit picture, all black: 196 megapixels in about 24 KB of PNG.
QByteArray hugeOneBitPng()
{
    QImage image(14000, 14000, QImage::Format_Mono);
    image.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    image.fill(0);
    return TestSupport::encodedImage(image, "PNG");
}

} // namespace

// Runs only as the child: opens the project named in the environment and reports the peak.
TEST(ProjectMemory, ChildOpensTheProject)
{
    const QString project = qEnvironmentVariable(childVariable);
    if (project.isEmpty())
        GTEST_SKIP() << "runs only as the child of CraftedProjectOfHugePicturesStaysWithinTheBudget";
    QTemporaryDir dir;
    QSettings settings { dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat };
    MarkupViewModel model { settings };
    ASSERT_TRUE(model.openProject(project));
    ASSERT_EQ(model.items().size(), 8u);
    ASSERT_EQ(model.comparisonPairs().size(), 1u);
    for (const ImageMarkupItem &item : model.items()) {
        EXPECT_EQ(item.image.size(), QSize(14000, 14000));
        EXPECT_EQ(item.thumbnail.size(), QSize(96, 96));
        EXPECT_EQ(item.thumbnail.image().pixel(50, 50), qRgb(0, 0, 0));
    }
    // One full picture, decoded on demand, is whole and black.
    const QImage full = model.items().back().image.image();
    ASSERT_EQ(full.size(), QSize(14000, 14000));
    EXPECT_EQ(full.pixel(13999, 13999), qRgb(0, 0, 0));
    std::printf("peak-bytes=%lld\n", static_cast<long long>(peakResidentBytes()));
}

TEST(ProjectMemory, CraftedProjectOfHugePicturesStaysWithinTheBudget)
{
    if (!qEnvironmentVariableIsEmpty(childVariable))
        GTEST_SKIP();
    QTemporaryDir dir;
    const QByteArray png = hugeOneBitPng();
    ASSERT_LT(png.size(), 64 * 1024);
    MarkupProjectDocument document;
    document.version = 1;
    for (int i = 0; i < 8; ++i) {
        MarkupProjectImage record;
        record.id = QUuid::createUuid();
        record.fileName = QStringLiteral("scan%1.png").arg(i);
        record.imageData = png;
        record.pixelWidth = 14000;
        record.pixelHeight = 14000;
        document.images.push_back(record);
    }
    document.comparisonPairs.push_back({ QUuid::createUuid(),
                                         { QStringLiteral("before.png"), png, 14000, 14000 },
                                         { QStringLiteral("after.png"), png, 14000, 14000 } });
    const auto encoded = document.encode();
    ASSERT_TRUE(std::holds_alternative<QByteArray>(encoded));
    const QString path
        = TestSupport::writeFile(dir.filePath(QStringLiteral("crafted.kivo")), std::get<QByteArray>(encoded));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childVariable), path);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--gtest_filter=ProjectMemory.ChildOpensTheProject") });
    ASSERT_TRUE(child.waitForFinished(300'000));
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    ASSERT_EQ(child.exitCode(), 0) << qPrintable(output);
    const QRegularExpressionMatch peak = QRegularExpression(QStringLiteral("peak-bytes=(\\d+)")).match(output);
    ASSERT_TRUE(peak.hasMatch()) << qPrintable(output);
    const qint64 bytes = peak.captured(1).toLongLong();
    std::printf("peak resident memory of the crafted open: %lld MB\n", static_cast<long long>(bytes >> 20));
    // The budget plus a margin for the program itself and the one picture decoded at the end
    // (and, in a sanitizer build, for its shadow memory and the freed blocks it holds back).
    qint64 margin = qint64(512) << 20;
#if defined(__SANITIZE_ADDRESS__)
    margin += qint64(1) << 30;
#endif
    EXPECT_LT(bytes, DecodeBudget::defaultLimit + margin);
}
