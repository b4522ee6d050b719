#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// The button of every workspace. While it is held down its content darkens slightly, a rounded
// overlay in the accent colour (16 % opacity) covers it, and the whole button shrinks to 97 %
// about its centre; the change eases out over 0.1 s.
//
// The content is the icon and text by default; subclasses draw their own by overriding
// paintContent().
class FeedbackButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit FeedbackButton(QWidget *parent = nullptr);
    FeedbackButton(const QString &text, qreal cornerRadius, QWidget *parent = nullptr);
    ~FeedbackButton() override;

    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);

    // 0 when released, 1 when fully pressed; in between while the press animates.
    qreal pressProgress() const { return m_pressProgress; }

    // Compact: the icon alone, the title moved into the tooltip; a crowded header turns buttons
    // compact rather than clip their titles.
    bool isCompact() const { return m_compact; }
    void setCompact(bool compact);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    // Draws the unpressed content into `rect` (widget coordinates).
    virtual void paintContent(QPainter &painter, const QRectF &rect);

private:
    void animateTowards(qreal target);

    qreal m_cornerRadius = 8;
    bool m_compact = false;
    QString m_fullToolTip;
    qreal m_pressProgress = 0;
    qreal m_targetProgress = 0;
    QVariantAnimation *m_animation = nullptr;
};
