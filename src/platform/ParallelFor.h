#pragma once

#include <QtGlobal>

#include <functional>

// Runs work items on Qt's global thread pool and waits for them, for one-call operations (import,
// project open) that stay synchronous for their caller but should use every core inside.
namespace ParallelFor {

// Calls body(i) once for every i in 0 … count − 1 and returns when all calls have finished. The
// calling thread takes part, so it makes progress even when the pool is busy. Calls run in no
// particular order; body must be safe to run concurrently for different i.
void forEachIndex(qsizetype count, const std::function<void(qsizetype)> &body);

} // namespace ParallelFor
