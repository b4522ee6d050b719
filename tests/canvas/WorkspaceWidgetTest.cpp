#include "CanvasFixture.h"

#include "canvas/CanvasInputWidget.h"
#include "canvas/CanvasSurface.h"
#include "canvas/ImageMarkupCommands.h"
#include "canvas/ImageMarkupWorkspace.h"
#include "markup/MarkupGeometry.h"
#include "ui/FeedbackButton.h"
#include "ui/MessageBoxConfirmer.h"
#include "ui/WorkspaceViewportEventLayer.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <cmath>

namespace {

// Input goes to the window, as the platform delivers it, so the application filter, the implicit
// grab and the widget routing all take part.
class Workspace : public CanvasFixture {
protected:
    Workspace() : workspace(&model)
    {
        workspace.resize(1056, 656);
        workspace.setFitCanvasAction([this] { ++fitCount; });
        workspace.setMouseButtonAction([this](CanvasMouseButtonAction action) {
            if (action == CanvasMouseButtonAction::Undo)
                return model.undo();
            if (action == CanvasMouseButtonAction::Redo)
                return model.redo();
            return false;
        });
        workspace.show();
        QApplication::setActiveWindow(&workspace);
        settle();
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    QPointF windowPoint(QPointF canvasPoint) const
    {
        const CanvasSurface *surface = workspace.surface();
        return QPointF(surface->mapTo(&workspace, surface->widgetPoint(canvasPoint).toPoint()));
    }

    void mouse(QEvent::Type type, QPointF windowPos, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMouseEvent event(type, windowPos, windowPos, workspace.mapToGlobal(windowPos), button, buttons, modifiers);
        QCoreApplication::sendEvent(workspace.windowHandle(), &event);
    }

    void dragCanvas(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int steps = 5)
    {
        const QPointF a = windowPoint(from);
        const QPointF b = windowPoint(to);
        mouse(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton, modifiers);
        for (int i = 1; i <= steps; ++i)
            mouse(QEvent::MouseMove, a + (b - a) * (double(i) / steps), Qt::NoButton, Qt::LeftButton, modifiers);
        mouse(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton, modifiers);
        settle();
    }

    void wheel(QPointF windowPos, QPoint angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWheelEvent event(windowPos, workspace.mapToGlobal(windowPos), QPoint(), angle, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(workspace.windowHandle(), &event);
        settle();
    }

    ImageMarkupWorkspace workspace;
    int fitCount = 0;
};

} // namespace

TEST_F(Workspace, DrawsEachKindSelectsMovesAndMarquees)
{
    ASSERT_TRUE(workspace.surface()->isVisible());
    ASSERT_TRUE(workspace.surface()->inputWidget()->isVisible());
    model.setSelectedTool(MarkupTool::Arrow);
    dragCanvas(QPointF(100, 100), QPointF(300, 200));
    ASSERT_EQ(annotations().size(), 1u);
    EXPECT_EQ(annotations()[0].kind, AnnotationKind::Arrow);
    EXPECT_EQ(annotations()[0].sequenceNumber, 1);
    const QSizeF canvas = workspace.surface()->canvasSize();
    EXPECT_NEAR(annotations()[0].start.x * canvas.width(), 100, 1.0);

    // A new annotation opens its label editor and editors over the canvas, which take the presses
    // they cover; clearing the selection puts them away before the next drawing.
    const auto putPanelsAway = [&] { model.selectAnnotation(std::optional<QUuid>()); settle(); };
    putPanelsAway();
    model.setSelectedTool(MarkupTool::Rectangle);
    dragCanvas(QPointF(400, 100), QPointF(600, 250));
    putPanelsAway();
    model.setSelectedTool(MarkupTool::Brush);
    dragCanvas(QPointF(100, 400), QPointF(300, 450));
    putPanelsAway();
    model.setSelectedTool(MarkupTool::Text);
    dragCanvas(QPointF(700, 400), QPointF(700, 400), Qt::NoModifier, 0);
    ASSERT_EQ(annotations().size(), 4u);
    EXPECT_EQ(annotations()[1].kind, AnnotationKind::Rectangle);
    EXPECT_EQ(annotations()[2].kind, AnnotationKind::Brush);
    EXPECT_EQ(annotations()[3].kind, AnnotationKind::Text);

    // A drag of the rectangle's edge moves it as one undo step.
    model.confirmTextEditing();
    model.setSelectedTool(MarkupTool::Select);
    const qsizetype before = undoCount();
    const double left = annotations()[1].start.x;
    dragCanvas(QPointF(400, 175), QPointF(450, 175));
    EXPECT_EQ(undoCount(), before + 1);
    EXPECT_NEAR((annotations()[1].start.x - left) * canvas.width(), 50, 1.0);
    EXPECT_EQ(model.selectedAnnotationID(), annotations()[1].id);

    // Alt-drag duplicates.
    dragCanvas(QPointF(450, 175), QPointF(450, 300), Qt::AltModifier);
    EXPECT_EQ(annotations().size(), 5u);

    // A marquee over empty canvas selects nothing; one around the brush selects it.
    model.selectAnnotation(std::optional<QUuid>());
    dragCanvas(QPointF(60, 360), QPointF(330, 500));
    EXPECT_EQ(model.selectedAnnotationIDs(), QSet<QUuid>{annotations()[2].id});

    // Delete goes to the workspace's delete action.
    int deletes = 0;
    workspace.setDeleteAction([&] {
        ++deletes;
        return true;
    });
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(workspace.surface()->inputWidget(), &key);
    EXPECT_EQ(deletes, 1);
}

TEST_F(Workspace, WheelZoomsAboutThePointerMiddleButtonPansSideButtonsUndo)
{
    const QPointF pointer = windowPoint(QPointF(300, 200));
    const QPointF contentBefore = workspace.surface()->mapFrom(&workspace, pointer.toPoint()) -
                                  workspace.surface()->canvasOrigin();
    const double fitWidth = workspace.surface()->canvasSize().width();
    wheel(pointer, QPoint(0, 120));
    EXPECT_NEAR(model.zoom(), std::exp(0.075), 1e-9);
    // The image point under the pointer stays under it.
    const QPointF contentAfter = QPointF(workspace.surface()->mapFrom(&workspace, pointer.toPoint())) -
                                 workspace.surface()->canvasOrigin();
    EXPECT_NEAR(contentAfter.x() / model.zoom(), contentBefore.x(), 0.01 * fitWidth);
    EXPECT_NEAR(contentAfter.y() / model.zoom(), contentBefore.y(), 1.0);

    const QSizeF pan = workspace.panOffset();
    const QPointF start(500, 300);
    mouse(QEvent::MouseButtonPress, start, Qt::MiddleButton, Qt::MiddleButton);
    mouse(QEvent::MouseMove, start + QPointF(10, -4), Qt::NoButton, Qt::MiddleButton);
    mouse(QEvent::MouseButtonRelease, start + QPointF(10, -4), Qt::MiddleButton, Qt::NoButton);
    EXPECT_EQ(workspace.panOffset(), pan + QSizeF(10, -4));
    EXPECT_FALSE(workspace.viewportLayer()->isPanning());

    // Back is side button 1 (undo by default), Forward side button 2 (redo); neither pans.
    model.setSelectedTool(MarkupTool::Rectangle);
    dragCanvas(QPointF(100, 100), QPointF(200, 200));
    ASSERT_EQ(annotations().size(), 1u);
    mouse(QEvent::MouseButtonPress, start, Qt::BackButton, Qt::BackButton);
    mouse(QEvent::MouseButtonRelease, start, Qt::BackButton, Qt::NoButton);
    EXPECT_TRUE(annotations().empty());
    EXPECT_FALSE(workspace.viewportLayer()->isPanning());
    mouse(QEvent::MouseButtonPress, start, Qt::ForwardButton, Qt::ForwardButton);
    mouse(QEvent::MouseButtonRelease, start, Qt::ForwardButton, Qt::NoButton);
    EXPECT_EQ(annotations().size(), 1u);

    // The fit button runs the fit action; Escape's counter resets the pan, not the zoom.
    workspace.fitButton()->click();
    EXPECT_EQ(fitCount, 1);
    workspace.setCancelSignal(1);
    EXPECT_EQ(workspace.panOffset(), QSizeF(0, 0));
    EXPECT_NEAR(model.zoom(), std::exp(0.075), 1e-9);
}

TEST_F(Workspace, EmptyStateTakesNoViewportInput)
{
    auto *empty = new QLabel(QStringLiteral("导入图片"));
    workspace.setEmptyState(empty);
    model.setItems({});
    model.setSelectedItemID(std::nullopt);
    settle();
    EXPECT_FALSE(workspace.surface()->isVisible());
    EXPECT_FALSE(workspace.fitButton()->isVisible());
    EXPECT_TRUE(empty->isVisible());
    wheel(QPointF(500, 300), QPoint(0, 120));
    EXPECT_EQ(model.zoom(), 1.0);
}

TEST_F(Workspace, PanningTheCanvasOutOfViewRemovesItsInput)
{
    workspace.setPanOffset(QSizeF(5000, 0));
    settle();
    EXPECT_FALSE(workspace.surface()->inputWidget()->isVisible());
    EXPECT_TRUE(workspace.surface()->visibleCanvasRect().isNull());
    workspace.setPanOffset(QSizeF(0, 0));
    settle();
    EXPECT_TRUE(workspace.surface()->inputWidget()->isVisible());
}

namespace {

struct FakeConfirmer final : Confirmer {
    std::vector<ConfirmationRequest> *asked;
    bool answer;
    FakeConfirmer(std::vector<ConfirmationRequest> *asked, bool answer) : asked(asked), answer(answer) {}
    bool confirm(const ConfirmationRequest &request) override
    {
        asked->push_back(request);
        return answer;
    }
};

struct FakeChooser final : FileChooser {
    std::optional<QStringList> paths;
    std::optional<QStringList> chooseImagesAndFolders() override { return paths; }
};

class Commands : public CanvasFixture, public ImageMarkupHost {
protected:
    Commands() : commands(*this) {}

