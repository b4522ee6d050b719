#pragma once

#include "model/TypeScale.h"

#include <QColor>
#include <QFont>
#include <QSize>

// How a StyledButton looks: its colours, its title's font, its symbol's size, its least size,
// its corner radius, and whether the symbol stands above the title or before it.
struct ButtonStyle {
    QColor foreground;
    QColor background;
    QColor border; // invalid: no outline
    double fontPixels = TypeScale::body;
    QFont::Weight fontWeight = QFont::Bold;
    double symbolPixels = 12;
    QSize minimumSize { 62, 36 };
    qreal cornerRadius = 8;
    bool stacked = false; // symbol above the title
    bool dashedBorder = false;

    bool operator==(const ButtonStyle &) const = default;
};
