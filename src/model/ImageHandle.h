#pragma once

#include <QImage>
#include <QSize>

#include <memory>

// A shared handle to a decoded, upright picture. Copies share one picture, so undo snapshots and
// list copies cost nothing. Items hold a handle rather than a bare QImage so that the picture can
// later be decoded on demand from its file and kept in a bounded cache.
class ImageHandle {
public:
    ImageHandle() = default;
    explicit ImageHandle(QImage image);

    // The full picture; a null image when the handle is empty.
    QImage image() const;
    // The picture's size in pixels, known without decoding.
    QSize size() const;
    bool isNull() const;

    // Whether both handles share one picture.
    bool sharesPictureWith(const ImageHandle &other) const { return m_data == other.m_data; }

private:
    struct Data {
        QImage image;
    };
    std::shared_ptr<const Data> m_data;
};
