#include "canvas/ImageListView.h"

#include "canvas/ImageListModel.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "model/UuidText.h"
#include "platform/SymbolIcons.h"
#include "ui/PanelChrome.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

// ---- ImageCardDelegate -------------------------------------------------------------------------------

QRectF ImageCardDelegate::cardRect(const QRect &row)
{
    return QRectF(row.left() + (row.width() - 78) / 2.0, row.top(), 78, 64);
}

void ImageCardDelegate::paintImportTile(QPainter &painter, const QRectF &rect)
{
    painter.save();
    PanelChrome::paintRoundedBox(painter, rect, 8, Qt::white, AppTheme::lightSlate(), 1, true);
    const bool tall = rect.height() > 70;
    const double iconSide = tall ? 22 : 20;
    const QFont font = AppFont::font(TypeScale::caption, QFont::DemiBold);
    const double textHeight = QFontMetricsF(font).height();
    const double top = rect.center().y() - (iconSide + 7 + textHeight) / 2;
    static const QIcon icon = SymbolIcons::icon(QStringLiteral("photo.badge.plus"), AppTheme::secondaryText());
    icon.paint(&painter, QRectF(rect.center().x() - iconSide / 2, top, iconSide, iconSide).toRect());
    painter.setFont(font);
    painter.setPen(AppTheme::secondaryText());
    painter.drawText(QRectF(rect.left(), top + iconSide + 7, rect.width(), textHeight), Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("导入"));
    painter.restore();
}

QSize ImageCardDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(std::max(78, option.rect.width()), rowHeight);
}

void ImageCardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QRectF card = cardRect(option.rect);
    if (index.data(ImageListModel::IsImportTileRole).toBool()) {
        paintImportTile(*painter, QRectF(card.center().x() - 38, card.top(), 76, 64));
        return;
    }
    const bool current = index.data(ImageListModel::IsCurrentRole).toBool();
    const bool multi = index.data(ImageListModel::IsMultiSelectedRole).toBool();
    const bool hovered = index.data(ImageListModel::IsHoveredRole).toBool();
    const bool dragging = index.data(ImageListModel::IsDraggingRole).toBool();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (dragging)
        painter->setOpacity(0.54);
    if (hovered) {
        painter->translate(card.center());
        painter->scale(1.01, 1.01);
        painter->translate(-card.center());
        PanelChrome::paintShadow(*painter, card, 8, 0.16, 10, QPointF(0, 5));
    } else {
        PanelChrome::paintShadow(*painter, card, 8, 0.06, 4, QPointF(0, 2));
    }
    PanelChrome::paintRoundedBox(*painter, card, 8, current ? AppTheme::paleBlue() : QColor(Qt::white),
                                 multi ? AppTheme::navy() : AppTheme::lightSlate(), multi ? 2 : 1);
    const QRectF thumbnailRect(card.left() + 3, card.top() + 3, 72, 58);
    const QPixmap thumbnail = index.data(ImageListModel::ThumbnailRole).value<QPixmap>();
    if (!thumbnail.isNull())
        painter->drawPixmap(thumbnailRect.topLeft(), thumbnail);

    // The number badge at the thumbnail's top-left corner.
    const QFont badgeFont = PanelChrome::monospaceFont(10, QFont::Bold);
    const QString number = QString::number(qint64(index.row()) + 1);
    const QFontMetricsF metrics(badgeFont);
    const QRectF badge(thumbnailRect.left() + 4, thumbnailRect.top() + 4, metrics.horizontalAdvance(number) + 10,
                       metrics.height() + 6);
    PanelChrome::paintRoundedBox(*painter, badge, 5, PanelChrome::withAlpha(AppTheme::navy(), 0.92));
    painter->setFont(badgeFont);
    painter->setPen(Qt::white);
    painter->drawText(badge, Qt::AlignCenter, number);
    painter->restore();
}

// ---- ImageListView -----------------------------------------------------------------------------------

