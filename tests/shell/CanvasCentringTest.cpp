#include "ShellWindowFixture.h"

#include "canvas/ImageMarkupWorkspace.h"
#include "model/ImageHandle.h"
#include "shell/SwitcherButton.h"
#include "ui/ElidedLabel.h"

#include <QImage>

namespace {

// With the workspaces installed and a 1000 × 600 picture, sizes the window so the canvas area is
// 1056 × 656: the fitted canvas then fills the area less the 28-point margin on every side.
class CanvasCentring : public ShellWindowTest
{
protected:
    void SetUp() override
    {
        ShellWindowTest::SetUp();
        showWindowWithWorkspaces();
        QImage picture(1000, 600, QImage::Format_RGB32);
        picture.fill(Qt::white);
        ImageMarkupItem image = item(QStringLiteral("宽图.png"));
        image.image = ImageHandle(picture);
        image.pixelSize = QSizeF(1000, 600);
        model().setItems({image});
        model().setSelectedItemID(image.id);
    }

    ImageMarkupWorkspace *workspace() const
    {
        return qobject_cast<ImageMarkupWorkspace *>(window->contentView().workspaceContentWidget());
    }

    void sizeAreaTo(QSize area)
    {
        QCoreApplication::processEvents();
        const QSize now = workspace()->size();
        window->resize(window->size() + (area - now));
        QCoreApplication::processEvents();
        ASSERT_EQ(workspace()->size(), area);
    }

    void expectCentred(const char *after)
    {
        SCOPED_TRACE(after);
        ASSERT_NE(workspace(), nullptr);
        EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
        EXPECT_EQ(workspace()->panOffset(), QSizeF(0, 0));
        const WorkspaceCanvasGeometry geometry = workspace()->canvasGeometry();
        EXPECT_EQ(geometry.canvasRect, QRectF(28, 28, 1000, 600));
    }
};

} // namespace

TEST_F(CanvasCentring, EnteringEscapeAndTheSwitcherLeaveTheCanvasExactlyCentred)
{
    view().setPanOffset(QSizeF(5, 7));
    view().switchWorkspace(WorkspaceMode::ImageMarkup, true);
    sizeAreaTo(QSize(1056, 656));
    expectCentred("entering image markup");

    view().setPanOffset(QSizeF(-40, 12));
    view().handleEscapeShortcut();
    expectCentred("Escape");

    view().setPanOffset(QSizeF(3, -9));
    view().workspaceSwitcherButton(WorkspaceMode::ImageMarkup)->click();
    expectCentred("the header switcher");
}

// "正在编辑标注文字" is about the label editor on the canvas: leaving 图片标注 with the editor
// open ends it in the status line too.
TEST_F(CanvasCentring, LeavingImageMarkupEndsTheLabelEditorsStatus)
{
    view().switchWorkspace(WorkspaceMode::ImageMarkup, true);
    model().setSelectedTool(MarkupTool::Text);
    model().beginGesture(MarkupTool::Text, UnitPoint2D(0.5, 0.5));
    model().finishGesture(UnitPoint2D(0.5, 0.5));
    QCoreApplication::processEvents();
    ASSERT_TRUE(model().editingTextAnnotationID());
    auto *statusLine = view().findChild<ElidedLabel *>(QStringLiteral("statusLine"));
    ASSERT_NE(statusLine, nullptr);
    ASSERT_EQ(model().statusMessage(), QStringLiteral("正在编辑标注文字"));

    view().switchWorkspace(WorkspaceMode::Launcher, false);
    QCoreApplication::processEvents();
    EXPECT_EQ(model().statusMessage(), QStringLiteral("就绪"));
    EXPECT_EQ(statusLine->text(), QStringLiteral("就绪"));

    // A status of something done stays across the switch.
    view().switchWorkspace(WorkspaceMode::ImageMarkup, false);
    model().setStatusMessage(QStringLiteral("已复制标注"));
    view().switchWorkspace(WorkspaceMode::ImageComparison, false);
    EXPECT_EQ(model().statusMessage(), QStringLiteral("已复制标注"));
}
