#pragma once

#include <QWidget>

class ElidedLabel;

// The green line under the preview that sums up the last batch.
class CompressionResultBanner : public QWidget {
    Q_OBJECT

public:
    explicit CompressionResultBanner(QWidget *parent = nullptr);
    void setText(const QString &text);
    QString text() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    ElidedLabel *m_line = nullptr;
};
