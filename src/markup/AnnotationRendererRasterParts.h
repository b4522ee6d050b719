#pragma once

// Pieces shared by the raster painter's stroke and fill passes (see AnnotationRendererRaster.h).

#include "markup/AnnotationRendererRaster.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>
#include <vector>

namespace AnnotationRaster::Detail {

// Beyond this distance outside an edge a pixel (half diagonal √2/2) cannot be touched.
constexpr float pixelReach = 0.75f;

// A few column ranges per row that a stroke can touch: the pixels near its centre line, so the
// empty inside of a rectangle or a bubble outline is never visited.
constexpr int maxSpansPerRow = 8;
struct RowSpans {
    int count = 0;
    std::array<std::pair<int, int>, maxSpansPerRow> spans;

    void add(int lo, int hi)
    {
        for (int i = 0; i < count; ++i) {
            auto &s = spans[size_t(i)];
            if (lo <= s.second + 2 && hi >= s.first - 2) {
                s.first = std::min(s.first, lo);
                s.second = std::max(s.second, hi);
                return;
            }
        }
        if (count < maxSpansPerRow) {
            spans[size_t(count++)] = {lo, hi};
            return;
        }
        // Full: widen the nearest range (visiting a few more pixels is harmless).
        int nearest = 0, bestGap = std::numeric_limits<int>::max();
        for (int i = 0; i < count; ++i) {
            const auto &s = spans[size_t(i)];
            const int gap = lo > s.second ? lo - s.second : s.first - hi;
            if (gap < bestGap) {
                bestGap = gap;
                nearest = i;
            }
        }
        spans[size_t(nearest)].first = std::min(spans[size_t(nearest)].first, lo);
        spans[size_t(nearest)].second = std::max(spans[size_t(nearest)].second, hi);
    }

    // Sorted, with overlapping ranges joined.
    void settle()
    {
        std::sort(spans.begin(), spans.begin() + count);
        int out = 0;
        for (int i = 0; i < count; ++i) {
            if (out > 0 && spans[size_t(i)].first <= spans[size_t(out - 1)].second + 1)
                spans[size_t(out - 1)].second = std::max(spans[size_t(out - 1)].second, spans[size_t(i)].second);
            else
                spans[size_t(out++)] = spans[size_t(i)];
        }
        count = out;
    }
};


// Per-thread buffers, grown as needed and reused for every shape.
struct Scratch {
    // Strokes: squared distance to the nearest centre-line point and the offset to it, valid only
    // inside the rows' spans.
    std::vector<float> distance2;
    std::vector<float> nearX;
    std::vector<float> nearY;
    std::vector<RowSpans> rows;
    // The pixel range each segment reaches on each row, in visiting order.
    std::vector<std::array<int, 4>> reached; // segment, row, first and last column
    // Fills: signed-area accumulation, kept all zero between shapes; per row the cells written.
    std::vector<float> accumulation;
    std::vector<int> firstCell;
    std::vector<int> lastCell;
};

// Covered share of a pixel on the inner side of a straight edge at signed distance s, for a unit
// normal with components a ≥ b ≥ 0.
float boxCdf(float s, float a, float b);

// Each 8-bit channel of a premultiplied pixel times a / 255, rounded.
inline quint32 byteMul(quint32 x, quint32 a)
{
    quint32 t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = (x + ((x >> 8) & 0xff00ff) + 0x800080);
    x &= 0xff00ff00;
    return x | t;
}

// Source-over of the colour at a coverage in 0…1.
inline void blend(quint32 &pixel, float coverage, QRgb colour, bool opaque)
{
    const int c = int(coverage * 255 + 0.5f);
    if (c <= 0)
        return;
    if (c >= 255) {
        pixel = opaque ? colour : colour + byteMul(pixel, 255 - qAlpha(colour));
        return;
    }
    const quint32 source = byteMul(colour, quint32(c));
    pixel = source + byteMul(pixel, 255 - qAlpha(source));
}

// Source-over of the colour at full coverage along a run of pixels: the inside of a fill. With
// SSE2 four pixels at a time, by the same rounding as byteMul, so the result is identical.
void blendRun(quint32 *pixels, int count, QRgb colour);

inline quint32 *pixelRow(uchar *bits, qsizetype bytesPerLine, int y)
{
    return reinterpret_cast<quint32 *>(bits + qsizetype(y) * bytesPerLine);
}

// Rasterise one shape into the part of the bitmap given by the region (device pixels).
void paintStroke(const Shape &shape, const QRect &region, uchar *bits, qsizetype bytesPerLine, Scratch &scratch);
void paintFill(const Shape &shape, const QRect &region, uchar *bits, qsizetype bytesPerLine, Scratch &scratch);

} // namespace AnnotationRaster::Detail
