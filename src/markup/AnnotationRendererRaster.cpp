#include "markup/AnnotationRendererRaster.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace AnnotationRaster {

namespace {

// Rows per unit of parallel work: small enough to spread a few tall shapes over the threads,
// large enough that walking the shape list once per band stays cheap.
constexpr int bandHeight = 32;
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

float boxCdf(float s, float a, float b)
{
    // The pixel's extent along the normal is a trapezoid distribution of half-width (a + b) / 2
    // with a flat top of half-width (a − b) / 2; its cumulative area is the covered fraction.
    const float h = 0.5f * (a + b);
    if (s <= -h)
        return 0;
    if (s >= h)
        return 1;
    const float t = s + h;
    if (b < 1e-4f)
        return t / a;
    if (t < b)
        return t * t / (2 * a * b);
    if (t <= a)
        return (t - 0.5f * b) / a;
    const float u = a + b - t;
    return 1 - u * u / (2 * a * b);
}

float stripCoverage(float distance, float nx, float ny, float halfWidth)
{
    const float a = std::max(std::fabs(nx), std::fabs(ny));
    const float b = std::min(std::fabs(nx), std::fabs(ny));
    const float near = boxCdf(halfWidth - distance, a, b);
    // The far side of a stroke at least a pixel and a half wide never reaches the pixel.
    return halfWidth >= pixelReach ? near : near - boxCdf(-halfWidth - distance, a, b);
}

// The x range (pixel centres) within `reach` of a segment on the row whose centre is at py.
bool capsuleSpan(const Segment &seg, float py, float reach, float &lo, float &hi)
{
    lo = std::numeric_limits<float>::infinity();
    hi = -lo;
    const float ax = float(seg.a.x()), ay = float(seg.a.y());
    const float bx = float(seg.b.x()), by = float(seg.b.y());
    auto circle = [&](float cx, float cy) {
        const float dy = py - cy;
        if (std::fabs(dy) <= reach) {
            const float h = std::sqrt(reach * reach - dy * dy);
            lo = std::min(lo, cx - h);
            hi = std::max(hi, cx + h);
        }
    };
    circle(ax, ay);
    circle(bx, by);
    const float length = std::sqrt((bx - ax) * (bx - ax) + (by - ay) * (by - ay));
    if (length > 1e-6f) {
        const float ux = (bx - ax) / length, uy = (by - ay) / length;
        const float ry = py - ay;
        float slo = -std::numeric_limits<float>::infinity(), shi = -slo;
        auto limit = [&](float coefficient, float constant, float from, float to) {
            // from ≤ coefficient · (px − ax) + constant ≤ to
            if (std::fabs(coefficient) < 1e-6f) {
                if (constant < from || constant > to)
                    shi = -std::numeric_limits<float>::infinity();
                return;
            }
            float x1 = ax + (from - constant) / coefficient, x2 = ax + (to - constant) / coefficient;
            if (x1 > x2)
                std::swap(x1, x2);
            slo = std::max(slo, x1);
            shi = std::min(shi, x2);
        };
        limit(uy, -ry * ux, -reach, reach); // across the segment
        limit(ux, ry * uy, 0, length);      // along it
        if (slo <= shi) {
            lo = std::min(lo, slo);
            hi = std::max(hi, shi);
        }
    }
    return lo <= hi;
}

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

inline quint32 *pixelRow(uchar *bits, qsizetype bytesPerLine, int y)
{
    return reinterpret_cast<quint32 *>(bits + qsizetype(y) * bytesPerLine);
}

template <typename Visit>
void forEachCapsuleRow(const Segment &seg, const QRect &region, float reach, Visit visit)
{
    const float ay = float(seg.a.y()), by = float(seg.b.y());
    const int row0 = std::max(region.top(), int(std::ceil(std::min(ay, by) - reach - 0.5f)));
    const int row1 = std::min(region.bottom(), int(std::floor(std::max(ay, by) + reach - 0.5f)));
    for (int y = row0; y <= row1; ++y) {
        float lo, hi;
        if (!capsuleSpan(seg, float(y) + 0.5f, reach, lo, hi))
            continue;
        const int col0 = std::max(region.left(), int(std::ceil(lo - 0.5f)));
        const int col1 = std::min(region.right(), int(std::floor(hi - 0.5f)));
        if (col0 <= col1)
            visit(y, col0, col1);
    }
}

void paintStroke(const Shape &shape, const QRect &region, uchar *bits, qsizetype bytesPerLine, Scratch &scratch)
{
    const int w = region.width(), h = region.height();
    const float halfWidth = float(shape.halfWidth);
    const float reach = halfWidth + pixelReach;
    const size_t count = size_t(w) * size_t(h);
    if (scratch.distance2.size() < count) {
        scratch.distance2.resize(count);
        scratch.nearX.resize(count);
        scratch.nearY.resize(count);
    }
    float *d2 = scratch.distance2.data(), *vx = scratch.nearX.data(), *vy = scratch.nearY.data();
    scratch.rows.assign(size_t(h), RowSpans{});

    // Which pixels any segment reaches, then their nearest segment.
    scratch.reached.clear();
    for (size_t k = 0; k < shape.segments.size(); ++k)
        forEachCapsuleRow(shape.segments[k], region, reach, [&](int y, int col0, int col1) {
            scratch.rows[size_t(y - region.top())].add(col0, col1);
            scratch.reached.push_back({int(k), y, col0, col1});
        });
    for (int row = 0; row < h; ++row) {
        RowSpans &spans = scratch.rows[size_t(row)];
        spans.settle();
        for (int i = 0; i < spans.count; ++i) {
            const auto [lo, hi] = spans.spans[size_t(i)];
            const size_t from = size_t(row) * size_t(w) + size_t(lo - region.left());
            std::fill(d2 + from, d2 + from + size_t(hi - lo + 1), reach * reach);
        }
    }
    int current = -1;
    float ax = 0, ay = 0, abx = 0, aby = 0, inverse = 0;
    for (const auto &[k, y, col0, col1] : scratch.reached) {
        if (k != current) {
            current = k;
            const Segment &seg = shape.segments[size_t(k)];
            ax = float(seg.a.x());
            ay = float(seg.a.y());
            abx = float(seg.b.x()) - ax;
            aby = float(seg.b.y()) - ay;
            const float length2 = abx * abx + aby * aby;
            inverse = length2 > 0 ? 1 / length2 : 0;
        }
        const float wy = float(y) + 0.5f - ay;
        const size_t rowStart = size_t(y - region.top()) * size_t(w);
        float *rowD2 = d2 + rowStart, *rowX = vx + rowStart, *rowY = vy + rowStart;
        int x = col0;
#ifdef __SSE2__
        // The same arithmetic, four pixels at a time.
        const __m128i indexStep = _mm_set_epi32(3, 2, 1, 0);
        const __m128 abx4 = _mm_set1_ps(abx), aby4 = _mm_set1_ps(aby), inverse4 = _mm_set1_ps(inverse);
        const __m128 wy4 = _mm_set1_ps(wy), zero = _mm_setzero_ps(), one = _mm_set1_ps(1);
        for (; x + 3 <= col1; x += 4) {
            const __m128 column = _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(x), indexStep));
            const __m128 wx = _mm_sub_ps(_mm_add_ps(column, _mm_set1_ps(0.5f)), _mm_set1_ps(ax));
            __m128 t = _mm_mul_ps(_mm_add_ps(_mm_mul_ps(wx, abx4), _mm_mul_ps(wy4, aby4)), inverse4);
            t = _mm_min_ps(_mm_max_ps(t, zero), one);
            const __m128 dx = _mm_sub_ps(wx, _mm_mul_ps(t, abx4));
            const __m128 dy = _mm_sub_ps(wy4, _mm_mul_ps(t, aby4));
            const __m128 dd = _mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy));
            float *pd = rowD2 + (x - region.left()), *px = rowX + (x - region.left()), *py = rowY + (x - region.left());
            const __m128 old = _mm_loadu_ps(pd);
            const __m128 closer = _mm_cmplt_ps(dd, old);
            if (_mm_movemask_ps(closer) == 0)
                continue;
            _mm_storeu_ps(pd, _mm_or_ps(_mm_and_ps(closer, dd), _mm_andnot_ps(closer, old)));
            _mm_storeu_ps(px, _mm_or_ps(_mm_and_ps(closer, dx), _mm_andnot_ps(closer, _mm_loadu_ps(px))));
            _mm_storeu_ps(py, _mm_or_ps(_mm_and_ps(closer, dy), _mm_andnot_ps(closer, _mm_loadu_ps(py))));
        }
