#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

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
