#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

// Items made one after another on a thread of their own, at most a couple ahead of the one who
// takes them, so that making the next one and using the last one run side by side. The producer
// gives nothing once it is done; what it throws reaches the taker after the items made before.
template <typename Item>
class ProducedAhead {
public:
    explicit ProducedAhead(std::function<std::optional<Item>()> produce) : m_produce(std::move(produce))
    {
        try {
            m_thread = std::thread([this] { run(); });
        } catch (const std::system_error &) {
            m_inline = true; // no thread to be had: made on the taker's
        }
    }

    // Stops the producer after the item it is making and waits for it.
    ~ProducedAhead()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    ProducedAhead(const ProducedAhead &) = delete;
    ProducedAhead &operator=(const ProducedAhead &) = delete;

    // The next item in order; nothing after the last; rethrows what the producer threw.
    std::optional<Item> next()
    {
        if (m_inline)
            return m_produce();
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_ready.empty() || m_finished; });
        if (!m_ready.empty()) {
            Item item = std::move(m_ready.front());
            m_ready.pop_front();
            m_changed.notify_all();
            return item;
        }
        if (m_error)
            std::rethrow_exception(std::exchange(m_error, nullptr));
        return std::nullopt;
    }

private:
    static constexpr size_t maxAhead = 2;

    void run()
    {
        try {
            for (;;) {
                {
                    std::unique_lock lock(m_mutex);
                    m_changed.wait(lock, [&] { return m_ready.size() < maxAhead || m_stopped; });
                    if (m_stopped)
                        break;
                }
                std::optional<Item> item = m_produce();
                if (!item)
                    break;
                const std::lock_guard lock(m_mutex);
                m_ready.push_back(std::move(*item));
                m_changed.notify_all();
            }
        } catch (...) {
            const std::lock_guard lock(m_mutex);
            m_error = std::current_exception();
        }
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        m_changed.notify_all();
    }

    std::function<std::optional<Item>()> m_produce;
    bool m_inline = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_ready;
    std::exception_ptr m_error;
    bool m_stopped = false;
    bool m_finished = false;
    std::thread m_thread; // started in the constructor's body, once every member is there
};
