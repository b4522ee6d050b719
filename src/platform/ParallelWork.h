#pragma once

#include <functional>
#include <memory>

// Runs independent pieces of work (decoding imported or opened images, building annotation entries,
// painting bands of a layer) on one process-wide pool of our own and the calling thread together,
// and returns when all are done.
//
// The pool's threads are kept between calls, and with them their font caches: text measured or
// drawn on them finds its font engines already loaded the next time.
namespace ParallelWork {

// Calls work(i) once for every i in 0…count−1, in no particular order and possibly at the same
// time on several threads. Pieces the pool cannot start at once are done by the calling thread,
// so a busy pool slows the work down but never stalls it. When a piece throws, no further pieces
// are started, the running ones are waited for, and the first exception is rethrown here.
void forEach(int count, const std::function<void(int)> &work);

// One piece of work started on the same pool, so the calling thread can do something else in the
// meantime (a forEach inside it spreads over the pool's other threads). Waiting runs the work on
// the waiting thread when no pool thread has taken it up yet, so it never waits on a busy pool.
class Background {
public:
    explicit Background(std::function<void()> work);
    // Waits for the work: whatever it uses must outlive it.
    ~Background();
    Background(const Background &) = delete;
    Background &operator=(const Background &) = delete;

    // Rethrows, once, what the work threw.
    void wait();

private:
    struct State;
    std::shared_ptr<State> m_state;
    bool m_waited = false;
};

} // namespace ParallelWork
