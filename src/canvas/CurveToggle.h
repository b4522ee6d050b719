#pragma once

#include "model/MarkupAnnotation.h"
#include "ui/FloatingPanel.h"
#include "ui/PanelButton.h"

#include <QSizeF>

class MarkupViewModel;

// The round button that bends a selected arrow to the other side.
class CurveToggle : public FloatingPanel {
    Q_OBJECT

public:
    explicit CurveToggle(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    void sync(const MarkupAnnotation &annotation, QSizeF canvasSize);
    PanelButton *button() const { return m_button; }

private:
    PanelButton *m_button = nullptr;
};
