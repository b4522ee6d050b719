#pragma once

#include <QString>

class QVBoxLayout;
class QWidget;

// The opening of a workspace's empty state: a widget named `objectName` holding a column with
// 24-point margins, `spacing` apart, that starts with a stretch and the workspace's navy symbol at
// `symbolSize` pixels. The caller adds its texts and buttons and a closing stretch to the column.
QVBoxLayout *emptyStateColumn(QWidget *empty, const QString &objectName, const QString &symbolName, int symbolSize,
                              int spacing);
