#pragma once

#include <functional>

// Runs independent pieces of canvas work (building annotation entries, painting bands of a layer)
// on the application's thread pool and the calling thread together, and returns when all are done.
//
// The pool's threads are kept between calls, and with them their font caches: text measured or
// drawn on them finds its font engines already loaded the next time.
namespace ParallelWork {

// Calls work(i) once for every i in 0…count−1, in no particular order and possibly at the same
// time on several threads. Pieces the pool cannot start at once are done by the calling thread,
// so a busy pool slows the work down but never stalls it.
void forEach(int count, const std::function<void(int)> &work);

} // namespace ParallelWork
