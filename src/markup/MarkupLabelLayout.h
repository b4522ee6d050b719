#pragma once

#include "platform/Rect.h"

#include <QStringList>

#include <vector>

// The layout of one label bubble in canvas space.
struct MarkupLabelLayout {
    // The box of the label (drawn with corners of radius 8).
    Rect bubbleRect;
    // bubbleRect inset by 7 left and right and by 5 at the top and bottom.
    Rect textRect;
    // The label text broken into lines, top to bottom.
    QStringList lines;
    // The ceiling of each line's width (0 for an empty line); one per line.
    std::vector<double> lineWidths;
    // The height of every line (a whole number).
    double lineHeight = 0;
    // The font size in canvas units.
    double fontSize = 0;

    bool operator==(const MarkupLabelLayout &) const = default;
};

// One line of wrapped text and the ceiling of its width.
struct WrappedLine {
    QString text;
    double width = 0;

    bool operator==(const WrappedLine &) const = default;
};