#endif
        for (; x <= col1; ++x) {
            const float wx = float(x) + 0.5f - ax;
            const float t = std::clamp((wx * abx + wy * aby) * inverse, 0.0f, 1.0f);
            const float dx = wx - t * abx, dy = wy - t * aby;
            const float dd = dx * dx + dy * dy;
            const size_t i = size_t(x - region.left());
            if (dd < rowD2[i]) {
                rowD2[i] = dd;
                rowX[i] = dx;
                rowY[i] = dy;
            }
        }
    }

    const float reach2 = reach * reach;
    const float solid = halfWidth - pixelReach; // closer than this a pixel is wholly inside
    const float solid2 = solid > 0 ? solid * solid : -1;
    const bool opaque = qAlpha(shape.colour) == 255;
    for (int row = 0; row < h; ++row) {
        const RowSpans &spans = scratch.rows[size_t(row)];
        quint32 *line = pixelRow(bits, bytesPerLine, region.top() + row);
        const size_t rowStart = size_t(row) * size_t(w);
        for (int k = 0; k < spans.count; ++k) {
            const auto [lo, hi] = spans.spans[size_t(k)];
            for (int x = lo; x <= hi; ++x) {
                const size_t i = rowStart + size_t(x - region.left());
                const float dd = d2[i];
                if (dd >= reach2)
                    continue;
                float coverage = 1;
                if (!(dd < solid2)) {
                    const float d = std::sqrt(dd);
                    coverage = d < 1e-6f ? stripCoverage(0, 1, 0, halfWidth)
                                         : stripCoverage(d, vx[i] / d, vy[i] / d, halfWidth);
                }
                blend(line[x], coverage, shape.colour, opaque);
            }
        }
    }
}

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

