#include "canvas/ImageListModel.h"

#include "model/MarkupViewModel.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

ImageListModel::ImageListModel(MarkupViewModel &viewModel, QObject *parent)
    : QAbstractListModel(parent)
    , m_viewModel(viewModel)
{
    for (const ImageMarkupItem &item : viewModel.items())
        m_ids.push_back(item.id);
    m_currentID = viewModel.selectedItemID();
    m_multiSelected = viewModel.selectedImageItemIDs();
    connect(&viewModel, &MarkupViewModel::itemsChanged, this, &ImageListModel::itemsChanged);
    connect(&viewModel, &MarkupViewModel::selectedItemIDChanged, this, &ImageListModel::selectionChanged);
    connect(&viewModel, &MarkupViewModel::selectedImageItemIDsChanged, this, &ImageListModel::selectionChanged);
}

int ImageListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || m_ids.empty())
        return 0;
    return int(m_ids.size()) + 1;
}

bool ImageListModel::isImportTile(int row) const
{
    return !m_ids.empty() && row == int(m_ids.size());
}

std::optional<QUuid> ImageListModel::idAt(int row) const
{
    if (row < 0 || row >= int(m_ids.size()))
        return std::nullopt;
    return m_ids[size_t(row)];
}

int ImageListModel::rowOf(const QUuid &id) const
{
    for (size_t i = 0; i < m_ids.size(); ++i)
        if (m_ids[i] == id)
            return int(i);
    return -1;
}

Qt::ItemFlags ImageListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QString ImageListModel::cardToolTip(int row)
{
    return QStringLiteral("点击切换到第 %1 张图片；拖动可调整图片顺序").arg(qint64(row) + 1);
}

QString ImageListModel::cardAccessibleName(int row, const QString &fileName)
{
    return QStringLiteral("第 %1 张图片，").arg(qint64(row) + 1) + fileName;
}

QVariant ImageListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    if (isImportTile(row)) {
        switch (role) {
        case IsImportTileRole:
            return true;
        case Qt::ToolTipRole:
            return QStringLiteral("继续导入图片到当前图片列表");
        case Qt::AccessibleTextRole:
            return QStringLiteral("继续导入图片");
        default:
            return {};
        }
    }
    const QUuid &id = m_ids[size_t(row)];
    switch (role) {
    case IdRole:
        return id;
    case FileNameRole:
        return m_viewModel.items()[size_t(row)].fileName;
    case ThumbnailRole:
        return thumbnail(row);
    case IsCurrentRole:
        return m_currentID == id;
    case IsMultiSelectedRole:
        return m_multiSelected.contains(id);
    case IsHoveredRole:
        return m_hoveredID == id;
    case IsDraggingRole:
        return m_draggingID == id;
    case IsImportTileRole:
        return false;
    case Qt::ToolTipRole:
        return cardToolTip(row);
    case Qt::AccessibleTextRole:
        return cardAccessibleName(row, m_viewModel.items()[size_t(row)].fileName);
    default:
        return {};
    }
}

QPixmap ImageListModel::thumbnail(int row) const
{
    const ImageMarkupItem &item = m_viewModel.items()[size_t(row)];
    auto found = m_thumbnails.find(item.id);
    if (found != m_thumbnails.end() && found->source.sharesPictureWith(item.thumbnail))
        return found->pixmap;

    // Filled into the frame with the aspect ratio kept, cut to a rounded rectangle, once per
    // picture: painting a card is then a single pixmap blit.
    const QSize pixels(int(std::lround(thumbnailSize.width() * m_devicePixelRatio)),
                       int(std::lround(thumbnailSize.height() * m_devicePixelRatio)));
    QPixmap pixmap(pixels);
    pixmap.fill(Qt::transparent);
    const QImage source = item.thumbnail.image();
    if (!source.isNull()) {
        QPainter painter(&pixmap);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        QPainterPath clip;
        const double radius = 7 * m_devicePixelRatio;
        clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(pixels)), radius, radius);
        painter.setClipPath(clip);
        const double scale = std::max(double(pixels.width()) / source.width(), double(pixels.height()) / source.height());
        const QSizeF drawn(source.width() * scale, source.height() * scale);
        painter.drawImage(QRectF(QPointF((pixels.width() - drawn.width()) / 2, (pixels.height() - drawn.height()) / 2), drawn),
                          source);
    }
    pixmap.setDevicePixelRatio(m_devicePixelRatio);
    m_thumbnails.insert(item.id, {item.thumbnail, pixmap});
    return pixmap;
}

