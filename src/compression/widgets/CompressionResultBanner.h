#pragma once

#include <QWidget>

class ElidedLabel;

// The line under the preview that sums up the last batch: green, or red when images failed.
class CompressionResultBanner : public QWidget {
    Q_OBJECT

public:
    explicit CompressionResultBanner(QWidget *parent = nullptr);
    void setSummary(const QString &text, bool reportsFailures);
    QString text() const;
    bool reportsFailures() const { return m_reportsFailures; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    ElidedLabel *m_line = nullptr;
    bool m_reportsFailures = false;
};
