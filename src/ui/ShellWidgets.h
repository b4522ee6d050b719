#pragma once

#include "ui/FeedbackButton.h"

#include <QColor>
#include <QLabel>
#include <QPointer>
#include <QWidget>

class AppUpdateManager;
class MarkupViewModel;
class QSlider;
class QVBoxLayout;
class QTimer;

// The small painted controls of the window frame: header buttons, launcher cards, the status line,
// the zoom cluster, the update button and the drop highlight.

// One line of text that takes whatever width is left and elides the middle of what does not fit;
// the full text is its tooltip.
class ElidedLabel : public QWidget
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);
    void setText(const QString &text);
    QString text() const { return m_text; }
    void setColor(const QColor &color);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QColor m_color;
};

// The text-and-symbol button of the header and the empty states: symbol and title at 12.5 px
// semibold, at least 86 × 38, on a rounded filled and outlined shape; compact, the symbol alone in
// 38 × 38. Squeezed below its size the title elides.
class ActionButton : public FeedbackButton
{
    Q_OBJECT

public:
    ActionButton(const QString &title, const QString &symbolName, QWidget *parent = nullptr);
    void setColors(const QColor &foreground, const QColor &background, const QColor &border);
    QString symbolName() const { return m_symbolName; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_symbolName;
    QColor m_foreground;
    QColor m_background;
    QColor m_border;
};

// A button that shows one symbol in a fixed square (zoom steps, the header order button, the
// editor's close button), optionally on a filled and outlined rounded shape.
class SymbolButton : public FeedbackButton
{
    Q_OBJECT

public:
    SymbolButton(const QString &symbolName, int side, int symbolSize, const QColor &tint, qreal cornerRadius,
                 QWidget *parent = nullptr);
    void setSurface(const QColor &background, const QColor &border);
    QString symbolName() const { return m_symbolName; }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_symbolName;
    int m_symbolSize;
    QColor m_tint;
    QColor m_background;
    QColor m_border;
};

// One button of the header's workspace switcher: navy with white text while its workspace is on
// screen, else slate text on a clear ground.
class SwitcherButton : public FeedbackButton
{
    Q_OBJECT

public:
    SwitcherButton(const QString &title, const QString &symbolName, int minimumWidth, QWidget *parent = nullptr);
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_symbolName;
    int m_minimumWidth;
    bool m_selected = false;
};

// A 158 × 128 launcher card: the workspace's symbol and title on white.
class LauncherCard : public FeedbackButton
{
    Q_OBJECT

public:
    LauncherCard(const QString &title, const QString &symbolName, QWidget *parent = nullptr);

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_symbolName;
};

// The zoom cluster: zoom out, a slider over 0.25…30, the percentage and zoom in. It writes the
// view model's zoom on presses and user moves of the slider only; a zoom pushed by the model moves
// the slider without writing a rounded value back.
class ZoomControls : public QWidget
{
    Q_OBJECT

public:
    static constexpr int sliderScale = 1000;
    static constexpr int preferredSliderWidth = 132;
    static constexpr int minimumSliderWidth = 60;

    explicit ZoomControls(MarkupViewModel &viewModel, QWidget *parent = nullptr);
    QSlider *slider() const { return m_slider; }
    FeedbackButton *zoomOutButton() const { return m_zoomOut; }
    FeedbackButton *zoomInButton() const { return m_zoomIn; }
    QString percentText() const;
    // The slider's width, kept within minimumSliderWidth…preferredSliderWidth.
    void setSliderWidth(int width);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void syncFromModel();

    MarkupViewModel &m_viewModel;
    FeedbackButton *m_zoomOut = nullptr;
    FeedbackButton *m_zoomIn = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_percent = nullptr;
};

// The update column's button: a symbol (a spinner while checking) and the version or update title.
class UpdateCheckButton : public FeedbackButton
{
    Q_OBJECT

public:
    explicit UpdateCheckButton(AppUpdateManager &manager, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    void refresh();

    AppUpdateManager &m_manager;
    QTimer *m_spinner = nullptr;
    int m_spinnerAngle = 0;
};

// The dashed rectangle over the workspace while a drag hovers; clicks pass through it.
class DropHighlight : public QWidget
{
    Q_OBJECT

public:
    explicit DropHighlight(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

namespace ShellPainting {
// A rounded rectangle filled and/or outlined (1 px) half a pixel inside `rect`.
void roundedPanel(QPainter &painter, const QRectF &rect, qreal radius, const QColor &fill, const QColor &border);
// A symbol icon drawn centred in `rect` at `size` pixels.
void symbol(QPainter &painter, const QString &name, const QColor &tint, const QRectF &rect, int size);
} // namespace ShellPainting

// The opening of a workspace's empty state: a widget named `objectName` holding a column with
// 24-point margins, `spacing` apart, that starts with a stretch and the workspace's navy symbol at
// `symbolSize` pixels. The caller adds its texts and buttons and a closing stretch to the column.
QVBoxLayout *emptyStateColumn(QWidget *empty, const QString &objectName, const QString &symbolName, int symbolSize,
                              int spacing);
