#pragma once

#include <QByteArray>
#include <QIODevice>

#include <vector>

// A PDF of picture pages, streamed into a device page by page: each page is as large in points as
// its picture in pixels and shows it losslessly. The pictures arrive compressed (a PNG's image
// data, which PDF's Flate filter reads with PNG predictors), so compressing them can happen
// elsewhere, several at a time, while this only writes bytes.
class PdfImageWriter {
public:
    explicit PdfImageWriter(QIODevice &device);

    // One page of width × height points showing an 8-bit RGB picture of width × height pixels,
    // given as PngEncoder::imageData. False when the device did not take the bytes.
    bool addPage(int width, int height, const QByteArray &imageData);
    // Writes the page tree and the cross-reference table. False when the device did not take the
    // bytes or no page was added.
    bool finish();

    int pageCount() const { return int(m_pages.size()); }

private:
    int beginObject();
    bool write(const QByteArray &bytes);
    void startWriteback();

    QIODevice &m_device;
    qint64 m_position = 0;
    bool m_failed = false;
    // Byte offsets by object number (object 0 is the free list's head).
    std::vector<qint64> m_offsets;
    std::vector<int> m_pages;
};