QRect reachRect(const QRectF &bounds)
{
    const double left = std::floor(bounds.left()) - 1, top = std::floor(bounds.top()) - 1;
    const double right = std::ceil(bounds.right()) + 1, bottom = std::ceil(bounds.bottom()) + 1;
    // Bounds come from finite device coordinates; keep them within int before converting.
    const double limit = 1 << 30;
    auto bound = [&](double v) { return int(std::clamp(v, -limit, limit)); };
    return QRect(QPoint(bound(left), bound(top)), QPoint(bound(right) - 1, bound(bottom) - 1));
}

void paintBand(QImage &image, uchar *bits, const std::vector<Shape> &shapes, const std::vector<QRect> &reach,
               int top, int bottom, Scratch &scratch)
{
    const QRect band(0, top, image.width(), bottom - top);
    const qsizetype bytesPerLine = image.bytesPerLine();
    for (size_t i = 0; i < shapes.size(); ++i) {
        const Shape &shape = shapes[i];
        const QRect region = reach[i] & shape.clip & band;
        if (region.isEmpty())
            continue;
        if (shape.kind == Shape::Kind::Stroke)
            paintStroke(shape, region, bits, bytesPerLine, scratch);
        else
            paintFill(shape, region, bits, bytesPerLine, scratch);
    }
}

} // namespace

bool supportsFormat(QImage::Format format)
{
    return format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB32;
}

double edgeCoverage(double s, double nx, double ny)
{
    const double length = std::hypot(nx, ny);
    if (!(length > 0))
        return std::clamp(s + 0.5, 0.0, 1.0);
    const float a = float(std::max(std::fabs(nx), std::fabs(ny)) / length);
    const float b = float(std::min(std::fabs(nx), std::fabs(ny)) / length);
    return boxCdf(float(s), a, b);
}

void paint(QImage &image, const std::vector<Shape> &shapes)
{
    if (shapes.empty() || image.isNull() || !supportsFormat(image.format()))
        return;
    uchar *bits = image.bits();
    std::vector<QRect> reach;
    reach.reserve(shapes.size());
    size_t work = 0;
    for (const Shape &shape : shapes) {
        reach.push_back(reachRect(shape.bounds) & shape.clip);
        work += size_t(reach.back().width()) * size_t(std::max(reach.back().height(), 0));
    }

    const int bands = (image.height() + bandHeight - 1) / bandHeight;
    // Threads pay off only for real work: a few small shapes are painted on the calling thread.
    const int threads = work < 250'000 ? 1
                                       : std::clamp(int(std::thread::hardware_concurrency()), 1, std::min(bands, 8));
    std::atomic<int> next{0};
    auto worker = [&] {
        Scratch scratch;
        for (int band = next++; band < bands; band = next++)
            paintBand(image, bits, shapes, reach, band * bandHeight, std::min(image.height(), (band + 1) * bandHeight),
                      scratch);
    };
    std::vector<std::thread> pool;
    try {
        for (int i = 1; i < threads; ++i)
            pool.emplace_back(worker);
    } catch (const std::system_error &) {
        // No more threads to be had: the ones running and this one share the bands.
    }
    worker();
    for (std::thread &thread : pool)
        thread.join();
}

} // namespace AnnotationRaster
