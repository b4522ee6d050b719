#pragma once

#include "model/ImageItems.h"

#include <QAbstractListModel>
#include <QCache>
#include <QHash>
#include <QListView>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

class MarkupViewModel;

// The comparison sidebar's rows over the view model's pairs. Thumbnails (filled into 48 × 42 with
// rounded corners) are prepared when a card is first drawn, from the pair's small copies or a
// reduced decode, and kept in a bounded cache, so a project of thousands of pairs holds only the
// cards seen lately.
class ComparisonPairListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        NumberRole,
        FileNameRole,
        BeforeThumbnailRole,
        AfterThumbnailRole,
        IsSelectedRole,
    };

    static constexpr QSize thumbnailSize{48, 42};

    explicit ComparisonPairListModel(MarkupViewModel &viewModel, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    std::optional<QUuid> idAt(int row) const;
    void setDevicePixelRatio(qreal ratio) { m_devicePixelRatio = ratio; }

    // "点击切换到第 N 组图片对比", "第 N 组图片对比" and "删除第 N 组图片对比".
    static QString cardToolTip(int number);
    static QString cardAccessibleName(int number);

private:
    void pairsChanged();
    QPixmap thumbnail(const ComparisonPairState &pair, bool after) const;

    MarkupViewModel &m_viewModel;
    std::vector<ComparisonPairState> m_pairs;
    qreal m_devicePixelRatio = 1;
    // By pair id: the before and after thumbnails (a pair's pictures never change), costed in KB.
    static constexpr qsizetype thumbnailCacheKB = 64 * 1024;
    mutable QCache<QUuid, std::pair<QPixmap, QPixmap>> m_thumbnails{thumbnailCacheKB};
};

// Paints one numbered card: the two thumbnails, the badge and the before file's name, and the red
// delete button in the top right corner; the selected card is pale blue with a navy border.
class ComparisonPairDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int cardWidth = 108;
    static constexpr int cardHeight = 80;
    static constexpr int spacing = 10;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static QRectF cardRect(const QRect &row);
    static QRectF deleteButtonRect(const QRect &row);
};

// The scrolling list of pair cards. A click on a card selects its pair, a click on its delete
// button deletes it.
class ComparisonPairListView final : public QListView {
    Q_OBJECT

public:
    explicit ComparisonPairListView(ComparisonPairListModel &model, QWidget *parent = nullptr);

    std::function<void(const QUuid &)> selectAction;
    std::function<void(const QUuid &)> deleteAction;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *) override {}
    bool viewportEvent(QEvent *event) override;

private:
    ComparisonPairListModel &m_model;
    QModelIndex m_pressIndex;
    bool m_pressOnDelete = false;
};
