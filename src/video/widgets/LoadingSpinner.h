#pragma once

#include <QWidget>

class BusySpinner;

// The small indeterminate spinner shown while a video loads; turns only while visible.
class LoadingSpinner final : public QWidget {
    Q_OBJECT

public:
    explicit LoadingSpinner(QWidget *parent = nullptr);
    int angle() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    BusySpinner *m_spinner = nullptr;
};
