#pragma once

// The ffmpeg command-line tool as the peer of the video benchmarks, timed in the same run.
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <cstdio>

namespace FfmpegPeer {

// Runs the tool with the arguments (quiet, no input) and returns its wall time in milliseconds.
inline double run(const QStringList &arguments)
{
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-nostdin"} + arguments);
    process.waitForFinished(-1);
    if (process.exitCode() != 0)
        std::fprintf(stderr, "ffmpeg failed: %s\n", process.readAllStandardError().constData());
    return double(timer.nsecsElapsed()) / 1e6;
}

// The tool's time to decode the one frame at `seconds`.
inline double frameAt(const QString &video, double seconds)
{
    return run({"-ss", QString::number(seconds, 'f', 6), "-i", video, "-frames:v", "1", "-f", "null", "-"});
}

} // namespace FfmpegPeer
