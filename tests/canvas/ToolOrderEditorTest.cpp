#include "PanelsFixture.h"
#include "PanelsTestInput.h"

#include "canvas/PointerSettingsEditor.h"
#include "canvas/ToolColumn.h"
#include "canvas/ToolOrderEditor.h"
#include "model/RawValue.h"
#include "ui/PanelButton.h"

#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollArea>

namespace {

class ToolSettings : public PanelsFixture {
protected:
    int closed = 0;

    QStringList titles(const ToolOrderEditor &editor) const
    {
        QStringList result;
        for (ToolOrderRow *row : editor.rowsInOrder())
            result << RawValue::of(row->tool()) + row->badgeText();
        return result;
    }

    // A drag passing over a row, as the platform reports it.
    static bool dragOver(QWidget *row, const QString &payload)
    {
        QMimeData mime;
        mime.setText(payload);
        QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row, &enter);
        return enter.isAccepted();
    }

    static bool dropOn(QWidget *row, const QString &payload)
    {
        QMimeData mime;
        mime.setText(payload);
        QDropEvent drop(QPointF(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row, &drop);
        return drop.isAccepted();
    }
};

} // namespace

TEST_F(ToolSettings, RowsButtonsAndDragReorder)
{
    ToolOrderEditor editor(model, [this] { ++closed; });
    EXPECT_EQ(titles(editor), QStringList({"select1", "crop2", "eyedropper3", "arrow4", "text5", "rectangle6", "brush7"}));
    EXPECT_FALSE(editor.row(MarkupTool::Select)->upButton()->isEnabled());
    EXPECT_TRUE(editor.row(MarkupTool::Select)->downButton()->isEnabled());
    EXPECT_FALSE(editor.row(MarkupTool::Brush)->downButton()->isEnabled());
    EXPECT_EQ(editor.row(MarkupTool::Eyedropper)->toolTip(), "取色：查看鼠标位置颜色，并复制 HEX、RGB 或 CMYK 数值");
    EXPECT_LE(editor.scrollArea()->height(), 520);

    PanelsTestInput::mouseClick(editor.row(MarkupTool::Crop)->upButton());
    EXPECT_EQ(titles(editor).first(), "crop1");
    EXPECT_EQ(model.statusMessage(), "已调整工具顺序");
    PanelsTestInput::mouseClick(editor.row(MarkupTool::Crop)->downButton());
    EXPECT_EQ(model.toolOrder(), MarkupTools::defaultOrder());

    // A drag from the first row: over the second changes nothing (but reports), over the third
    // puts it between the second and the third.
    editor.setDraggingTool(MarkupTool::Select);
    model.setStatusMessage("x");
    EXPECT_TRUE(dragOver(editor.row(MarkupTool::Crop), "select"));
    EXPECT_EQ(model.toolOrder(), MarkupTools::defaultOrder());
    EXPECT_EQ(model.statusMessage(), "已调整工具顺序");
    EXPECT_TRUE(dragOver(editor.row(MarkupTool::Eyedropper), "select"));
    EXPECT_EQ(titles(editor).mid(0, 3), QStringList({"crop1", "select2", "eyedropper3"}));
    // Its own row does nothing; upward it takes the row's place.
    EXPECT_TRUE(dragOver(editor.row(MarkupTool::Select), "select"));
    editor.setDraggingTool(MarkupTool::Brush);
    EXPECT_TRUE(dragOver(editor.row(MarkupTool::Crop), "brush"));
    EXPECT_EQ(titles(editor).mid(0, 3), QStringList({"brush1", "crop2", "select3"}));
    EXPECT_TRUE(dropOn(editor.row(MarkupTool::Crop), "brush"));
    EXPECT_FALSE(editor.draggingTool());
    // Stored at once.
    EXPECT_EQ(MarkupViewModel::loadToolOrder(settings).front(), MarkupTool::Brush);
}

TEST_F(ToolSettings, ForeignDropsAreRefused)
{
    ToolOrderEditor editor(model, {});
    // No drag of ours under way: any text is refused.
    EXPECT_FALSE(dragOver(editor.row(MarkupTool::Crop), "select"));
    EXPECT_FALSE(dropOn(editor.row(MarkupTool::Crop), "select"));
    // During our drag, a payload that is not the dragged tool is refused as well.
    editor.setDraggingTool(MarkupTool::Brush);
    EXPECT_FALSE(dragOver(editor.row(MarkupTool::Select), "hello"));
    EXPECT_EQ(model.toolOrder(), MarkupTools::defaultOrder());
}

TEST_F(ToolSettings, ResetRestoresBothAndCloseButtonsClose)
{
    ToolOrderEditor editor(model, [this] { ++closed; });
    model.moveTool(MarkupTool::Brush, MarkupTool::Select);
    PointerSettingsEditor::choose(model, [](PointerInteractionSettings &s) { s.sideButton1Action = CanvasMouseButtonAction::None; });
    PanelsTestInput::mouseClick(editor.resetButton());
    EXPECT_EQ(model.toolOrder(), MarkupTools::defaultOrder());
    EXPECT_EQ(model.pointerInteractionSettings(), PointerInteractionSettings());
    EXPECT_EQ(model.statusMessage(), "已恢复默认鼠标/触控板设置");
    EXPECT_EQ(editor.pointerSettings()->face(PointerSettingsEditor::SideButton1)->text(), "撤销");
    PanelsTestInput::mouseClick(editor.doneButton());
    PanelsTestInput::mouseClick(editor.closeButton());
    EXPECT_EQ(closed, 2);
}

