// Filled outlines by signed-area accumulation with the non-zero rule.
#include "markup/AnnotationRendererRasterParts.h"

#include <cmath>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace AnnotationRaster::Detail {

namespace {

// Signed-area accumulation of one edge (local coordinates, x already within [0, w]). Each row's
// cells receive the edge's height in the row, split by how much of each cell lies right of it;
// a running sum along the row then gives the winding-weighted area of every pixel.
void accumulateEdge(float *acc, size_t stride, int h, int *firstCell, int *lastCell, float x0, float y0, float x1,
                    float y1)
{
    if (y0 == y1)
        return;
    float direction = 1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        direction = -1;
    }
    const float top = std::max(y0, 0.0f), bottom = std::min(y1, float(h));
    if (top >= bottom)
        return;
    const float dxdy = (x1 - x0) / (y1 - y0);
    float x = x0 + (top - y0) * dxdy;
    for (int row = int(std::floor(top)); row < h && float(row) < bottom; ++row) {
        const float dy = std::min(float(row + 1), bottom) - std::max(float(row), top);
        if (dy <= 0)
            continue;
        const float xnext = x + dxdy * dy;
        const float d = dy * direction;
        float *line = acc + size_t(row) * stride;
        const float left = std::min(x, xnext), right = std::max(x, xnext);
        const float leftFloor = std::floor(left);
        const int i0 = int(leftFloor);
        const int i1 = int(std::ceil(right));
        firstCell[row] = std::min(firstCell[row], i0);
        lastCell[row] = std::max(lastCell[row], std::max(i1, i0 + 1));
        if (i1 <= i0 + 1) {
            const float middle = 0.5f * (x + xnext) - leftFloor;
            line[i0] += d - d * middle;
            line[i0 + 1] += d * middle;
        } else {
            const float s = 1 / (right - left);
            const float f0 = left - leftFloor;
            const float a0 = 0.5f * s * (1 - f0) * (1 - f0);
            const float f1 = right - float(i1) + 1;
            const float am = 0.5f * s * f1 * f1;
            line[i0] += d * a0;
            if (i1 == i0 + 2) {
                line[i0 + 1] += d * (1 - a0 - am);
            } else {
                const float a1 = s * (1.5f - f0);
                line[i0 + 1] += d * (a1 - a0);
                for (int i = i0 + 2; i < i1 - 1; ++i)
                    line[i] += d * s;
                const float a2 = a1 + float(i1 - i0 - 3) * s;
                line[i1 - 1] += d * (1 - a2 - am);
            }
            line[i1] += d * am;
        }
        x = xnext;
    }
}

// The first non-zero cell from `from` on, or `end`.
int nextWrittenCell(const float *cells, int from, int end)
{
    int x = from;
#ifdef __SSE2__
    const __m128 zero = _mm_setzero_ps();
    for (; x + 4 <= end; x += 4)
        if (_mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(cells + x), zero)) != 0xF)
            break;
#endif
    while (x < end && cells[x] == 0)
        ++x;
    return x;
}

} // namespace

