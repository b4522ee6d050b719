#pragma once

#include "model/MarkupTools.h"

#include <QWidget>

#include <optional>
#include <vector>

class MarkupViewModel;
class QPainter;

// The numbered list of one header mode's items, reordered by dragging a row over the others.
// Rows are painted by this one widget and the drag is plain mouse tracking, so the order can
// change under the pointer (the view model's order is re-read on every change) without losing the
// drag. Entering another row moves the dragged item directly before it at once.
class HeaderToolbarOrderList : public QWidget
{
    Q_OBJECT

public:
    static constexpr int rowHeight = 40;
    static constexpr int rowSpacing = 6;

    HeaderToolbarOrderList(MarkupViewModel &viewModel, HeaderToolbarMode mode, QWidget *parent = nullptr);

    std::vector<HeaderToolbarItem> order() const;
    std::optional<HeaderToolbarItem> draggingItem() const { return m_draggingItem; }
    QRect rowRect(int index) const;
    // The row's tooltip: title + "：" + help text.
    static QString rowToolTip(HeaderToolbarItem item);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    int rowAt(const QPoint &point) const;
    void paintRow(QPainter &painter, int index, HeaderToolbarItem item);

    MarkupViewModel &m_viewModel;
    HeaderToolbarMode m_mode;
    std::optional<HeaderToolbarItem> m_draggingItem;
    std::optional<HeaderToolbarItem> m_lastEnteredItem;
};