TEST_F(ToolSettings, PointerMenusApplyStoreAndSurviveARestart)
{
    PointerSettingsEditor editor(model);
    QStringList faces;
    for (int row = 0; row < PointerSettingsEditor::rowCount; ++row)
        faces << editor.face(PointerSettingsEditor::Row(row))->text();
    EXPECT_EQ(faces, QStringList({"缩放", "拖动画布", "拖动画布", "撤销", "重做"}));
    EXPECT_EQ(editor.pinchRow()->toolTip(), "触控板或数位板捏合手势始终用于缩放画布");

    auto items = [&](PointerSettingsEditor::Row row) {
        QStringList titles;
        for (QAction *action : editor.menu(row)->actions())
            titles << action->text();
        return titles;
    };
    EXPECT_EQ(items(PointerSettingsEditor::MouseWheel), QStringList({"缩放", "拖动画布"}));
    EXPECT_EQ(items(PointerSettingsEditor::MiddleDrag), QStringList({"拖动画布", "无操作"}));
    EXPECT_EQ(items(PointerSettingsEditor::SideButton2), QStringList({"无操作", "撤销", "重做", "删除选中", "适合窗口"}));

    editor.menu(PointerSettingsEditor::MouseWheel)->actions()[1]->trigger();
    EXPECT_EQ(model.pointerInteractionSettings().mouseWheelAction, CanvasScrollAction::Pan);
    EXPECT_EQ(editor.face(PointerSettingsEditor::MouseWheel)->text(), "拖动画布");
    EXPECT_EQ(model.statusMessage(), "已更新鼠标/触控板设置");
    editor.menu(PointerSettingsEditor::SideButton2)->actions()[4]->trigger();

    // The same choice again still stores and reports.
    model.setStatusMessage("x");
    editor.menu(PointerSettingsEditor::MouseWheel)->actions()[1]->trigger();
    EXPECT_EQ(model.statusMessage(), "已更新鼠标/触控板设置");

    // A new view model over the same preferences (a restart) reads the choices back.
    MarkupViewModel restarted(settings);
    EXPECT_EQ(restarted.pointerInteractionSettings().mouseWheelAction, CanvasScrollAction::Pan);
    EXPECT_EQ(restarted.pointerInteractionSettings().sideButton2Action, CanvasMouseButtonAction::FitCanvas);
}

TEST_F(ToolSettings, ToolColumnFollowsTheOrderWithBadges)
{
    ToolColumn column(model);
    auto labels = [&] {
        QStringList result;
        for (ToolColumnButton *button : column.buttons())
            result << button->accessibleName() + button->badgeText();
        return result;
    };
    EXPECT_EQ(labels(), QStringList({"选择1", "裁剪2", "取色3", "箭头4", "文字5", "框选6", "画笔7"}));
    model.moveTool(MarkupTool::Arrow, MarkupTool::Select);
    EXPECT_EQ(labels().mid(0, 2), QStringList({"箭头1", "选择2"}));
    EXPECT_EQ(column.button(MarkupTool::Brush)->toolTip(), "自由手绘标记，适合圈出不规则区域或临时强调");

    // A click chooses the tool and drops the draft, with no status text; leaving the eyedropper
    // releases its sample.
    addImages(1);
    model.setSelectedTool(MarkupTool::Eyedropper);
    model.setColorSamplePreview(ColorSamplePreview{SampledImageColor(1, 2, 3, 255), QPointF(1, 1), QPointF(1, 1)});
    model.setColorSampleLocked(true);
    model.setDraftAnnotation(annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.2, 0.2}));
    model.setStatusMessage("x");
    PanelsTestInput::mouseClick(column.button(MarkupTool::Rectangle));
    EXPECT_EQ(model.selectedTool(), MarkupTool::Rectangle);
    EXPECT_TRUE(column.button(MarkupTool::Rectangle)->isCurrent());
    EXPECT_FALSE(column.button(MarkupTool::Eyedropper)->isCurrent());
    EXPECT_FALSE(model.draftAnnotation());
    EXPECT_FALSE(model.colorSamplePreview());
    EXPECT_FALSE(model.isColorSampleLocked());
    EXPECT_EQ(model.statusMessage(), "x");
    // The current tool again still drops the draft.
    model.setDraftAnnotation(annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.2, 0.2}));
    PanelsTestInput::mouseClick(column.button(MarkupTool::Rectangle));
    EXPECT_FALSE(model.draftAnnotation());

    // The settings button opens the editor in its own window; its done button closes it.
    column.show();
    PanelsTestInput::mouseClick(column.settingsButton());
    ASSERT_TRUE(column.isToolOrderEditorPresented());
    EXPECT_TRUE(column.popover()->isWindow());
    PanelsTestInput::mouseClick(column.popover()->editor()->doneButton());
    EXPECT_FALSE(column.isToolOrderEditorPresented());
    PanelsTestInput::pump();
}
