#pragma once

#include <QWidget>

class BusySpinner;

// "正在对比…" with a turning ring: the header's sign that the comparison of the texts shown is
// still running. It turns only while shown.
class ComparisonBusyMark final : public QWidget {
    Q_OBJECT

public:
    explicit ComparisonBusyMark(QWidget *parent = nullptr);

    QString text() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    BusySpinner *m_spinner = nullptr;
};