    MarkupViewModel &viewModel() override { return model; }
    WorkspaceMode workspaceMode() const override { return mode; }
    void setWorkspaceMode(WorkspaceMode m) override { mode = m; }
    void setPanOffset(QSizeF offset) override { pan = offset; }
    void setDropTargeted(bool targeted) override { dropTargeted = targeted; }

    void answer(bool yes) { commands.setConfirmer(std::make_unique<FakeConfirmer>(&asked, yes)); }

    WorkspaceMode mode = WorkspaceMode::Launcher;
    QSizeF pan{3, 4};
    bool dropTargeted = true;
    std::vector<ConfirmationRequest> asked;
    ImageMarkupCommands commands;
};

} // namespace

TEST_F(Commands, DeleteConfirmationsNameWhatWillGo)
{
    addImage(QStringLiteral("second.png"), QSize(50, 50));
    const QUuid third = addImage(QStringLiteral("third.png"), QSize(50, 50));
    answer(false);
    model.setSelectedImageItemIDs({model.items()[0].id, model.items()[1].id, third});
    EXPECT_FALSE(commands.deleteImageMarkupSelection());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].message, QStringLiteral("删除选中的 3 张图片？"));
    EXPECT_EQ(asked[0].informativeText, QStringLiteral("这些图片和上面的标注都会被删除。"));
    EXPECT_EQ(asked[0].confirmTitle, QStringLiteral("删除"));
    EXPECT_EQ(model.items().size(), 3u);

