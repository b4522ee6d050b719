#include <gtest/gtest.h>

#include "markup/MarkupTestSupport.h"
#include "model/MarkupViewModel.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

namespace {

ImageMarkupItem listItem(const QString &name)
{
    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = name;
    item.image = ImageHandle(TestSupport::solidImage(40, 30));
    item.thumbnail = item.image;
    item.pixelSize = QSizeF(40, 30);
    item.annotations = {makeAnnotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.5, 0.5}, QStringLiteral("x"), 1)};
    return item;
}

class ImageList : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath("p.ini"), QSettings::IniFormat};
    MarkupViewModel model{settings};
    QUuid a, b, c, d;

    void SetUp() override
    {
        model.setItems({listItem("A.png"), listItem("B.png"), listItem("C.png"), listItem("D.png")});
        a = model.items()[0].id;
        b = model.items()[1].id;
        c = model.items()[2].id;
        d = model.items()[3].id;
    }

    QStringList names() const
    {
        QStringList list;
        for (const ImageMarkupItem &item : model.items())
            list << item.fileName;
        return list;
    }

    // Gives every piece of per-image interaction state a value a reset must clear.
    void dirtyInteractionState()
    {
        const QUuid annotation = model.annotations().empty() ? QUuid::createUuid() : model.annotations()[0].id;
        model.setSelectedAnnotationID(annotation);
        model.setSelectedAnnotationIDs({annotation});
        model.setSelectedAnnotationPart(AnnotationSelectionPart::Label);
        model.setDraftAnnotation(makeAnnotation(AnnotationKind::Rectangle, {0, 0}, {1, 1}));
        model.setSelectionRect(QRectF(1, 1, 5, 5));
        model.setCropRect(QRectF(2, 2, 9, 9));
        model.setColorSamplePreview(ColorSamplePreview{});
        model.setColorSampleLocked(true);
        model.setEditingTextAnnotationID(annotation);
        model.setPendingTextFocusID(annotation);
        model.setZoom(3);
        ComparisonPairState pair;
        pair.id = QUuid::createUuid();
        model.setComparisonPairs({pair});
        model.setSelectedComparisonPairID(pair.id);
    }

    void expectEditingCleared()
    {
        EXPECT_FALSE(model.selectedAnnotationID());
        EXPECT_TRUE(model.selectedAnnotationIDs().isEmpty());
        EXPECT_EQ(model.selectedAnnotationPart(), AnnotationSelectionPart::Shape);
        EXPECT_FALSE(model.draftAnnotation());
        EXPECT_FALSE(model.selectionRect());
        EXPECT_FALSE(model.cropRect());
        EXPECT_EQ(model.zoom(), 1.0);
    }
};

} // namespace

TEST_F(ImageList, SelectItemResetTables)
{
    // Found: everything but the comparison is reset, the status names the image, and the legacy
    // number written into a label text moves into the sequence number.
    auto items = model.items();
    items[2].annotations[0].text = QStringLiteral("3. 旧编号");
    items[2].annotations[0].sequenceNumber.reset();
    model.setItems(items);
    model.selectItem(a);
    dirtyInteractionState();
    model.selectItem(c);
    expectEditingCleared();
    EXPECT_FALSE(model.colorSamplePreview());
    EXPECT_FALSE(model.isColorSampleLocked());
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_FALSE(model.pendingTextFocusID());
    EXPECT_EQ(model.comparisonPairs().size(), 1u);
    EXPECT_EQ(model.selectedItemID(), c);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{c});
    EXPECT_EQ(model.statusMessage(), "当前图片：C.png");
    EXPECT_EQ(model.annotations()[0].text, "旧编号");
    EXPECT_EQ(model.annotations()[0].sequenceNumber, 1);

    // A group that already holds the id stays as it is.
    model.setSelectedImageItemIDs({b, c});
    model.selectItem(b);
    EXPECT_EQ(model.selectedImageItemIDs(), (QSet<QUuid>{b, c}));

    // Unknown id: the first image, no status, the text editor left alone.
    dirtyInteractionState();
    model.setStatusMessage("before");
    model.selectItem(QUuid::createUuid());
    expectEditingCleared();
    EXPECT_FALSE(model.isColorSampleLocked());
    EXPECT_TRUE(model.editingTextAnnotationID());
    EXPECT_TRUE(model.pendingTextFocusID());
    EXPECT_EQ(model.selectedItemID(), a);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{a});
    EXPECT_EQ(model.statusMessage(), "before");

    model.setItems({});
    model.selectItem(std::nullopt);
    EXPECT_FALSE(model.selectedItemID());
    EXPECT_TRUE(model.selectedImageItemIDs().isEmpty());
}

TEST_F(ImageList, ThumbnailClicksAndCtrlClickGroups)
{
    model.selectItem(a);
    dirtyInteractionState();
    model.selectImageItem(b, false);
    // A plain click keeps the eyedropper's locked sample.
    expectEditingCleared();
    EXPECT_TRUE(model.isColorSampleLocked());
    EXPECT_TRUE(model.colorSamplePreview());
    EXPECT_FALSE(model.editingTextAnnotationID());
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{b});
    EXPECT_EQ(model.statusMessage(), "当前图片：B.png");

    // Ctrl-click on the only member keeps it.
    model.selectImageItem(b, true);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{b});

    model.selectImageItem(a, true);
    model.selectImageItem(c, true);
    EXPECT_EQ(model.selectedImageItemIDs(), (QSet<QUuid>{a, b, c}));
    EXPECT_EQ(model.selectedItemID(), c);
    EXPECT_EQ(model.statusMessage(), "已选择 3 张图片");

    // Removing B from {A, B} still makes B current.
    model.selectImageItem(c, true);
    model.selectImageItem(b, true);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{a});
    EXPECT_EQ(model.selectedItemID(), b);
    EXPECT_EQ(model.statusMessage(), "当前图片：B.png");

    model.setStatusMessage("before");
    model.selectImageItem(QUuid::createUuid(), true);
    EXPECT_EQ(model.statusMessage(), "before");
    EXPECT_EQ(model.selectedItemID(), b);
}

