#include <gtest/gtest.h>

#include "markup/AnnotationRenderer.h"
#include "markup/ExportPipeline.h"
#include "markup/MarkupTestSupport.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

QImage gradientImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 255) / width, (y * 255) / height, (x * y) % 256));
    return image;
}

std::vector<MarkupAnnotation> markedUp()
{
    return { makeAnnotation(AnnotationKind::Arrow, { 0.1, 0.1 }, { 0.6, 0.7 }, QStringLiteral("箭头 1")),
             makeAnnotation(AnnotationKind::Rectangle, { 0.3, 0.2 }, { 0.9, 0.8 }, QStringLiteral("范围")),
             makeAnnotation(AnnotationKind::Text, { 0.2, 0.5 }, { 0.2, 0.5 }, QStringLiteral("说明文字")) };
}

} // namespace

TEST(ExportPipeline, ResultsArriveInOrderAndAStopStartsNothingMore)
{
    // Later pictures finish first; pictures 3 and 7 are missing.
    constexpr size_t count = 10;
    std::vector<size_t> delivered;
    std::atomic<int> running = 0, mostAtOnce = 0;
    const auto picture = [](size_t i) { return i == 3 || i == 7 ? QImage() : QImage(8, 8, QImage::Format_RGB32); };
    const std::function<size_t(size_t, QImage)> work = [&](size_t i, QImage) {
        const int now = ++running;
        int most = mostAtOnce;
        while (now > most && !mostAtOnce.compare_exchange_weak(most, now)) { }
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * int(count - i)));
        --running;
        return i * 10;
    };
    ExportPipeline::run<size_t>(count, picture, work, [&](size_t i, std::optional<size_t> result) {
        delivered.push_back(i);
        EXPECT_EQ(result.has_value(), i != 3 && i != 7) << i;
        EXPECT_EQ(result.value_or(i * 10), i * 10);
        return true;
    });
    EXPECT_EQ(delivered, (std::vector<size_t> { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 }));
    EXPECT_LE(mostAtOnce.load(), ExportPipeline::workerCount());

    delivered.clear();
    bool stopped = false;
    const auto fetchUnlessStopped = [&](size_t i) {
        EXPECT_FALSE(stopped) << "picture " << i << " fetched after the stop";
        return picture(i);
    };
    ExportPipeline::run<size_t>(count, fetchUnlessStopped, work, [&](size_t i, std::optional<size_t>) {
        delivered.push_back(i);
        stopped = i >= 4;
        return !stopped;
    });
    EXPECT_EQ(delivered, (std::vector<size_t> { 0, 1, 2, 3, 4 }));
}

TEST(ExportPipeline, ASlowPictureDoesNotHoldBackTheOthers)
{
    const int workers = ExportPipeline::workerCount();
    if (workers < 2)
        GTEST_SKIP() << "one worker";
    // The first picture takes until a later one is done; results still arrive in order.
    const size_t count = 12;
    const size_t later = std::min(count - 1, size_t(2 * workers - 1));
    std::mutex mutex;
    std::condition_variable done;
    bool laterDone = false;
    std::vector<size_t> delivered;
    ExportPipeline::run<bool>(
        count, [](size_t) { return QImage(4, 4, QImage::Format_RGB32); },
        [&](size_t i, QImage) {
            std::unique_lock lock(mutex);
            if (i == 0)
                return done.wait_for(lock, std::chrono::seconds(20), [&] { return laterDone; });
            laterDone = laterDone || i == later;
            done.notify_all();
            return true;
        },
        [&](size_t i, std::optional<bool> waited) {
            EXPECT_TRUE(waited.value_or(false)) << i;
            delivered.push_back(i);
            return true;
        });
    EXPECT_EQ(delivered.size(), count);
    EXPECT_TRUE(std::is_sorted(delivered.begin(), delivered.end()));
}

TEST(ExportPipeline, ExportedFilesHoldExactlyTheRenderedPixels)
{
    const std::vector<AnnotationRenderPage> pages { { ImageHandle(gradientImage(640, 480)), markedUp() },
                                                    { ImageHandle(gradientImage(333, 517)), markedUp() } };
    std::vector<QImage> rendered;
    for (const AnnotationRenderPage &page : pages) {
        rendered.push_back(*AnnotationRenderer::renderedBitmap(page.image.image(), page.annotations));
        const QImage png = QImage::fromData(*AnnotationRenderer::pngData(page.image.image(), page.annotations));
        ASSERT_EQ(png.size(), rendered.back().size());
        EXPECT_EQ(TestSupport::maxChannelDifference(png, rendered.back()), 0);
    }

    if (QStandardPaths::findExecutable(QStringLiteral("pdfimages")).isEmpty())
        GTEST_SKIP() << "pdfimages is not installed";
    QTemporaryDir dir;
    const QString path
        = TestSupport::writeFile(dir.filePath(QStringLiteral("pages.pdf")), *AnnotationRenderer::pdfData(pages));
    QProcess::execute(QStringLiteral("pdfimages"), { QStringLiteral("-png"), path, dir.filePath(QStringLiteral("p")) });
    for (size_t i = 0; i < pages.size(); ++i) {
        const QImage extracted(dir.filePath(QStringLiteral("p-%1.png").arg(i, 3, 10, QChar(u'0'))));
        ASSERT_EQ(extracted.size(), rendered[i].size()) << i;
        EXPECT_EQ(TestSupport::maxChannelDifference(extracted, rendered[i]), 0) << i;
    }
}
