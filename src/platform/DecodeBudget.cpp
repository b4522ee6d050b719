#include "platform/DecodeBudget.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace DecodeBudget {

namespace {

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    qint64 limit = defaultLimit;
    qint64 reserved = 0;
};

State &state()
{
    // Never destroyed: reservations may end during static destruction.
    static State *const instance = new State;
    return *instance;
}

} // namespace

qint64 limit()
{
    State &s = state();
    const std::lock_guard lock(s.mutex);
    return s.limit;
}

void setLimit(qint64 bytes)
{
    State &s = state();
    {
        const std::lock_guard lock(s.mutex);
        s.limit = std::max<qint64>(bytes, 0);
    }
    s.changed.notify_all();
}

qint64 reservedBytes()
{
    State &s = state();
    const std::lock_guard lock(s.mutex);
    return s.reserved;
}

qint64 pixelBytes(qint64 width, qint64 height, int bitsPerPixel, int extraBytesPerPixel)
{
    const qint64 pixels = std::max<qint64>(width, 0) * std::max<qint64>(height, 0);
    return (pixels * std::max(bitsPerPixel, 1) + 7) / 8 + pixels * std::max(extraBytesPerPixel, 0);
}

Reservation::Reservation(qint64 bytes)
    : m_bytes(std::max<qint64>(bytes, 0))
{
    State &s = state();
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] { return s.reserved == 0 || s.reserved + m_bytes <= s.limit; });
    s.reserved += m_bytes;
}

Reservation::~Reservation() { release(); }

Reservation::Reservation(Reservation &&other) noexcept
    : m_bytes(std::exchange(other.m_bytes, 0))
{
}

Reservation &Reservation::operator=(Reservation &&other) noexcept
{
    if (this != &other) {
        release();
        m_bytes = std::exchange(other.m_bytes, 0);
    }
    return *this;
}

void Reservation::release()
{
    if (m_bytes == 0)
        return;
    State &s = state();
    {
        const std::lock_guard lock(s.mutex);
        s.reserved -= std::exchange(m_bytes, 0);
    }
    s.changed.notify_all();
}

} // namespace DecodeBudget
