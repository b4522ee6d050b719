#pragma once

// Timing and memory helpers shared by the benchmark programs.

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include <sched.h>
#include <unistd.h>

namespace BenchSupport {

// Restricts this process (and the peers it starts) to the given cores; an empty list allows all.
inline void useCores(const std::vector<int> &cores)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    for (long k = 0; k < online; ++k) {
        if (cores.empty() || std::find(cores.begin(), cores.end(), int(k)) != cores.end())
            CPU_SET(int(k), &set);
    }
    sched_setaffinity(0, sizeof(set), &set);
}

using Clock = std::chrono::steady_clock;

inline double ms(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs `run` `rounds` times and prints the median, the 95th percentile and the worst time.
inline void report(const char *name, double goal, int rounds, const std::function<void(int)> &run)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        run(i);
        times.push_back(ms(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("%-46s median %7.3f ms  p95 %7.3f ms  worst %7.3f ms  (goal %.0f ms)\n", name,
                times[times.size() / 2], times[times.size() * 95 / 100], times.back(), goal);
}

// A value of /proc/self/status in MB: "VmHWM:" (peak resident) or "VmRSS:" (resident now).
inline double statusMB(const char *key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

} // namespace BenchSupport
