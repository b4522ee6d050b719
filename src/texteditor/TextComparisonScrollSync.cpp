#include "texteditor/TextComparisonScrollSync.h"

#include <QScrollBar>

#include <algorithm>
#include <cmath>

void TextComparisonScrollSync::sync(QAbstractScrollArea *from)
{
    if (isSyncing || !from)
        return;
    QAbstractScrollArea *other = nullptr;
    if (from == originalScrollView.data())
        other = editedScrollView.data();
    else if (from == editedScrollView.data())
        other = originalScrollView.data();
    if (!other)
        return;
    const QScrollBar *source = from->verticalScrollBar();
    QScrollBar *target = other->verticalScrollBar();
    const int sourceRange = std::max(0, source->maximum());
    const int targetRange = std::max(0, target->maximum());
    double fraction = 0;
    if (sourceRange > 0)
        fraction = std::clamp(double(source->value()) / sourceRange, 0.0, 1.0);
    const double wanted = fraction * targetRange;
    if (std::abs(target->value() - wanted) <= 0.5)
        return;
    isSyncing = true;
    target->setValue(int(std::lround(wanted)));
    isSyncing = false;
}
