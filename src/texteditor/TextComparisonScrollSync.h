#pragma once

#include <QAbstractScrollArea>
#include <QPointer>

// Keeps the two panes at the same fraction of their scroll ranges. Either pane reports its own
// scrolling; a scroll the synchroniser causes itself is not echoed back.
class TextComparisonScrollSync {
public:
    QPointer<QAbstractScrollArea> originalScrollView;
    QPointer<QAbstractScrollArea> editedScrollView;
    bool isSyncing = false;

    void sync(QAbstractScrollArea *from);
};
