#pragma once

#include <QWidget>

// A small fact in a grey rounded box under the preview ("1920×1080", "2.5 MB", "GIF 24 帧").
class CompressionInfoBadge : public QWidget {
    Q_OBJECT

public:
    explicit CompressionInfoBadge(const QString &text, QWidget *parent = nullptr);
    QString text() const { return m_text; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};
