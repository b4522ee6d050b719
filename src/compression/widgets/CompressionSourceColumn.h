#pragma once

#include "compression/ImageCompressionModel.h"

#include <QAbstractListModel>
#include <QHash>
#include <QListView>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

class StyledButton;
class QLabel;
class QStackedWidget;

// The compression list's rows: the sources and which of them is shown large.
class CompressionSourceListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    void setSources(const std::vector<ImageCompressionSource> &sources);
    void setSelectedID(const std::optional<QUuid> &id);
    const std::vector<ImageCompressionSource> &sources() const { return m_sources; }
    bool isSelected(int row) const;
    // The thumbnail filling 128 × 78, cut to fit; made once per source.
    QPixmap cardThumbnail(int row, qreal devicePixelRatio) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    std::vector<ImageCompressionSource> m_sources;
    std::optional<QUuid> m_selectedID;
    mutable QHash<QUuid, QPixmap> m_thumbnails;
};

// Paints one card (thumbnail, middle-elided name, facts line, red remove circle) and turns a click
// into selecting the row or, on the circle, removing it.
class CompressionSourceDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int rowHeight = 146; // a 136-high card and the 10-point gap below it
    static constexpr int cardWidth = 142;

    CompressionSourceDelegate(const CompressionSourceListModel &model, QObject *parent = nullptr);
    void setActions(std::function<void(const QUuid &)> select, std::function<void(const QUuid &)> remove);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    static QRectF cardRect(const QRect &row);
    static QRectF thumbnailRect(const QRect &row);
    // The 18-point circle, 5 points in from the thumbnail's top and right edges.
    static QRectF removeCircleRect(const QRect &row);

private:
    const CompressionSourceListModel &m_model;
    std::function<void(const QUuid &)> m_select;
    std::function<void(const QUuid &)> m_remove;
    int m_pressRow = -1;
    bool m_pressOnCircle = false;
};

// The left column: the header with the count, then either the dashed add tile or the list of
// cards with the "添加" and "清空" buttons under it.
class CompressionSourceColumn : public QWidget {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> add;
        std::function<void()> clear;
        std::function<void(const QUuid &)> select;
        std::function<void(const QUuid &)> remove;
    };

    explicit CompressionSourceColumn(Actions actions, QWidget *parent = nullptr);
    void setSources(const std::vector<ImageCompressionSource> &sources);
    void setSelectedID(const std::optional<QUuid> &id);

    QListView *listView() const { return m_list; }
    CompressionSourceListModel &model() { return m_model; }
    StyledButton *addTile() const { return m_addTile; }
    StyledButton *addButton() const { return m_addButton; }
    StyledButton *clearButton() const { return m_clearButton; }
    QString countText() const;
    bool showsList() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Actions m_actions;
    CompressionSourceListModel m_model;
    CompressionSourceDelegate m_delegate;
    QLabel *m_count = nullptr;
    QStackedWidget *m_forms = nullptr;
    QListView *m_list = nullptr;
    StyledButton *m_addTile = nullptr;
    StyledButton *m_addButton = nullptr;
    StyledButton *m_clearButton = nullptr;
};
