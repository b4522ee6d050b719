#pragma once

#include "model/ImageHandle.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPixmap>
#include <QSet>
#include <QUuid>

#include <optional>
#include <vector>

class MarkupViewModel;

// The image list's rows over the view model's images, plus the dashed import tile after the last
// image. It mirrors the order it last published, so a reorder becomes one row move and a
// selection change a repaint of the rows whose look changed, never a rebuild of the list. The
// card under the pointer and the card being dragged are view state kept here for the delegate.
class ImageListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        FileNameRole,
        ThumbnailRole,   // QPixmap: the thumbnail filled into 72 × 58 with rounded corners
        IsCurrentRole,
        IsMultiSelectedRole,
        IsHoveredRole,
        IsDraggingRole,
        IsImportTileRole,
    };

    static constexpr QSize thumbnailSize{72, 58};

    explicit ImageListModel(MarkupViewModel &viewModel, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The image of a row; nothing for the import tile or outside the list.
    std::optional<QUuid> idAt(int row) const;
    bool isImportTile(int row) const;
    int rowOf(const QUuid &id) const;

    void setHoveredID(std::optional<QUuid> id);
    std::optional<QUuid> draggingID() const { return m_draggingID; }
    void setDraggingID(std::optional<QUuid> id);

    // The device pixel ratio the thumbnails are prepared for.
    void setDevicePixelRatio(qreal ratio);

    // "点击切换到第 N 张图片；拖动可调整图片顺序" and "第 N 张图片，<name>".
    static QString cardToolTip(int row);
    static QString cardAccessibleName(int row, const QString &fileName);

private:
    void itemsChanged();
    void selectionChanged();
    void emitRowChanged(const std::optional<QUuid> &id);
    QPixmap thumbnail(int row) const;

    struct CachedThumbnail {
        ImageHandle source;
        QPixmap pixmap;
    };

    MarkupViewModel &m_viewModel;
    std::vector<QUuid> m_ids;
    std::optional<QUuid> m_currentID;
    QSet<QUuid> m_multiSelected;
    std::optional<QUuid> m_hoveredID;
    std::optional<QUuid> m_draggingID;
    qreal m_devicePixelRatio = 1;
    mutable QHash<QUuid, CachedThumbnail> m_thumbnails;
};
