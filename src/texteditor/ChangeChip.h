#pragma once

#include <QWidget>

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
