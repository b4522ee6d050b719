#include "PanelsFixture.h"
#include "PanelsTestInput.h"

#include "canvas/ImageListModel.h"
#include "canvas/ImageListView.h"
#include "canvas/ImageMarkupSidebar.h"
#include "model/UuidText.h"
#include "ui/PanelButton.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>

namespace {

class ImageList : public PanelsFixture {
protected:
    std::unique_ptr<ImageListColumn> column;
    int imports = 0;
    int panResets = 0;

    void build()
    {
        column = std::make_unique<ImageListColumn>(model);
        column->setImportAction([this] { ++imports; });
        column->setResetPanAction([this] { ++panResets; });
        column->resize(ImageListColumn::columnWidth, 900);
        column->show();
        PanelsTestInput::pump();
    }

    ImageListView *view() const { return column->listView(); }
    QPoint rowCentre(int row) const { return view()->visualRect(column->listModel()->index(row)).center(); }

    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        PanelsTestInput::mouseClick(view()->viewport(), modifiers, rowCentre(row));
    }

    QStringList order() const
    {
        QStringList names;
        for (const ImageMarkupItem &item : model.items())
            names << item.fileName;
        return names;
    }

    QUuid id(int index) const { return model.items()[size_t(index)].id; }

    // A drag over the list's viewport: enter at one row, then move over others, then drop.
    bool dragEnter(int row, const QString &payload)
    {
        QMimeData mime;
        mime.setText(payload);
        QDragEnterEvent enter(rowCentre(row), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view()->viewport(), &enter);
        return enter.isAccepted();
    }
    void dragMove(int row, const QString &payload)
    {
        QMimeData mime;
        mime.setText(payload);
        QDragMoveEvent move(rowCentre(row), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view()->viewport(), &move);
    }
    bool drop(int row, const QString &payload)
    {
        QMimeData mime;
        mime.setText(payload);
        QDropEvent event(QPointF(rowCentre(row)), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view()->viewport(), &event);
        return event.isAccepted();
    }
};

} // namespace

TEST_F(ImageList, EmptyOneAndManyImages)
{
    build();
    EXPECT_EQ(column->countLabel()->text(), "0");
    EXPECT_TRUE(column->emptyImportTile()->isVisible());
    EXPECT_EQ(column->emptyImportTile()->height(), 76);
    EXPECT_FALSE(view()->isVisible());
    EXPECT_FALSE(column->selectAllToggle()->isVisible());
    PanelsTestInput::mouseClick(column->emptyImportTile());
    EXPECT_EQ(imports, 1);

    addImages(1);
    PanelsTestInput::pump();
    EXPECT_EQ(column->countLabel()->text(), "1");
    EXPECT_FALSE(column->emptyImportTile()->isVisible());
    EXPECT_TRUE(view()->isVisible());
    EXPECT_FALSE(column->selectAllToggle()->isVisible());
    // The import tile is the row after the last card.
    EXPECT_EQ(column->listModel()->rowCount(), 2);
    clickRow(1);
    EXPECT_EQ(imports, 2);

    addImages(3);
    PanelsTestInput::pump();
    EXPECT_TRUE(column->selectAllToggle()->isVisible());
    EXPECT_EQ(column->selectAllToggle()->text(), "全选");
    const QModelIndex second = column->listModel()->index(1);
    EXPECT_EQ(second.data(Qt::ToolTipRole).toString(), "点击切换到第 2 张图片；拖动可调整图片顺序");
    EXPECT_EQ(second.data(Qt::AccessibleTextRole).toString(), "第 2 张图片，2.png");
}

