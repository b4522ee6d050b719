// Strokes with round caps and joins: every pixel takes its distance to the nearest centre-line
// segment, and its coverage is the share of it within half the width.
#include "markup/AnnotationRendererRasterParts.h"

#include <cmath>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace AnnotationRaster::Detail {

namespace {

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

} // namespace

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

} // namespace AnnotationRaster::Detail
