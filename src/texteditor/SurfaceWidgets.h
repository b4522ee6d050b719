#pragma once

#include "ui/StyledButton.h"
#include "model/TextComparisonState.h"

#include <QColor>
#include <QWidget>

// The painted controls of the comparison surface.

// A colour of the surface's palette written as "#RRGGBB", with an opacity.
QColor surfaceColor(const char *hex, qreal opacity = 1);

// A rounded button with an optional symbol before its title.
class SurfaceButton : public StyledButton {
    Q_OBJECT

public:
    SurfaceButton(const QString &title, const QString &symbolName, QSize minimumSize, QWidget *parent = nullptr);
    void setTitle(const QString &title);
    void setLabelFont(const QFont &font);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;
};

// A markup tool: icon, title and the shortcut digit in a small circle; 74 × 28.
class MarkupToolButton : public FeedbackButton {
    Q_OBJECT

public:
    MarkupToolButton(const QString &title, const QString &symbolName, const QString &shortcutKey,
                     const QString &badgeColorHex, QWidget *parent = nullptr);
    void setHighlighted(bool highlighted);
    bool isHighlighted() const { return m_highlighted; }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_title;
    QString m_symbolName;
    QString m_shortcutKey;
    QColor m_badgeColor;
    bool m_highlighted = false;
};

// A colour swatch: an 18-pixel circle, ringed dark when chosen.
class ColorSwatch : public FeedbackButton {
    Q_OBJECT

public:
    ColorSwatch(const QString &name, const QString &hex, QWidget *parent = nullptr);
    QString hex() const { return m_hex; }
    void setChosen(bool chosen);
    bool isChosen() const { return m_chosen; }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_hex;
    bool m_chosen = false;
};

// A white rounded panel with a light border (the panes, the list, the search field).
class RoundedPanel : public QWidget {
    Q_OBJECT

public:
    RoundedPanel(const QColor &fill, const QColor &border, qreal borderWidth = 1, QWidget *parent = nullptr);
    void setBorder(const QColor &border, qreal width);
    QColor border() const { return m_border; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    QColor m_border;
    qreal m_borderWidth;
};

// One change of the strip: its number in a blue circle and its text.
class ChangeChip : public QWidget {
    Q_OBJECT

public:
    ChangeChip(qint64 number, const QString &text, QWidget *parent = nullptr);
    void setContent(qint64 number, const QString &text);
    QString text() const { return m_text; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_number;
    QString m_text;
};

// One row of the list of notes.
class AnnotationListRow : public FeedbackButton {
    Q_OBJECT

public:
    AnnotationListRow(const TextMarkupAnnotation &annotation, const QString &snippet, bool focused,
                      QWidget *parent = nullptr);
    // Shows another markup in this row (the list keeps its rows while the text is typed in).
    void setContent(const TextMarkupAnnotation &annotation, const QString &snippet, bool focused);
    const TextMarkupAnnotation &annotation() const { return m_annotation; }
    const QString &snippet() const { return m_snippet; }
    bool isFocused() const { return m_focused; }
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    TextMarkupAnnotation m_annotation;
    QString m_snippet;
    bool m_focused;
};

// The legend: two coloured dots and their meanings.
class MarkupLegend : public QWidget {
    Q_OBJECT

public:
    explicit MarkupLegend(QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
