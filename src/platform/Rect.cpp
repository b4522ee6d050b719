#include "platform/Rect.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double kInfinity = std::numeric_limits<double>::infinity();
}

Rect Rect::null()
{
    return {kInfinity, kInfinity, 0, 0};
}

Rect Rect::spanning(QPointF a, QPointF b)
{
    return {std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(b.x() - a.x()), std::abs(b.y() - a.y())};
}

bool Rect::isNull() const
{
    return std::isinf(x) || std::isinf(y);
}

bool Rect::isEmpty() const
{
    return isNull() || width == 0 || height == 0;
}

bool Rect::isFinite() const
{
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(width) && std::isfinite(height);
}

Rect Rect::standardized() const
{
    if (isNull())
        return null();
    Rect r = *this;
    if (r.width < 0) {
        r.x += r.width;
        r.width = -r.width;
    }
    if (r.height < 0) {
        r.y += r.height;
        r.height = -r.height;
    }
    return r;
}

double Rect::minX() const
{
    return standardized().x;
}

double Rect::minY() const
{
    return standardized().y;
}

double Rect::maxX() const
{
    const Rect r = standardized();
    return r.x + r.width;
}

double Rect::maxY() const
{
    const Rect r = standardized();
    return r.y + r.height;
}

bool Rect::contains(QPointF point) const
{
    if (isNull())
        return false;
    const Rect r = standardized();
    return point.x() >= r.x && point.x() < r.x + r.width && point.y() >= r.y && point.y() < r.y + r.height;
}

bool Rect::containsInclusive(QPointF point) const
{
    if (isNull())
        return false;
    const Rect r = standardized();
    return point.x() >= r.x && point.x() <= r.x + r.width && point.y() >= r.y && point.y() <= r.y + r.height;
}

bool Rect::containsStrictly(QPointF point) const
{
    if (isNull())
        return false;
    const Rect r = standardized();
    return point.x() > r.x && point.x() < r.x + r.width && point.y() > r.y && point.y() < r.y + r.height;
}

Rect Rect::insetBy(double dx, double dy) const
{
    if (isNull())
        return null();
    Rect r = standardized();
    r.x += dx;
    r.y += dy;
    r.width -= 2 * dx;
    r.height -= 2 * dy;
    // NaN sizes count as negative: an inset that cannot be computed leaves nothing.
    if (!(r.width >= 0) || !(r.height >= 0))
        return null();
    return r;
}

Rect Rect::offsetBy(double dx, double dy) const
{
    if (isNull())
        return null();
    return {x + dx, y + dy, width, height};
}

Rect Rect::intersected(const Rect &other) const
{
    if (isNull() || other.isNull())
        return null();
    const Rect a = standardized();
    const Rect b = other.standardized();
    const double left = std::max(a.x, b.x);
    const double top = std::max(a.y, b.y);
    const double right = std::min(a.x + a.width, b.x + b.width);
    const double bottom = std::min(a.y + a.height, b.y + b.height);
    if (!(left <= right) || !(top <= bottom))
        return null();
    return {left, top, right - left, bottom - top};
}

bool Rect::intersects(const Rect &other) const
{
    return !intersected(other).isNull();
}

Rect Rect::united(const Rect &other) const
{
    if (isNull())
        return other.standardized();
    if (other.isNull())
        return standardized();
    const Rect a = standardized();
    const Rect b = other.standardized();
    const double left = std::min(a.x, b.x);
    const double top = std::min(a.y, b.y);
    const double right = std::max(a.x + a.width, b.x + b.width);
    const double bottom = std::max(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

Rect Rect::integral() const
{
    if (isNull())
        return null();
    const Rect r = standardized();
    const double left = std::floor(r.x);
    const double top = std::floor(r.y);
    const double right = std::ceil(r.x + r.width);
    const double bottom = std::ceil(r.y + r.height);
    return {left, top, right - left, bottom - top};
}

QRectF Rect::toQRectF() const
{
    if (isNull())
        return QRectF();
    const Rect r = standardized();
    return QRectF(r.x, r.y, r.width, r.height);
}
