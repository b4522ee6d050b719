#pragma once

#include <QWidget>

// The legend: two coloured dots and their meanings.
class MarkupLegend : public QWidget {
    Q_OBJECT

public:
    explicit MarkupLegend(QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