void paintFill(const Shape &shape, const QRect &region, uchar *bits, qsizetype bytesPerLine, Scratch &scratch)
{
    const int w = region.width(), h = region.height();
    const size_t stride = size_t(w) + 2;
    if (scratch.accumulation.size() < stride * size_t(h))
        scratch.accumulation.assign(stride * size_t(h), 0);
    float *acc = scratch.accumulation.data();
    scratch.firstCell.assign(size_t(h), std::numeric_limits<int>::max());
    scratch.lastCell.assign(size_t(h), -1);
    int *firstCell = scratch.firstCell.data(), *lastCell = scratch.lastCell.data();
    const float ox = float(region.left()), oy = float(region.top());
    const float right = float(w);

    for (const Segment &seg : shape.segments) {
        const float x0 = float(seg.a.x()) - ox, y0 = float(seg.a.y()) - oy;
        const float x1 = float(seg.b.x()) - ox, y1 = float(seg.b.y()) - oy;
        if ((y0 < 0 && y1 < 0) || (y0 > float(h) && y1 > float(h)))
            continue;
        // Split where the edge leaves [0, w]: a piece left of the region covers all of the row
        // from the region's left side (it is moved onto it); a piece right of it covers nothing.
        float cuts[4] = {0, 1, 1, 1};
        int n = 1;
        for (const float edge : {0.0f, right})
            if ((x0 - edge) * (x1 - edge) < 0)
                cuts[n++] = (edge - x0) / (x1 - x0);
        if (n == 3 && cuts[2] < cuts[1])
            std::swap(cuts[1], cuts[2]);
        cuts[n] = 1;
        for (int k = 0; k < n; ++k) {
            const float t0 = cuts[k], t1 = cuts[k + 1];
            if (t1 <= t0)
                continue;
            const float px0 = x0 + (x1 - x0) * t0, py0 = y0 + (y1 - y0) * t0;
            const float px1 = x0 + (x1 - x0) * t1, py1 = y0 + (y1 - y0) * t1;
            const float middle = 0.5f * (px0 + px1);
            if (middle >= right)
                continue;
            const float cx0 = middle <= 0 ? 0 : std::clamp(px0, 0.0f, right);
            const float cx1 = middle <= 0 ? 0 : std::clamp(px1, 0.0f, right);
            accumulateEdge(acc, stride, h, firstCell, lastCell, cx0, py0, cx1, py1);
        }
    }

    // Running sums along each row from its first written cell; past the last one the sum stays
    // (zero for a closed outline, or the share of an outline cut off at the region's right).
    const bool opaque = qAlpha(shape.colour) == 255;
    for (int row = 0; row < h; ++row) {
        if (lastCell[row] < 0)
            continue;
        float *cells = acc + size_t(row) * stride;
        quint32 *line = pixelRow(bits, bytesPerLine, region.top() + row) + region.left();
        const int last = std::min(lastCell[row], w + 1);
        // Cells are put back to zero as they are read. Between written cells the coverage stays
        // the same, so such runs (gaps between glyphs, the inside of a bubble) go in one step.
        const int limit = std::min(last + 1, w);
        float sum = 0;
        int x = firstCell[row];
        while (x < w) {
            sum += cells[x];
            cells[x] = 0;
            const float coverage = std::min(std::fabs(sum), 1.0f);
            blend(line[x], coverage, shape.colour, opaque);
            ++x;
            int end = x < limit ? nextWrittenCell(cells, x, limit) : w;
            if (end == limit)
                end = w;
            if (end == x)
                continue;
            const int c = int(coverage * 255 + 0.5f);
            if (c >= 255)
                blendRun(line + x, end - x, shape.colour);
            else if (c > 0)
                for (int i = x; i < end; ++i)
                    blend(line[i], coverage, shape.colour, opaque);
            x = end;
        }
        if (last >= w)
            std::fill(cells + w, cells + last + 1, 0.0f);
    }
}

// Source-over of the colour at full coverage along a run of pixels: the inside of a fill. With
// SSE2 four pixels at a time, by the same rounding as byteMul, so the result is identical.
void blendRun(quint32 *pixels, int count, QRgb colour)
{
    const quint32 inverse = 255 - qAlpha(colour);
    if (inverse == 0) {
        std::fill(pixels, pixels + count, colour);
        return;
    }
    int i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = _mm_set1_epi16(short(inverse));
    const __m128i half = _mm_set1_epi16(0x80);
    const __m128i source = _mm_set1_epi32(int(colour));
    for (; i + 4 <= count; i += 4) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + i));
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), factor), half);
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), factor), half);
        lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), 8);
        hi = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(pixels + i), _mm_add_epi8(_mm_packus_epi16(lo, hi), source));
    }
#endif
    for (; i < count; ++i)
        pixels[i] = colour + byteMul(pixels[i], inverse);
}

} // namespace AnnotationRaster::Detail
