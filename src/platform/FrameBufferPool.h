#pragma once

#include <QImage>

#include <memory>

// Pixel buffers for a stream of equally sized pictures, handed out as QImages and taken back when the
// last copy of such an image is gone. Reusing a buffer spares the page faults of a freshly allocated
// one. A buffer is never handed out while any image still refers to it; an image that is painted on
// writes into its own buffer only when nothing else shares it, as with any QImage. Images may outlive
// the pool, and be released on any thread.
class FrameBufferPool {
public:
    // At most `spareBuffers` unused buffers are kept; the rest are freed.
    explicit FrameBufferPool(int spareBuffers);
    ~FrameBufferPool();
    FrameBufferPool(const FrameBufferPool &) = delete;
    FrameBufferPool &operator=(const FrameBufferPool &) = delete;

    // An uninitialised image laid out as QImage lays out its own, or a null image when memory runs
    // out.
    // Buffers of another size than the one asked for last are dropped.
    QImage image(int width, int height, QImage::Format format);

private:
    struct Shelf;
    std::shared_ptr<Shelf> m_shelf;
};
