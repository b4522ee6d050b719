#pragma once

// The ffmpeg command-line tool as the peer of the video benchmarks, and what those benchmarks share:
// the test video, rounds summarised as minimum and median, and a run pinned to two cores beside one
// on all cores.
//
// The tool runs as a plain process (posix_spawn, as a shell starts it), not through QProcess: a fork
// of a large process costs the peer time that is not its own. Its strongest configuration for these
// jobs is two decoding threads (`-threads 2`): a single frame gains nothing from more, and pinned to
// two cores more only contend.
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char **environ;

namespace FfmpegPeer {

// Runs a program with the arguments (its standard output discarded when `quiet`); returns its wall
// time in milliseconds, or -1 when it could not be started or failed.
inline double runProgram(const QString &program, const QStringList &arguments, bool quiet = true)
{
    std::vector<std::string> words{program.toStdString()};
    for (const QString &argument : arguments)
        words.push_back(argument.toStdString());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "could not start %s\n", argv[0]);
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        return -1;
    }
    return ms;
}

// The tool, quiet, reading no input, with two decoding threads.
inline double run(const QStringList &arguments)
{
    return runProgram(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-nostdin", "-threads", "2"} + arguments);
}

// The tool's time to decode the one frame at `seconds`.
inline double frameAt(const QString &video, double seconds)
{
    return run({"-ss", QString::number(seconds, 'f', 6), "-i", video, "-frames:v", "1", "-f", "null", "-"});
}

// Camera-like 1080p30 H.264: the test pattern under moving sensor noise, so that every frame is
// distinct and costs what a real recording costs to decode (about 20 Mbit/s, a phone's rate); one
// long group of pictures (-g 250).
inline bool makeVideo(const QString &path, int seconds)
{
    std::printf("making the test video (1920x1080, %d s, H.264 with noise)...\n", seconds);
    std::fflush(stdout);
    return runProgram(QStringLiteral("ffmpeg"),
                      {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                       "testsrc2=size=1920x1080:rate=30,noise=alls=10:allf=t+u", "-t", QString::number(seconds),
                       "-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-g", "250", "-pix_fmt", "yuv420p",
                       path})
        >= 0;
}

struct Summary {
    double min = 0;
    double median = 0;
};

inline Summary summary(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return Summary{values.front(), values[values.size() / 2]};
}

inline void header()
{
    std::printf("%-44s %19s %19s %13s\n", "operation (min / median)", "ours ms", "ffmpeg ms", "ratio");
}

// Ours and the peer over the rounds; the ratio of the minima and of the medians.
inline void row(const char *name, const std::vector<double> &ours, const std::vector<double> &peer, const char *goal)
{
    const Summary a = summary(ours);
    const Summary b = summary(peer);
    std::printf("%-44s %9.1f /%8.1f %9.1f /%8.1f %6.2f /%5.2f   goal %s\n", name, a.min, a.median, b.min, b.median,
                b.min > 0 ? a.min / b.min : 0, b.median > 0 ? a.median / b.median : 0, goal);
}

// Ours alone over the rounds.
inline void ownRow(const char *name, const std::vector<double> &ours, const char *goal)
{
    const Summary a = summary(ours);
    std::printf("%-44s %9.2f /%8.2f %19s %13s   goal %s\n", name, a.min, a.median, "-", "-", goal);
}

inline double loadAverage()
{
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

// Runs this program twice more, with `run` and the test video as arguments: pinned to cores 6 and 7
// (taskset), then on all cores. Returns the exit status.
inline int runPinnedAndOnAllCores(const QString &video, const QStringList &extra)
{
    const QString self = QCoreApplication::applicationFilePath();
    std::printf("\n== pinned: taskset -c 6,7 (load average %.1f) ==\n", loadAverage());
    std::fflush(stdout);
    const bool pinned = runProgram(QStringLiteral("taskset"), QStringList{"-c", "6,7", self, "run", video} + extra, false) >= 0;
    std::printf("\n== all %ld cores (load average %.1f) ==\n", sysconf(_SC_NPROCESSORS_ONLN), loadAverage());
    std::fflush(stdout);
    const bool all = runProgram(self, QStringList{"run", video} + extra, false) >= 0;
    return pinned && all ? 0 : 1;
}

} // namespace FfmpegPeer
