#pragma once

#include <QWidget>

// One line of text, cut with "…" when it does not fit; as wide as its text when there is room.
class OneLineLabel final : public QWidget {
    Q_OBJECT

public:
    OneLineLabel(Qt::Alignment alignment, QWidget *parent = nullptr);
    QString text() const { return m_text; }
    void setText(const QString &text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Alignment m_alignment;
    QString m_text;
};
