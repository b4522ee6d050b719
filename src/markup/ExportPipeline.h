#pragma once

#include "platform/DecodeBudget.h"

#include <QImage>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>

// Exports of several pictures: each is rendered and encoded on a worker thread, as many at a time
// as there are cores and the shared decode budget allows, and the results are handed back on the
// calling thread in picture order (files written one by one, PDF pages appended in order).
namespace ExportPipeline {

// All cores: encoding is CPU-bound, and the decode budget, not the thread count, bounds the
// pictures in flight.
int workerCount();

// Bytes of the decode budget one picture in flight holds: its source, the rendered bitmap and
// roughly as much again for the encoded file.
qint64 budgetBytes(const QImage &picture);

// How many jobs run now. A job that ends frees its place at once, so the next picture starts as
// soon as any worker is free, not only when the oldest is done.
class Places {
public:
    explicit Places(int count)
        : m_count(count)
    {
    }
    void take();
    // Called once by every job that took a place, however it ends.
    void give();
    bool isFree();
    // Waits until a place is free.
    void waitForFree();

private:
    std::mutex m_mutex;
    std::condition_variable m_freed;
    int m_count;
    int m_taken = 0;
};

// For i = 0…count−1: picture(i) is fetched on the calling thread (a picture handle need not be safe
// to decode from several threads at once), work(i, picture) runs on a worker, and deliver(i, result)
// is called on the calling thread in index order, with nothing for a null picture. Results wait for
// their turn, at most twice as many as there are workers. When deliver returns false no further
// pictures are started; the running ones are waited for and dropped.
template <typename Result>
void run(size_t count, const std::function<QImage(size_t)> &picture, const std::function<Result(size_t, QImage)> &work,
         const std::function<bool(size_t, std::optional<Result>)> &deliver)
{
    struct Entry {
        size_t index;
        std::optional<std::future<Result>> future;
    };
    const int workers = workerCount();
    const size_t maxPending = 2 * size_t(workers);
    auto places = std::make_shared<Places>(workers);
    std::deque<Entry> pending;
    bool go = true;
    const auto deliverOldest = [&] {
        Entry entry = std::move(pending.front());
        pending.pop_front();
        std::optional<Result> result;
        if (entry.future)
            result = entry.future->get();
        if (go)
            go = deliver(entry.index, std::move(result));
    };
    const auto deliverReady = [&] {
        while (go && !pending.empty()
               && (!pending.front().future
                   || pending.front().future->wait_for(std::chrono::seconds(0)) == std::future_status::ready))
            deliverOldest();
    };
    for (size_t i = 0; i < count && go; ++i) {
        // The next picture starts before finished ones are delivered, so no worker waits while
        // results are written.
        while (go && (pending.size() >= maxPending || !places->isFree())) {
            if (pending.size() >= maxPending)
                deliverOldest();
            else
                places->waitForFree();
        }
        if (!go)
            break;
        QImage image = picture(i);
        if (image.isNull()) {
            pending.push_back({ i, std::nullopt });
            continue;
        }
        // Running pictures share the decode budget with imports and project opens elsewhere; one
        // always runs, however large. The share is given back once the picture is encoded.
        auto held = std::make_shared<DecodeBudget::Reservation>(budgetBytes(image));
        places->take();
        auto job = [held, places, i, image = std::move(image), &work]() mutable {
            struct Leave {
                Places &places;
                ~Leave() { places.give(); }
            } leave { *places };
            Result result = work(i, std::move(image));
            held->release();
            return result;
        };
        if (workers <= 1) {
            std::promise<Result> done;
            done.set_value(job());
            pending.push_back({ i, done.get_future() });
        } else {
            try {
                pending.push_back({ i, std::async(std::launch::async, job) });
            } catch (const std::system_error &) {
                // No thread to be had: do this one here.
                std::promise<Result> done;
                done.set_value(job());
                pending.push_back({ i, done.get_future() });
            }
        }
        deliverReady();
    }
    while (!pending.empty())
        deliverOldest();
}

} // namespace ExportPipeline
