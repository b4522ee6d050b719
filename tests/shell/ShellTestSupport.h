#pragma once

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <functional>

namespace ShellTest {

using TestSupport::waitUntil;

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
