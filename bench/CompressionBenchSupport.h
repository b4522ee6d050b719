#pragma once

// Inputs and timing shared by the compression benchmarks (header only: every bench/*.cpp is one
// program of its own).

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

namespace CompressionBench {

// A picture with smooth gradients and grain, which codes like a photo.
inline QImage photoLike(int width, int height, unsigned seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width, fy = double(y) / height;
            const int n = noise(random);
            row[x] = qRgb(std::clamp(int(200 * fx + 40 * std::sin(fy * 9 + seed)) + n, 0, 255),
                          std::clamp(int(128 + 90 * std::sin(fx * 14 + fy * 5)) + n, 0, 255),
                          std::clamp(int(220 * fy) - n, 0, 255));
        }
    }
    return image;
}

inline double millis(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

inline bool has(const QString &program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

// Runs the command; false when it fails.
inline bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Times a peer over every file; a negative value when the tool is missing or fails.
inline double peerMillis(const QString &program, const QStringList &files,
                         const std::function<QStringList(const QString &, int)> &arguments)
{
    if (!has(program))
        return -1;
    bool ok = true;
    const double elapsed = millis([&] {
        for (int i = 0; i < files.size() && ok; ++i)
            ok = run(program, arguments(files[i], i));
    });
    return ok ? elapsed : -1;
}

} // namespace CompressionBench
