#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

namespace {

struct ViewModelFixture : ::testing::Test {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("prefs.ini"), QSettings::IniFormat};
    MarkupViewModel model{settings};
};

MarkupAnnotation makeAnnotation(AnnotationKind kind, double lineWidth, double fontSize)
{
    return MarkupAnnotation(QUuid::createUuid(), kind, {}, {}, "a", "#000000", lineWidth, fontSize, std::nullopt,
                            std::nullopt, 1, std::nullopt, {});
}

ImageMarkupItem makeItem(std::vector<MarkupAnnotation> annotations = {})
{
    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = "a.png";
    item.image = ImageHandle(TestSupport::solidImage(4, 3));
    item.pixelSize = QSizeF(4, 3);
    item.annotations = std::move(annotations);
    return item;
}

ComparisonPairState makePair()
{
    return ComparisonPairState{QUuid::createUuid(), {"b.png", {}, QSizeF(1, 1)}, {"a.png", {}, QSizeF(1, 1)}};
}

} // namespace

using ViewModelState = ViewModelFixture;

TEST_F(ViewModelState, ChoosingAToolOtherThanTheEyedropperDropsTheSample)
{
    const ColorSamplePreview preview{SampledImageColor(1, 2, 3, 255), QPointF(1, 2), QPointF(3, 4)};
    model.setColorSamplePreview(preview);
    model.setColorSampleLocked(true);
    model.setSelectedTool(MarkupTool::Eyedropper);
    EXPECT_EQ(model.colorSamplePreview(), preview);
    EXPECT_TRUE(model.isColorSampleLocked());
    model.setSelectedTool(MarkupTool::Eyedropper);
    EXPECT_TRUE(model.isColorSampleLocked());

    // The same non-eyedropper tool again still clears.
    model.setSelectedTool(MarkupTool::Arrow);
    model.setColorSamplePreview(preview);
    model.setColorSampleLocked(true);
    model.setSelectedTool(MarkupTool::Arrow);
    EXPECT_FALSE(model.colorSamplePreview().has_value());
    EXPECT_FALSE(model.isColorSampleLocked());
}

TEST_F(ViewModelState, ReplacingAPictureIsAChange)
{
    // Items compare equal without their pictures, but views must still learn of a new picture.
    ImageMarkupItem item = makeItem();
    model.setItems({item});
    bool changed = false;
    QObject::connect(&model, &MarkupViewModel::itemsChanged, [&changed] { changed = true; });
    item.image = ImageHandle(TestSupport::solidImage(4, 3, Qt::red));
    model.setItems({item});
    EXPECT_TRUE(changed);
}

TEST_F(ViewModelState, CurrentImageLookups)
{
    const MarkupAnnotation arrow = makeAnnotation(AnnotationKind::Arrow, 6, 30);
    ImageMarkupItem first = makeItem({arrow});
    ImageMarkupItem duplicate = makeItem();
    duplicate.id = first.id;
    duplicate.fileName = "dup.png";
    model.setItems({first, duplicate});

    model.setSelectedItemID(QUuid::createUuid());
    EXPECT_FALSE(model.selectedIndex() || model.selectedItem() || model.document() || model.selectedAnnotation());
    EXPECT_TRUE(model.image().isNull());
    EXPECT_TRUE(model.annotations().empty());
    EXPECT_FALSE(model.canExport());

    model.setSelectedItemID(first.id);
    EXPECT_EQ(model.selectedIndex(), 0);
    EXPECT_EQ(model.document()->fileName, QStringLiteral("a.png"));
    EXPECT_FALSE(model.image().isNull());
    model.setSelectedAnnotationID(arrow.id);
    EXPECT_EQ(model.selectedAnnotation(), arrow);
    EXPECT_EQ(model.selectedAnnotationCount(), 1);
    model.setSelectedAnnotationIDs({QUuid::createUuid(), QUuid::createUuid(), QUuid::createUuid()});
    EXPECT_EQ(model.selectedAnnotationCount(), 3);
    model.setSelectedAnnotationIDs({});
    model.setSelectedAnnotationID(std::nullopt);
    EXPECT_EQ(model.selectedAnnotationCount(), 0);
}

