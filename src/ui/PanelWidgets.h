#pragma once

#include "ui/FeedbackButton.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRectF>
#include <QWidget>

#include <optional>

class QLabel;
class QPainter;

// Painting shared by the floating canvas panels and the sidebar: rounded fills, borders and soft
// shadows painted from a cached blurred image (no graphics effects on the canvas).
namespace PanelChrome {

QColor withAlpha(QColor color, double opacity);

// A plain text label in the font and colour.
QLabel *label(const QString &text, const QFont &font, const QColor &color, QWidget *parent);

// Fills and strokes a rounded rectangle; the border is drawn inside `rect` (butt caps, miter
// joins), a negative border width draws none.
void paintRoundedBox(QPainter &painter, const QRectF &rect, double radius, const QColor &fill,
                     const QColor &border = {}, double borderWidth = -1, bool dashed = false);

// A rounded rectangle of `size` filled with `color` (its alpha included) on a transparent margin
// of `margin` points on every side, its alpha blurred by three rounds of box passes of
// `boxRadius` (close to a Gaussian). Made once per set of arguments and kept; GUI thread only.
QImage blurredRoundedRect(QSize size, double cornerRadius, const QColor &color, int boxRadius, int margin);

// A soft shadow of a rounded rectangle (black at `opacity`, blurred by `radius`, moved by
// `offset`), painted from a blurred image cached per size, corner, blur and opacity.
void paintShadow(QPainter &painter, const QRectF &rect, double cornerRadius, double opacity, double radius,
                 QPointF offset, const QColor &color = Qt::black);

} // namespace PanelChrome

// A floating panel over the canvas. It stands at `canvasRect` (canvas points) which its owner
// turns into widget coordinates. Presses on the panel's own background are taken, so they never
// reach the canvas behind and start a gesture there.
class FloatingPanel : public QWidget {
    Q_OBJECT

public:
    explicit FloatingPanel(QWidget *parent = nullptr);

    // Where the panel stands on the canvas, in canvas points.
    QRectF canvasRect() const { return m_canvasRect; }
    void setCanvasRect(const QRectF &rect);

    // The soft shadow painted under the panel by whoever paints the canvas (the panel itself
    // only paints inside its bounds).
    struct Shadow {
        double opacity = 0.18;
        double radius = 10;
        QPointF offset{0, 5};
    };
    Shadow shadow() const { return m_shadow; }
    void setShadow(Shadow shadow) { m_shadow = shadow; }
    // Circle-shaped panels (the curve toggle) use a corner radius of half their side.
    double cornerRadius() const { return m_cornerRadius; }

Q_SIGNALS:
    // The panel changed its canvas rectangle; the owner moves it.
    void canvasRectChanged();

protected:
    void setChrome(const QColor &fill, double cornerRadius, const QColor &border, double borderWidth);
    void setBorderColor(const QColor &border);
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QRectF m_canvasRect;
    QColor m_fill = Qt::white;
    double m_cornerRadius = 8;
    QColor m_border;
    double m_borderWidth = 1;
    Shadow m_shadow;
};

// A button drawn as an optional icon and text over a rounded (or circular) fill with an optional
// border; the pressed look comes from FeedbackButton.
class PanelButton : public FeedbackButton {
    Q_OBJECT

public:
    struct Look {
        QColor foreground;
        QColor background;
        QColor border;          // invalid: none
        double borderWidth = 1;
        bool dashedBorder = false;
        bool circle = false;
        QFont font;
        double iconSize = 0;    // 0: no icon
        bool vertical = false;  // icon above the text instead of before it
        double spacing = 6;
    };

    PanelButton(const QString &symbolName, const QString &text, const Look &look, QWidget *parent = nullptr);

    const Look &look() const { return m_look; }
    void setLook(const Look &look);
    void setSymbol(const QString &symbolName);
    const QString &symbolName() const { return m_symbolName; }
    // The look shown while the button is disabled (default: the normal look at 45 % opacity).
    void setDisabledForeground(const QColor &color);

    QSize sizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    void rebuildIcon();

    QString m_symbolName;
    Look m_look;
    QIcon m_icon;
    QIcon m_disabledIcon;
    std::optional<QColor> m_disabledForeground;
};

// A round colour swatch. Two sizes: the text style editor's (18 in a 25 frame, ring "#0F172A"
// 2.4 when selected, white 1.2 otherwise) and the inline editor's (30 in a 44 frame, white ring
// 2, an outer "#0F172A" ring 3 outside when selected).
class ColorSwatchButton : public FeedbackButton {
    Q_OBJECT

public:
    enum class Style { Small, Large };

    ColorSwatchButton(const QString &name, const QString &hex, Style style, QWidget *parent = nullptr);

    const QString &hex() const { return m_hex; }
    bool isSelectedSwatch() const { return m_selected; }
    void setSelectedSwatch(bool selected);

    bool hitButton(const QPoint &pos) const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_hex;
    QColor m_color;
    Style m_style;
    bool m_selected = false;
};

namespace PanelChrome {
// A monospaced face at a pixel size, for the numbers and colour values of the panels.
QFont monospaceFont(double pixelSize, QFont::Weight weight);
// "%.1f" / "%.0f" as the panels show values (halves rounded as printf does).
QString formatNumber(double value, int decimals);
// A style sheet for a transparent list with a slim 6 px scroll indicator, so that a narrow column
// of cards keeps room for its cards when it scrolls.
QString slimListStyleSheet();
} // namespace PanelChrome
