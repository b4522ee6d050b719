#pragma once

// Inputs and timing shared by the compression benchmarks (header only: every bench/*.cpp is one
// program of its own).

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

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

// Times a peer that takes many files at once, as its strongest setup on two cores runs it: the
// files split in two halves, one process each, both at the same time (no process started per
// file, both cores busy). A negative value when the tool is missing or fails.
inline double peerMillisInTwoProcesses(const QString &program, const QStringList &files,
                                       const std::function<QStringList(const QStringList &)> &arguments)
{
    if (!has(program))
        return -1;
    const qsizetype half = (files.size() + 1) / 2;
    const QStringList halves[2] = {files.mid(0, half), files.mid(half)};
    bool ok = true;
    const double elapsed = millis([&] {
        QProcess processes[2];
        for (int k = 0; k < 2; ++k) {
            if (halves[k].isEmpty())
                continue;
            processes[k].setProcessChannelMode(QProcess::ForwardedErrorChannel);
            processes[k].setStandardOutputFile(QProcess::nullDevice());
            processes[k].start(program, arguments(halves[k]));
        }
        for (int k = 0; k < 2; ++k) {
            if (halves[k].isEmpty())
                continue;
            ok = processes[k].waitForFinished(-1) && processes[k].exitStatus() == QProcess::NormalExit
              && processes[k].exitCode() == 0 && ok;
        }
    });
    return ok ? elapsed : -1;
}

// `count` distinct camera-like photos (4000 × 3000, quality about 92) in the folder, named
// `<stem><i>.jpg`: successive frames of ffmpeg's testsrc2 with strong grain (noise=alls=25, new
// noise every frame), which entropy-code like real photos. Without ffmpeg, photoLike pictures
// with distinct seeds, which code more cheaply (said on standard error).
inline QStringList cameraLikePhotos(const QString &folder, int count, const QString &stem = QStringLiteral("photo"))
{
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << QDir(folder).filePath(QStringLiteral("%1%2.jpg").arg(stem).arg(i));
    if (has(QStringLiteral("ffmpeg"))) {
        QProcess ffmpeg;
        ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        ffmpeg.setStandardOutputFile(QProcess::nullDevice());
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     { "-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=4000x3000:rate=5", "-vf",
                       "noise=alls=25:allf=t", "-frames:v", QString::number(count), "-q:v", "2", "-start_number", "0",
                       QDir(folder).filePath(stem + "%d.jpg") });
        if (ffmpeg.waitForFinished(-1) && ffmpeg.exitCode() == 0
            && std::all_of(files.begin(), files.end(), [](const QString &f) { return QFile::exists(f); }))
            return files;
    }
    std::fprintf(stderr, "ffmpeg missing or failed: synthetic photos instead (cheaper to code)\n");
    for (int i = 0; i < count; ++i) {
        QImageWriter writer(files[i], "jpeg");
        writer.setQuality(92);
        writer.write(photoLike(4000, 3000, unsigned(1000 + i)));
    }
    return files;
}

// The load average over the last minute, as /proc/loadavg gives it.
inline QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 0)
                                          : QStringLiteral("?");
}

// Minimum and median of some rounds.
struct Spread {
    double min = 0, median = 0;
};
inline Spread spread(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return { values.front(), values[values.size() / 2] };
}

} // namespace CompressionBench
