#pragma once

#include "model/MarkupTools.h"
#include "shell/HeaderToolbarOrderList.h"

#include <QWidget>

#include <functional>

class MarkupViewModel;

// The popover of the header's order button: a title with the mode's name, the item list, a reset
// button and a done button. It keeps no copy of the order; every change goes through the view
// model, which saves it at once, so the header behind reorders while the popover is open.
//
// A frameless tool window placed below its anchor; Escape, a press outside it and the window
// losing the focus close it (through `close`).
class HeaderToolbarOrderEditor : public QWidget
{
    Q_OBJECT

public:
    HeaderToolbarOrderEditor(MarkupViewModel &viewModel, HeaderToolbarMode mode, std::function<void()> close,
                             QWidget *anchor, QWidget *parent);

    HeaderToolbarMode mode() const { return m_mode; }
    HeaderToolbarOrderList *list() const { return m_list; }
    QWidget *resetButton() const { return m_resetButton; }
    QWidget *doneButton() const { return m_doneButton; }
    QWidget *closeButton() const { return m_closeButton; }

    // Shows the popover with its top edge below the anchor, right-aligned to it, kept on screen.
    void showBelow(QWidget *anchor);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    HeaderToolbarMode m_mode;
    HeaderToolbarOrderList *m_list = nullptr;
    QWidget *m_resetButton = nullptr;
    QWidget *m_doneButton = nullptr;
    QWidget *m_closeButton = nullptr;
};
