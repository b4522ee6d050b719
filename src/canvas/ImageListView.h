#pragma once

#include "canvas/ImageThumbnailDropDelegate.h"

#include <QListView>
#include <QStyledItemDelegate>

#include <functional>
#include <optional>

class ImageListModel;
class MarkupViewModel;

// Paints one image card: the thumbnail with its number badge on a rounded card whose fill marks
// the current image and whose border marks the multi-selection; a hovered card is lifted with a
// stronger shadow, the dragged one dimmed. Also paints the dashed import tile.
class ImageCardDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int rowHeight = 74; // a 64-high card and the 10-point gap below it

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The card's rectangle inside a row.
    static QRectF cardRect(const QRect &row);
    // The import tile, shared with the empty column's larger tile.
    static void paintImportTile(QPainter &painter, const QRectF &rect);
};

// The scrolling list of image cards. A click makes the image current (Ctrl or Meta toggles it in
// the multi-selection; Shift and Alt click plainly) after resetting the canvas pan; dragging a
// card reorders the list live as it passes over the others.
class ImageListView : public QListView {
    Q_OBJECT

public:
    ImageListView(MarkupViewModel &viewModel, ImageListModel &model, QWidget *parent = nullptr);

    void setImportAction(std::function<void()> action) { m_importAction = std::move(action); }
    void setResetPanAction(std::function<void()> action) { m_resetPan = std::move(action); }

    // What a click on a row does, with the modifiers of the click.
    void activateRow(int row, Qt::KeyboardModifiers modifiers);
    // Whether a click with these modifiers extends the multi-selection.
    static bool extendsSelection(Qt::KeyboardModifiers modifiers);
    // Starts the platform drag of a card and clears the drag state when it ends.
    void startDrag(const QUuid &id);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions) override {}
    bool viewportEvent(QEvent *event) override;

private:
    void enterRow(int row);
    void repaintRow(const QModelIndex &index);

    MarkupViewModel &m_viewModel;
    ImageListModel &m_model;
    ImageThumbnailDropDelegate m_dropDelegate;
    std::function<void()> m_importAction;
    std::function<void()> m_resetPan;
    int m_pressRow = -1;
    QPoint m_pressPosition;
    int m_enteredRow = -1;
};
