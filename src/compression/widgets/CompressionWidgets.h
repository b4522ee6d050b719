#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

// The painted controls of the compression workspace.

// One line of text elided in the middle (names) or at the end (facts).
class CompressionTextLine : public QWidget {
    Q_OBJECT

public:
    CompressionTextLine(double pixels, QFont::Weight weight, const QColor &color, Qt::TextElideMode mode,
                        QWidget *parent = nullptr);
    void setText(const QString &text);
    QString text() const { return m_text; }
    // The text as it fits the current width.
    QString shownText() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QColor m_color;
    Qt::TextElideMode m_mode;
};

// A small fact in a grey rounded box under the preview ("1920×1080", "2.5 MB", "GIF 24 帧").
class CompressionInfoBadge : public QWidget {
    Q_OBJECT

public:
    explicit CompressionInfoBadge(const QString &text, QWidget *parent = nullptr);
    QString text() const { return m_text; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};

// The green line under the preview that sums up the last batch.
class CompressionResultBanner : public QWidget {
    Q_OBJECT

public:
    explicit CompressionResultBanner(QWidget *parent = nullptr);
    void setText(const QString &text);
    QString text() const { return m_text; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};

// A widget filled with a colour and optionally outlined in a rounded rectangle.
class CompressionSurface : public QWidget {
    Q_OBJECT

public:
    CompressionSurface(const QColor &fill, const QColor &border, qreal radius, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    QColor m_border;
    qreal m_radius;
};
