#pragma once

#include "model/MarkupViewModelTypes.h"
#include "ui/FloatingPanel.h"
#include "ui/PanelButton.h"

#include <QSizeF>

#include <map>

class MarkupViewModel;

// The floating toolbar over the crop rectangle: the aspect ratio presets, then cancel and
// confirm. Confirming adds the cropped part as a new image; the source is never changed.
class CropToolbar : public FloatingPanel {
    Q_OBJECT

public:
    static constexpr double panelWidth = 334;
    static constexpr double panelHeight = 88;

    explicit CropToolbar(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    // Marks the current ratio and stands over the crop rectangle on a canvas of this size.
    void sync(const QRectF &cropRect, QSizeF canvasSize);

    PanelButton *ratioButton(CropAspectRatio ratio) const { return m_ratioButtons.at(ratio); }
    PanelButton *cancelButton() const { return m_cancel; }
    PanelButton *confirmButton() const { return m_confirm; }

Q_SIGNALS:
    // The crop ended from this toolbar (cancelled, or confirmed with a new image).
    void cropEnded();

private:
    void refreshRatio();

    MarkupViewModel &m_viewModel;
    QSizeF m_canvasSize{0, 0};
    std::map<CropAspectRatio, PanelButton *> m_ratioButtons;
    PanelButton *m_cancel = nullptr;
    PanelButton *m_confirm = nullptr;
};