TEST_F(ViewModelState, StyleValuesFollowThePrimarySelectionOnly)
{
    const MarkupAnnotation rectangle = makeAnnotation(AnnotationKind::Rectangle, 7, 20);
    const MarkupAnnotation brush = makeAnnotation(AnnotationKind::Brush, 7, 20);
    const MarkupAnnotation text = makeAnnotation(AnnotationKind::Text, 3, 40);
    const MarkupAnnotation arrow = makeAnnotation(AnnotationKind::Arrow, 5, 33);
    const ImageMarkupItem item = makeItem({rectangle, brush, text, arrow});
    model.setItems({item});
    model.setSelectedItemID(item.id);
    model.setArrowLineWidth(3);

    EXPECT_EQ(model.effectiveSelectedFontSize(), 26);
    EXPECT_EQ(model.effectiveArrowFontSize(), 26);
    model.setSelectedAnnotationID(rectangle.id);
    EXPECT_EQ(model.effectiveArrowLineWidth(), 3);
    model.setSelectedAnnotationID(brush.id);
    EXPECT_EQ(model.effectiveArrowLineWidth(), 7);
    model.setSelectedAnnotationID(text.id);
    EXPECT_EQ(model.effectiveSelectedFontSize(), 40);
    EXPECT_EQ(model.effectiveArrowFontSize(), 26);
    model.setSelectedAnnotationID(arrow.id);
    EXPECT_EQ(model.effectiveArrowFontSize(), 33);
    EXPECT_EQ(model.effectiveArrowLineWidth(), 5);
}

TEST_F(ViewModelState, ImageListSelection)
{
    const ImageMarkupItem a = makeItem({makeAnnotation(AnnotationKind::Arrow, 4, 26)});
    const ImageMarkupItem b = makeItem();
    const ImageMarkupItem c = makeItem();
    model.setItems({a, b, c});
    model.setSelectedItemID(b.id);
    EXPECT_EQ(model.selectedImageItems().size(), 1u);
    EXPECT_EQ(model.selectedImageItems().front().id, b.id);
    EXPECT_TRUE(model.canExportSelectedImages());
    EXPECT_FALSE(model.areAllImageItemsSelected());

    model.setSelectedImageItemIDs({a.id});
    EXPECT_FALSE(model.canApplyAnnotationsToSelectedImages());
    model.setSelectedImageItemIDs({c.id, a.id});
    EXPECT_TRUE(model.canApplyAnnotationsToSelectedImages());
    EXPECT_EQ(model.selectedImageItems().front().id, a.id); // display order
    model.setSelectedImageItemIDs({b.id, c.id});
    EXPECT_FALSE(model.canApplyAnnotationsToSelectedImages());
    model.setSelectedImageItemIDs({a.id, b.id, c.id});
    EXPECT_TRUE(model.areAllImageItemsSelected());
}

TEST_F(ViewModelState, ProjectContentFlags)
{
    EXPECT_FALSE(model.hasProjectContent());
    model.setTextComparison(TextComparisonState("s", "o", std::nullopt, {}));
    EXPECT_TRUE(model.hasProjectContent());
    EXPECT_TRUE(model.hasProjectSaveContent());
    EXPECT_FALSE(model.hasImageMarkupOnlyContent());
    model.setTextComparison(std::nullopt);
    model.setItems({makeItem()});
    EXPECT_TRUE(model.hasImageMarkupOnlyContent());
    EXPECT_FALSE(model.hasSavedProjectLocation());
    model.setProjectURL(QStringLiteral("/tmp/x.kivo"));
    EXPECT_TRUE(model.hasSavedProjectLocation());
}

TEST_F(ViewModelState, ComparisonPairSelectionFallsBackToTheFirst)
{
    EXPECT_EQ(model.comparisonPositionText(), QStringLiteral("暂无图片对比"));
    EXPECT_FALSE(model.canCompare());
    const auto p1 = makePair(), p2 = makePair(), p3 = makePair();
    model.setComparisonPairs({p1, p2, p3});
    EXPECT_EQ(model.comparisonPositionText(), QStringLiteral("图片对比 1/3"));
    model.setSelectedComparisonPairID(p2.id);
    EXPECT_EQ(model.comparisonPositionText(), QStringLiteral("图片对比 2/3"));
    EXPECT_EQ(model.comparisonPair()->id, p2.id);
    model.setSelectedComparisonPairID(QUuid::createUuid()); // a deleted pair
    EXPECT_EQ(model.selectedComparisonIndex(), 0);
    EXPECT_EQ(model.comparisonPairCount(), 3);
    EXPECT_TRUE(model.canCompare());
}

TEST_F(ViewModelState, ZoomClamps)
{
    model.setZoom(0.1);
    EXPECT_EQ(model.zoom(), 0.25);
    model.setZoom(45);
    EXPECT_EQ(model.zoom(), 30);
    model.setZoom(1);
    // A NaN request leaves the zoom usable.
    model.setZoom(std::nan(""));
    EXPECT_EQ(model.zoom(), 1);
}