    // One image marked by a Ctrl-click while another is current: the alert names the marked one.
    model.setSelectedImageItemIDs({third});
    answer(true);
    EXPECT_TRUE(commands.confirmDeleteSelectedImageItems());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].message, QStringLiteral("删除这张图片？"));
    EXPECT_EQ(asked[1].informativeText, QStringLiteral("图片\u201Cthird.png\u201D和上面的标注都会被删除。"));
    EXPECT_EQ(model.items().size(), 2u);
    EXPECT_EQ(model.items()[0].fileName, QStringLiteral("第一张.png"));

    // Annotations are deleted at once, without a question.
    model.setSelectedImageItemIDs({});
    model.setSelectedTool(MarkupTool::Text);
    model.beginGesture(MarkupTool::Text, UnitPoint2D(0.5, 0.5));
    model.finishGesture(UnitPoint2D(0.5, 0.5));
    ASSERT_EQ(annotations().size(), 1u);
    EXPECT_TRUE(commands.deleteImageMarkupSelection());
    EXPECT_TRUE(annotations().empty());
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已删除标注，可按 Ctrl+Z 撤销"));
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(Commands, ClearImportFitAndEscape)
{
    answer(true);
    commands.confirmClearImageAnnotations(); // nothing to clear: no question
    EXPECT_TRUE(asked.empty());
    model.beginGesture(MarkupTool::Text, UnitPoint2D(0.5, 0.5));
    model.finishGesture(UnitPoint2D(0.5, 0.5));
    commands.confirmClearImageAnnotations();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].message, QStringLiteral("清空当前图片标注？"));
    EXPECT_EQ(asked[0].informativeText,
              QStringLiteral("只会清空当前图片上的标注，不会删除图片。可以按 Ctrl+Z 撤销。"));
    EXPECT_EQ(asked[0].confirmTitle, QStringLiteral("清空"));
    EXPECT_TRUE(annotations().empty());

    // A cancelled import changes nothing; a chosen one appends to a non-empty list.
    auto chooser = std::make_unique<FakeChooser>();
    FakeChooser *fake = chooser.get();
    commands.setFileChooser(std::move(chooser));
    commands.presentImageImportPanel();
    EXPECT_EQ(mode, WorkspaceMode::Launcher);
    EXPECT_TRUE(dropTargeted);
    const QString path = dir.filePath(QStringLiteral("new.png"));
    ASSERT_TRUE(twoColourImage(QSize(30, 20)).save(path));
    fake->paths = QStringList{path};
    commands.presentImageImportPanel();
    EXPECT_EQ(mode, WorkspaceMode::ImageMarkup);
    EXPECT_EQ(pan, QSizeF(0, 0));
    EXPECT_FALSE(dropTargeted);
    EXPECT_EQ(model.items().size(), 2u);

    model.setZoom(4);
    pan = QSizeF(7, 7);
    commands.fitImageMarkupCanvas();
    EXPECT_NEAR(model.zoom(), 1, 1e-9);
    EXPECT_EQ(pan, QSizeF(0, 0));
}

