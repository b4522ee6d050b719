#include "platform/FrameBufferPool.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <vector>

namespace {
// Buffers start on a cache line; rows are laid out as in any QImage (32-bit aligned, no further
// padding), so code that reads the pixels as one block sees no stray bytes.
constexpr std::size_t alignment = 64;
} // namespace

struct FrameBufferPool::Shelf {
    explicit Shelf(int spare)
        : spareBuffers(std::size_t(std::max(spare, 0)))
    {
    }
    ~Shelf()
    {
        for (void *buffer : spare)
            std::free(buffer);
    }

    // Called by the last image sharing a buffer.
    static void giveBack(void *info)
    {
        std::unique_ptr<Loan> loan(static_cast<Loan *>(info));
        Shelf &shelf = *loan->shelf;
        {
            std::lock_guard<std::mutex> guard(shelf.mutex);
            if (loan->bytes == shelf.bytes && shelf.spare.size() < shelf.spareBuffers) {
                shelf.spare.push_back(loan->buffer);
                return;
            }
        }
        std::free(loan->buffer);
    }

    struct Loan {
        std::shared_ptr<Shelf> shelf;
        void *buffer = nullptr;
        qsizetype bytes = 0;
    };

    const std::size_t spareBuffers;
    std::mutex mutex;
    qsizetype bytes = 0; // the size of the buffers kept
    std::vector<void *> spare;
};

FrameBufferPool::FrameBufferPool(int spareBuffers)
    : m_shelf(std::make_shared<Shelf>(spareBuffers))
{
}

FrameBufferPool::~FrameBufferPool() = default;

QImage FrameBufferPool::image(int width, int height, QImage::Format format)
{
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (width <= 0 || height <= 0 || depth <= 0 || format == QImage::Format_Invalid)
        return {};
    const qsizetype bytesPerLine = (qsizetype(width) * depth + 31) / 32 * 4;
    if (bytesPerLine > std::numeric_limits<int>::max() || height > std::numeric_limits<qsizetype>::max() / bytesPerLine)
        return {};
    const qsizetype bytes = bytesPerLine * height;

    void *buffer = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_shelf->mutex);
        if (m_shelf->bytes != bytes) {
            for (void *old : m_shelf->spare)
                std::free(old);
            m_shelf->spare.clear();
            m_shelf->bytes = bytes;
        }
        if (!m_shelf->spare.empty()) {
            buffer = m_shelf->spare.back();
            m_shelf->spare.pop_back();
        }
    }
    if (!buffer)
        buffer = std::aligned_alloc(alignment, (std::size_t(bytes) + alignment - 1) / alignment * alignment);
    if (!buffer)
        return {};
    auto *loan = new Shelf::Loan{m_shelf, buffer, bytes};
    QImage result(static_cast<uchar *>(buffer), width, height, bytesPerLine, format, &Shelf::giveBack, loan);
    if (result.isNull())
        Shelf::giveBack(loan);
    return result;
}