void ImageListModel::setDevicePixelRatio(qreal ratio)
{
    if (ratio <= 0 || ratio == m_devicePixelRatio)
        return;
    m_devicePixelRatio = ratio;
    m_thumbnails.clear();
    if (!m_ids.empty())
        Q_EMIT dataChanged(index(0), index(int(m_ids.size()) - 1), {ThumbnailRole});
}

void ImageListModel::itemsChanged()
{
    std::vector<QUuid> ids;
    ids.reserve(m_viewModel.items().size());
    for (const ImageMarkupItem &item : m_viewModel.items())
        ids.push_back(item.id);

    // Forget thumbnails of images that left the list.
    if (m_thumbnails.size() > qsizetype(ids.size())) {
        const QSet<QUuid> present(ids.begin(), ids.end());
        for (auto it = m_thumbnails.begin(); it != m_thumbnails.end();)
            it = present.contains(it.key()) ? std::next(it) : m_thumbnails.erase(it);
    }

    if (ids == m_ids) {
        // Same rows: only the look of the rows whose thumbnail or name changed.
        const auto &items = m_viewModel.items();
        for (size_t i = 0; i < ids.size(); ++i) {
            const auto found = m_thumbnails.constFind(ids[i]);
            if (found != m_thumbnails.constEnd() && !found->source.sharesPictureWith(items[i].thumbnail))
                Q_EMIT dataChanged(index(int(i)), index(int(i)));
        }
        return;
    }

    // One image moved: a row move keeps the view's scroll position and every other row.
    if (ids.size() == m_ids.size() && ids.size() > 1) {
        size_t first = 0;
        while (first < ids.size() && ids[first] == m_ids[first])
            ++first;
        size_t last = ids.size() - 1;
        while (last > first && ids[last] == m_ids[last])
            --last;
        const bool movedDown = m_ids[first] == ids[last]
            && std::equal(m_ids.begin() + long(first) + 1, m_ids.begin() + long(last) + 1, ids.begin() + long(first));
        const bool movedUp = ids[first] == m_ids[last]
            && std::equal(m_ids.begin() + long(first), m_ids.begin() + long(last), ids.begin() + long(first) + 1);
        if (movedDown || movedUp) {
            const int from = movedDown ? int(first) : int(last);
            const int to = movedDown ? int(last) : int(first);
            beginMoveRows(QModelIndex(), from, from, QModelIndex(), movedDown ? to + 1 : to);
            m_ids = std::move(ids);
            endMoveRows();
            // Numbers, tooltips and names follow the new positions.
            Q_EMIT dataChanged(index(std::min(from, to)), index(std::max(from, to)));
            return;
        }
    }

    beginResetModel();
    m_ids = std::move(ids);
    endResetModel();
}

void ImageListModel::emitRowChanged(const std::optional<QUuid> &id)
{
    if (!id)
        return;
    const int row = rowOf(*id);
    if (row >= 0)
        Q_EMIT dataChanged(index(row), index(row));
}

void ImageListModel::selectionChanged()
{
    const std::optional<QUuid> current = m_viewModel.selectedItemID();
    const QSet<QUuid> multi = m_viewModel.selectedImageItemIDs();
    if (current != m_currentID) {
        const std::optional<QUuid> previous = m_currentID;
        m_currentID = current;
        emitRowChanged(previous);
        emitRowChanged(current);
    }
    if (multi != m_multiSelected) {
        QSet<QUuid> changed = multi;
        changed.unite(m_multiSelected);
        changed.subtract(QSet<QUuid>(multi).intersect(m_multiSelected));
        m_multiSelected = multi;
        for (const QUuid &id : changed)
            emitRowChanged(id);
    }
}

void ImageListModel::setHoveredID(std::optional<QUuid> id)
{
    if (id == m_hoveredID)
        return;
    const std::optional<QUuid> previous = m_hoveredID;
    m_hoveredID = id;
    emitRowChanged(previous);
    emitRowChanged(id);
}

void ImageListModel::setDraggingID(std::optional<QUuid> id)
{
    if (id == m_draggingID)
        return;
    const std::optional<QUuid> previous = m_draggingID;
    m_draggingID = id;
    emitRowChanged(previous);
    emitRowChanged(id);
}