TEST_F(ImageList, SelectAllAndClearingTheGroup)
{
    // No current image: the first is set directly, without a reset.
    model.setZoom(2);
    model.selectAllImageItems();
    EXPECT_EQ(model.selectedImageItemIDs().size(), 4);
    EXPECT_EQ(model.selectedItemID(), a);
    EXPECT_EQ(model.zoom(), 2.0);
    EXPECT_EQ(model.statusMessage(), "已全选 4 张图片");
    EXPECT_TRUE(model.areAllImageItemsSelected());

    model.selectImageItem(c, true); // current image C, group {A, B, D}
    model.clearImageItemSelectionKeepingCurrent();
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{c});
    EXPECT_EQ(model.statusMessage(), "已取消全选");

    model.setSelectedItemID(std::nullopt);
    model.setStatusMessage("before");
    model.clearImageItemSelectionKeepingCurrent();
    EXPECT_TRUE(model.selectedImageItemIDs().isEmpty());
    EXPECT_EQ(model.statusMessage(), "before");

    model.setItems({});
    model.selectAllImageItems();
    EXPECT_EQ(model.statusMessage(), "before");
}

TEST_F(ImageList, DeletingTheGroupKeepsComparisonPairsAndErasesHistories)
{
    model.selectItem(b);
    model.recordUndoSnapshot(b);
    model.recordUndoSnapshot(c);
    model.recordUndoSnapshot(a);
    model.setSelectedImageItemIDs({b, c});
    dirtyInteractionState();
    const auto pairs = model.comparisonPairs();
    const auto pairID = model.selectedComparisonPairID();

    EXPECT_TRUE(model.deleteSelectedImageItems());
    EXPECT_EQ(names(), (QStringList{"A.png", "D.png"}));
    EXPECT_EQ(model.selectedItemID(), a);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{a});
    EXPECT_EQ(model.statusMessage(), "已删除 2 张图片");
    expectEditingCleared();
    EXPECT_FALSE(model.isColorSampleLocked());
    // The before/after pairs belong to the comparison workspace and survive.
    EXPECT_EQ(model.comparisonPairs(), pairs);
    EXPECT_EQ(model.selectedComparisonPairID(), pairID);
    // The deleted images' histories are gone, the others' stay.
    EXPECT_FALSE(model.undoSnapshotsByItemID().contains(b));
    EXPECT_FALSE(model.undoSnapshotsByItemID().contains(c));
    EXPECT_EQ(model.undoSnapshotsByItemID().value(a).size(), 1u);

    // An empty group deletes the current image only.
    model.setSelectedImageItemIDs({});
    EXPECT_TRUE(model.deleteSelectedImageItems());
    EXPECT_EQ(names(), QStringList{"D.png"});

    model.selectAllImageItems();
    EXPECT_TRUE(model.deleteSelectedImageItems());
    EXPECT_EQ(model.statusMessage(), "已删除 1 张图片，当前没有图片");
    EXPECT_FALSE(model.selectedItemID());
    EXPECT_TRUE(model.selectedImageItemIDs().isEmpty());

    EXPECT_FALSE(model.deleteSelectedImageItems());
    EXPECT_EQ(model.statusMessage(), "没有可删除的图片");
}

TEST_F(ImageList, DeletingTheCurrentImageTakesItsNeighbour)
{
    // Group {A, B} with B current: deleting B makes C current but leaves the group {A}.
    model.selectItem(b);
    model.selectImageItem(a, true);
    model.selectImageItem(b, false);
    model.setSelectedImageItemIDs({a, b});
    model.recordUndoSnapshot(b);
    EXPECT_TRUE(model.deleteSelectedItem());
    EXPECT_EQ(model.selectedItemID(), c) << "the following image takes the place";
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{a});
    EXPECT_EQ(model.statusMessage(), "已删除图片：B.png");
    EXPECT_FALSE(model.undoSnapshotsByItemID().contains(b));

    model.selectItem(d);
    EXPECT_TRUE(model.deleteSelectedItem());
    EXPECT_EQ(model.selectedItemID(), c) << "the last image gives way to the new last";
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{c});

    EXPECT_TRUE(model.deleteSelectedItem());
    EXPECT_TRUE(model.deleteSelectedItem());
    EXPECT_EQ(model.statusMessage(), "已删除图片：A.png，当前没有图片");
    EXPECT_FALSE(model.selectedItemID());
    EXPECT_FALSE(model.deleteSelectedItem());
    EXPECT_EQ(model.statusMessage(), "没有可删除的图片");
}

TEST_F(ImageList, MovingPutsTheImageBeforeItsTarget)
{
    model.selectItem(b);
    model.moveImageItem(a, c);
    EXPECT_EQ(names(), (QStringList{"B.png", "A.png", "C.png", "D.png"}));
    EXPECT_EQ(model.statusMessage(), "已调整图片顺序");
    model.moveImageItem(d, b);
    EXPECT_EQ(names(), (QStringList{"D.png", "B.png", "A.png", "C.png"}));
    EXPECT_EQ(model.selectedItemID(), b);

    model.setStatusMessage("before");
    model.moveImageItem(a, a);
    model.moveImageItem(a, QUuid::createUuid());
    EXPECT_EQ(names(), (QStringList{"D.png", "B.png", "A.png", "C.png"}));
    EXPECT_EQ(model.statusMessage(), "before");
}
