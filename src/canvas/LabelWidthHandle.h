#pragma once

#include "model/MarkupAnnotation.h"
#include "ui/FloatingPanel.h"

#include <QSizeF>

// The marker on the label bubble's bottom-right corner. It takes no input: the canvas's own
// pointer handling recognises the width drag in a box around the same corner.
class LabelWidthHandle : public FloatingPanel {
    Q_OBJECT

public:
    explicit LabelWidthHandle(QWidget *parent = nullptr);

    // Returns false (and leaves the rectangle) when the annotation has no label bubble.
    bool sync(const MarkupAnnotation &annotation, QSizeF canvasSize);

protected:
    void paintEvent(QPaintEvent *event) override;
};
