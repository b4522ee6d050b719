#pragma once

#include "model/ColorSample.h"
#include "ui/FloatingPanel.h"
#include "ui/PanelButton.h"

#include <QSizeF>

#include <array>

class MarkupViewModel;

// The colour viewer beside the eyedropper: a swatch with the HEX value, the RGB, CMYK and (when
// not opaque) alpha values, and buttons that copy the HEX, RGB or CMYK text. It keeps no state:
// the view model's preview and lock decide what it shows.
class EyedropperPanel : public FloatingPanel {
    Q_OBJECT

public:
    explicit EyedropperPanel(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    void sync(const ColorSamplePreview &preview, bool isLocked, QSizeF canvasSize);

    // The hint under the HEX value.
    QString hintText() const;
    const SampledImageColor &color() const { return m_color; }
    // HEX, RGB, CMYK.
    PanelButton *copyButton(int index) const { return m_buttons.at(size_t(index)); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void copy(int index);
    double contentTop() const;

    MarkupViewModel &m_viewModel;
    SampledImageColor m_color;
    bool m_locked = false;
    std::array<PanelButton *, 3> m_buttons{};
};
