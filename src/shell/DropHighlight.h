#pragma once

#include <QWidget>

// The dashed rectangle over the workspace while a drag hovers; clicks pass through it.
class DropHighlight : public QWidget
{
    Q_OBJECT

public:
    explicit DropHighlight(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