ImageListView::ImageListView(MarkupViewModel &viewModel, ImageListModel &model, QWidget *parent)
    : QListView(parent)
    , m_viewModel(viewModel)
    , m_model(model)
    , m_dropDelegate(viewModel, model)
{
    setModel(&model);
    setItemDelegate(new ImageCardDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(20);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    // Drags are started and accepted by hand (setting a drag-drop mode would reset acceptDrops).
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setAutoScroll(true);
    viewport()->setAutoFillBackground(false);
    // A slim overlay-like indicator, so the narrow column keeps its cards centred.
    setStyleSheet(PanelChrome::slimListStyleSheet());
    model.setDevicePixelRatio(devicePixelRatioF());
    // Shadows reach past a row, so a row's repaint covers its neighbourhood.
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                if (topLeft.row() == bottomRight.row())
                    repaintRow(topLeft);
            });
}

bool ImageListView::extendsSelection(Qt::KeyboardModifiers modifiers)
{
    return modifiers & (Qt::ControlModifier | Qt::MetaModifier);
}

void ImageListView::repaintRow(const QModelIndex &index)
{
    viewport()->update(visualRect(index).adjusted(-4, -16, 4, 24));
}

void ImageListView::activateRow(int row, Qt::KeyboardModifiers modifiers)
{
    if (m_model.isImportTile(row)) {
        if (m_importAction)
            m_importAction();
        return;
    }
    const std::optional<QUuid> id = m_model.idAt(row);
    if (!id)
        return;
    if (m_resetPan)
        m_resetPan();
    m_viewModel.selectImageItem(*id, extendsSelection(modifiers));
}

void ImageListView::mousePressEvent(QMouseEvent *event)
{
    m_pressRow = -1;
    if (event->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid()) {
            m_pressRow = index.row();
            m_pressPosition = event->position().toPoint();
        }
    }
    event->accept();
}

void ImageListView::mouseMoveEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    m_model.setHoveredID(index.isValid() ? m_model.idAt(index.row()) : std::nullopt);
    if (m_pressRow < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - m_pressPosition).manhattanLength() < QApplication::startDragDistance())
        return;
    const std::optional<QUuid> id = m_model.idAt(m_pressRow);
    m_pressRow = -1;
    if (id)
        startDrag(*id);
}

void ImageListView::mouseReleaseEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && m_pressRow >= 0 && index.isValid() && index.row() == m_pressRow)
        activateRow(index.row(), event->modifiers());
    m_pressRow = -1;
    event->accept();
}

void ImageListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is a press like any other.
    mousePressEvent(event);
}

void ImageListView::leaveEvent(QEvent *event)
{
    m_model.setHoveredID(std::nullopt);
    QListView::leaveEvent(event);
}

bool ImageListView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::HoverLeave || event->type() == QEvent::Leave)
        m_model.setHoveredID(std::nullopt);
    return QListView::viewportEvent(event);
}

void ImageListView::startDrag(const QUuid &id)
{
    m_model.setDraggingID(id);
    m_enteredRow = -1;
    auto *drag = new QDrag(this);
    auto *mimeData = new QMimeData;
    mimeData->setText(UuidText::toString(id));
    drag->setMimeData(mimeData);
    const int row = m_model.rowOf(id);
    if (row >= 0) {
        const QRect rect = visualRect(m_model.index(row)).intersected(viewport()->rect());
        if (!rect.isEmpty())
            drag->setPixmap(viewport()->grab(rect));
    }
    drag->exec(Qt::MoveAction);
    // However the drag ended, it is over: no stale state may accept a later foreign drop.
    m_model.setDraggingID(std::nullopt);
    m_enteredRow = -1;
}

void ImageListView::enterRow(int row)
{
    if (row == m_enteredRow)
        return;
    m_enteredRow = row;
    if (const std::optional<QUuid> target = m_model.idAt(row))
        m_dropDelegate.dropEntered(*target);
}

void ImageListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!m_dropDelegate.validateDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    m_enteredRow = -1;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        enterRow(index.row());
}

void ImageListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!m_dropDelegate.validateDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    const QModelIndex index = indexAt(event->position().toPoint());
    enterRow(index.isValid() ? index.row() : -1);
}

void ImageListView::dragLeaveEvent(QDragLeaveEvent *event)
{
    m_enteredRow = -1;
    event->accept();
}

void ImageListView::dropEvent(QDropEvent *event)
{
    if (!m_dropDelegate.validateDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    m_dropDelegate.performDrop();
    m_enteredRow = -1;
}
