#pragma once

#include "ui/FeedbackButton.h"

class AppUpdateManager;
class BusySpinner;

// The update column's button: a symbol (a spinner while checking) and the version or update title.
class UpdateCheckButton : public FeedbackButton
{
    Q_OBJECT

public:
    explicit UpdateCheckButton(AppUpdateManager &manager, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    void refresh();

    AppUpdateManager &m_manager;
    BusySpinner *m_spinner = nullptr;
};
