#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <functional>

namespace ShellTest {

// Runs the event loop until the condition holds or the time is up; returns the condition. The
// bound is generous: it is only reached on a real fault, never by a slow machine.
inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

// Delivers what is already queued (queued calls, zero-time timers, layout requests) and what that
// queues in turn, for a fixed number of rounds: enough for work that finishes within the event loop
// without waiting on a clock or a thread. Anything that waits on those needs waitUntil.
inline void settle(int rounds = 8)
{
    for (int round = 0; round < rounds; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// Runs the event loop for a while, only for checks that something did NOT happen: a slow machine
// can make such a check miss a fault, never fail on sound code.
inline void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

} // namespace ShellTest
