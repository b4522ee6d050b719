#pragma once

#include "ui/ButtonStyle.h"
#include "ui/FeedbackButton.h"

class BusySpinner;

// A title with a symbol on a rounded shape, all of its look given by a ButtonStyle: side by side,
// or the symbol above the title (an add tile). It may be outlined dashed, and it shows a small
// spinner in place of the symbol while busy. Disabled, a filled button turns grey.
//
// Buttons that lay out their face differently derive from it, keep the style's colours, font and
// sizes, and paint their own face.
class StyledButton : public FeedbackButton {
    Q_OBJECT

public:
    StyledButton(const QString &title, const QString &symbolName, const ButtonStyle &style, QWidget *parent = nullptr);
    void setButtonStyle(const ButtonStyle &style);
    const ButtonStyle &buttonStyle() const { return m_style; }
    // Changes the colours alone.
    void setColors(const QColor &foreground, const QColor &background, const QColor &border = QColor());
    QString symbolName() const { return m_symbolName; }
    void setTitle(const QString &title, const QString &symbolName);
    // A turning spinner replaces the symbol.
    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;
    // The spinner's turn in degrees for faces that draw their own spinner; 0 before the first busy.
    int spinnerAngle() const;

private:
    QString m_symbolName;
    ButtonStyle m_style;
    bool m_busy = false;
    BusySpinner *m_spinner = nullptr;
};
