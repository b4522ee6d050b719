#pragma once

#include "ui/FeedbackButton.h"

// A 158 × 128 launcher card: the workspace's symbol and title on white.
class LauncherCard : public FeedbackButton
{
    Q_OBJECT

public:
    LauncherCard(const QString &title, const QString &symbolName, QWidget *parent = nullptr);

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    QString m_symbolName;
};
