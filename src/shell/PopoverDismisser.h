#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

// Closes a popover window on Escape, on a mouse press outside it, and when its owner window is no
// longer the active one (another application came to the front). Lives as a child of the popover.
class PopoverDismisser : public QObject
{
    Q_OBJECT

public:
    PopoverDismisser(QWidget *popover, QWidget *anchor, std::function<void()> close);
    ~PopoverDismisser() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_popover;
    QPointer<QWidget> m_anchor;
    std::function<void()> m_close;
};