TEST(ImageMarkupAlert, ConfirmButtonComesFirstAndConfirms)
{
    MessageBoxConfirmer confirmer;
    QStringList buttons;
    QString text;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        text = box->text() + QLatin1Char('|') + box->informativeText();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        box->buttons().front()->click();
    });
    EXPECT_TRUE(confirmer.confirm({QStringLiteral("删除这张图片？"), QStringLiteral("说明"), QStringLiteral("删除")}));
    EXPECT_EQ(text, QStringLiteral("删除这张图片？|说明"));
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("删除"), QStringLiteral("取消")}));
}

TEST_F(Workspace, SelectionPanelsStayApartAfterRedoAndPaste)
{
    const auto shownPanels = [&] {
        settle();
        std::vector<QWidget *> shown;
        for (QObject *child : workspace.surface()->children()) {
            auto *panel = qobject_cast<QWidget *>(child);
            if (panel && panel->inherits("FloatingPanel") && panel->isVisible())
                shown.push_back(panel);
        }
        return shown;
    };
    const auto apart = [&](const char *when) {
        const std::vector<QWidget *> shown = shownPanels();
        for (size_t i = 0; i < shown.size(); ++i)
            for (size_t j = i + 1; j < shown.size(); ++j)
                EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                    << when << ": " << shown[i]->metaObject()->className() << " "
                    << shown[i]->geometry().x() << "," << shown[i]->geometry().y() << " "
                    << shown[i]->width() << "×" << shown[i]->height() << " covers "
                    << shown[j]->metaObject()->className() << " " << shown[j]->geometry().x() << ","
                    << shown[j]->geometry().y() << " " << shown[j]->width() << "×" << shown[j]->height();
        return shown.size();
    };
    const auto escape = [&] {
        model.confirmTextEditing();
        model.cancelCurrentOperation();
        settle();
    };

    // An arrow with a label, a rectangle, a text label and a brush stroke across the arrow's
    // label, each ended as Escape ends it.
    model.setSelectedTool(MarkupTool::Arrow);
    dragCanvas(QPointF(100, 300), QPointF(400, 200));
    model.updateSelectedText(QStringLiteral("箭头说明"));
    escape();
    model.setSelectedTool(MarkupTool::Rectangle);
    dragCanvas(QPointF(500, 150), QPointF(700, 300));
    escape();
    model.setSelectedTool(MarkupTool::Text);
    dragCanvas(QPointF(260, 140), QPointF(260, 140), Qt::NoModifier, 0);
    model.updateSelectedText(QStringLiteral("文字标注"));
    escape();
    const QPointF label = MarkupGeometry::labelPoint(annotations()[0], workspace.surface()->canvasSize());
    model.setSelectedTool(MarkupTool::Brush);
    dragCanvas(label + QPointF(-100, 0), label + QPointF(100, 8), Qt::NoModifier, 12);
    escape();
    ASSERT_EQ(annotations().size(), 4u);
    ASSERT_EQ(annotations()[3].kind, AnnotationKind::Brush);

    ASSERT_TRUE(model.undo());
    apart("after undo");
    ASSERT_TRUE(model.redo());
    EXPECT_GE(apart("after redo"), 1u);

    // Pasted next to each other: the last pasted one is selected.
    model.setSelectedAnnotationIDs({ annotations()[0].id, annotations()[3].id });
    ASSERT_TRUE(model.copySelectedAnnotationsToClipboard());
    ASSERT_TRUE(model.pasteAnnotationClipboard());
    EXPECT_GE(apart("after paste"), 1u);
}
