#pragma once

#include <QtGlobal>

// One budget for the pixels being decoded or rendered at the same time, shared by every path that
// works on several pictures at once (import, project open, export, lazy decodes). The pixel cap
// bounds one picture; this bounds their sum, so a batch of large pictures on a many-core machine
// works through them a few at a time instead of holding them all at once.
namespace DecodeBudget {

// About a gigabyte of pixels in flight.
constexpr qint64 defaultLimit = qint64(1) << 30;

qint64 limit();
void setLimit(qint64 bytes);
// Bytes held by reservations now.
qint64 reservedBytes();

// Holds `bytes` of the budget while it lives. Waits until they fit beside the reservations held
// by others; when nothing else is held it goes ahead at once, whatever its size, so one picture
// alone always proceeds. A thread must not ask for a second reservation while holding one.
class Reservation {
public:
    explicit Reservation(qint64 bytes);
    ~Reservation();
    Reservation(Reservation &&other) noexcept;
    Reservation &operator=(Reservation &&other) noexcept;
    Reservation(const Reservation &) = delete;
    Reservation &operator=(const Reservation &) = delete;

    // Gives the bytes back now rather than at destruction.
    void release();

private:
    qint64 m_bytes = 0;
};

// Bytes a decode of width × height pixels stored in `bitsPerPixel` holds, plus `extraBytesPerPixel`
// for the copies made from it.
qint64 pixelBytes(qint64 width, qint64 height, int bitsPerPixel, int extraBytesPerPixel = 0);

} // namespace DecodeBudget