TEST_F(ImageList, ClicksCtrlClicksAndSelectAll)
{
    addImages(4);
    build();
    clickRow(2);
    EXPECT_EQ(model.selectedItemID(), id(2));
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>({id(2)}));
    EXPECT_EQ(panResets, 1);
    EXPECT_TRUE(column->listModel()->index(2).data(ImageListModel::IsCurrentRole).toBool());
    EXPECT_FALSE(column->listModel()->index(0).data(ImageListModel::IsCurrentRole).toBool());

    // Ctrl and Meta extend; Shift and Alt click plainly.
    clickRow(0, Qt::ControlModifier);
    clickRow(3, Qt::MetaModifier);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>({id(0), id(2), id(3)}));
    EXPECT_TRUE(column->listModel()->index(3).data(ImageListModel::IsMultiSelectedRole).toBool());
    clickRow(1, Qt::ShiftModifier);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>({id(1)}));
    clickRow(1, Qt::AltModifier);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>({id(1)}));
    EXPECT_EQ(panResets, 5);

    PanelsTestInput::mouseClick(column->selectAllToggle());
    EXPECT_TRUE(model.areAllImageItemsSelected());
    EXPECT_EQ(column->selectAllToggle()->text(), "取消全选");
    EXPECT_EQ(column->selectAllToggle()->accessibleName(), "取消全选图片");
    PanelsTestInput::mouseClick(column->selectAllToggle());
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>({id(1)}));
    EXPECT_EQ(model.statusMessage(), "已取消全选");
}

TEST_F(ImageList, LiveReorderBySyntheticDrag)
{
    addImages(4);
    build();
    ImageListModel &list = *column->listModel();
    int resets = 0;
    int moves = 0;
    QObject::connect(&list, &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(&list, &QAbstractItemModel::rowsMoved, [&] { ++moves; });

    const QUuid first = id(0);
    const QString payload = UuidText::toString(first);
    list.setDraggingID(first);
    EXPECT_TRUE(list.index(0).data(ImageListModel::IsDraggingRole).toBool());
    // Over its own row nothing moves; over the next one neither (it already stands before it),
    // but the status is set; over the row after next it moves down one.
    EXPECT_TRUE(dragEnter(0, payload));
    dragMove(1, payload);
    EXPECT_EQ(order(), QStringList({"1.png", "2.png", "3.png", "4.png"}));
    EXPECT_EQ(model.statusMessage(), "已调整图片顺序");
    dragMove(2, payload);
    EXPECT_EQ(order(), QStringList({"2.png", "1.png", "3.png", "4.png"}));
    dragMove(3, payload);
    EXPECT_EQ(order(), QStringList({"2.png", "3.png", "1.png", "4.png"}));
    // Staying over the same row moves nothing more.
    dragMove(3, payload);
    EXPECT_EQ(order(), QStringList({"2.png", "3.png", "1.png", "4.png"}));
    EXPECT_TRUE(drop(3, payload));
    EXPECT_FALSE(list.draggingID());
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(moves, 2);
    // Badges follow the new positions.
    EXPECT_EQ(list.index(2).data(ImageListModel::IdRole).toUuid(), first);
    EXPECT_EQ(list.index(2).data(Qt::AccessibleTextRole).toString(), "第 3 张图片，1.png");
}

TEST_F(ImageList, ForeignDropsAreRefused)
{
    addImages(3);
    build();
    // No drag of ours: text from elsewhere is refused, even a valid id.
    EXPECT_FALSE(dragEnter(2, UuidText::toString(id(0))));
    EXPECT_FALSE(drop(2, UuidText::toString(id(0))));
    // During our drag, another payload is refused too.
    column->listModel()->setDraggingID(id(0));
    EXPECT_FALSE(dragEnter(2, "some text"));
    EXPECT_EQ(order(), QStringList({"1.png", "2.png", "3.png"}));
}

TEST_F(ImageList, ListFollowsRemovalAndReplacement)
{
    addImages(3);
    build();
    model.setSelectedImageItemIDs({id(1)});
    model.selectImageItem(id(1), false);
    model.deleteSelectedImageItems();
    PanelsTestInput::pump();
    EXPECT_EQ(column->listModel()->rowCount(), 3);
    EXPECT_EQ(column->countLabel()->text(), "2");
    EXPECT_FALSE(column->selectAllToggle()->isVisible() && model.items().size() < 2);
    model.setItems({});
    PanelsTestInput::pump();
    EXPECT_EQ(column->listModel()->rowCount(), 0);
    EXPECT_TRUE(column->emptyImportTile()->isVisible());
}
