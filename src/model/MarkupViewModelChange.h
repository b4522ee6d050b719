#pragma once

// Change detection behind the published setters of MarkupViewModel. Included only by the view
// model's own source files.

#include "model/MarkupViewModel.h"

#include <cmath>

namespace MarkupViewModelChange {

template<typename T>
bool sameValue(const T &a, const T &b)
{
    return a == b;
}

inline bool sameValue(const double &a, const double &b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// QRectF's own == is fuzzy; a tiny real move must still count as a change.
inline bool sameValue(const QRectF &a, const QRectF &b)
{
    return a.x() == b.x() && a.y() == b.y() && a.width() == b.width() && a.height() == b.height();
}

inline bool sameValue(const std::optional<QRectF> &a, const std::optional<QRectF> &b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || sameValue(*a, *b);
}

// Items compare equal by == even when their pictures differ (a crop, a new thumbnail); for change
// notification the pictures count too.
inline bool sameValue(const std::vector<ImageMarkupItem> &a, const std::vector<ImageMarkupItem> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!(a[i] == b[i]) || !a[i].image.sharesPictureWith(b[i].image)
            || !a[i].thumbnail.sharesPictureWith(b[i].thumbnail)
            || a[i].pixelSize.width() != b[i].pixelSize.width()
            || a[i].pixelSize.height() != b[i].pixelSize.height())
            return false;
    }
    return true;
}

inline bool sameValue(const std::vector<ComparisonPairState> &a, const std::vector<ComparisonPairState> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!(a[i] == b[i]) || !a[i].before.image.sharesPictureWith(b[i].before.image)
            || !a[i].after.image.sharesPictureWith(b[i].after.image))
            return false;
    }
    return true;
}

} // namespace MarkupViewModelChange

template<typename T>
void MarkupViewModel::assign(T &member, T value, void (MarkupViewModel::*signal)())
{
    if (MarkupViewModelChange::sameValue(member, value))
        return;
    member = std::move(value);
    Q_EMIT(this->*signal)();
    Q_EMIT stateChanged();
}
