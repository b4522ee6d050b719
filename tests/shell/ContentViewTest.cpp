#include "ShellInput.h"
#include "ShellTestSupport.h"
#include "ShellWindowFixture.h"

#include "shell/HeaderToolbarOrderEditor.h"
#include "shell/SwitcherButton.h"
#include "shell/ZoomControls.h"
#include "ui/ActionButton.h"

#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace {

// A stand-in workspace view with one text field, for the keyboard-focus rules.
QWidget *workspaceWithTextField(QLineEdit *&field)
{
    auto *widget = new QWidget;
    auto *layout = new QVBoxLayout(widget);
    field = new QLineEdit(widget);
    layout->addWidget(field);
    return widget;
}

} // namespace

TEST_F(ShellWindowTest, StartsInTheLauncherAndTheSidebarFollowsImageMarkup)
{
    showWindow();
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::Launcher);
    EXPECT_EQ(view().workspaceContentWidget()->objectName(), "launcher");
    EXPECT_FALSE(view().sidebarWidget()->isVisible());
    EXPECT_TRUE(view().shownHeaderItems().empty());
    EXPECT_FALSE(view().headerToolbarOrderButton()->isVisible());
    for (WorkspaceMode mode : ShellRules::switchableWorkspaces())
        EXPECT_FALSE(view().workspaceSwitcherButton(mode)->isSelected());

    view().setPanOffset(QSizeF(5, 7));
    model().setZoom(2.0);
    view().workspaceSwitcherButton(WorkspaceMode::ImageMarkup)->click();
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);
    EXPECT_TRUE(view().sidebarWidget()->isVisible());
    EXPECT_EQ(view().sidebarWidget()->width(), 188);
    EXPECT_EQ(view().workspaceContentWidget()->objectName(), "imageMarkupEmptyState");
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
    EXPECT_EQ(model().zoom(), 2.0);

    // The same switcher button again still clears the pan.
    view().setPanOffset(QSizeF(1, 1));
    view().workspaceSwitcherButton(WorkspaceMode::ImageMarkup)->click();
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));

    view().workspaceSwitcherButton(WorkspaceMode::Compression)->click();
    EXPECT_FALSE(view().sidebarWidget()->isVisible());
    EXPECT_TRUE(view().shownHeaderItems().empty());
    EXPECT_EQ(model().zoom(), 2.0);
}

TEST_F(ShellWindowTest, TextCardOpensTheImportPanelButTheSwitcherDoesNot)
{
    int panels = 0;
    view().hooks().presentTextImportPanel = [&] { ++panels; };
    showWindow();
    view().workspaceSwitcherButton(WorkspaceMode::TextComparison)->click();
    EXPECT_EQ(panels, 0);
    view().setWorkspaceMode(WorkspaceMode::Launcher);

    const QList<QAbstractButton *> cards = view().workspaceContentWidget()->findChildren<QAbstractButton *>("launcherCard");
    ASSERT_EQ(cards.size(), 5);
    EXPECT_EQ(cards[2]->accessibleName(), "文案对比");
    EXPECT_EQ(cards[2]->toolTip(), "进入文案对比，上传原文后修改、批注并导出图片、PDF 或 Word");
    cards[2]->click();
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::TextComparison);
    EXPECT_EQ(panels, 1);

    // With a document loaded the card only switches.
    model().setTextComparison(TextComparisonState(QStringLiteral("a.txt"), QStringLiteral("原文"), std::nullopt, {}));
    view().switchWorkspace(WorkspaceMode::TextComparison, true);
    EXPECT_EQ(panels, 1);
    view().switchWorkspace(WorkspaceMode::ImageMarkup, false);
    EXPECT_EQ(panels, 1);
}

TEST_F(ShellWindowTest, HeaderItemsFollowTheModeTheStoredOrderAndTheImageState)
{
    int imports = 0;
    view().hooks().presentImageImportPanel = [&] { ++imports; };
    view().hooks().saveToDesktopButton = [] { return new QWidget; };
    view().reloadWorkspace();
    showWindow();
    using I = HeaderToolbarItem;

    view().setWorkspaceMode(WorkspaceMode::ImageComparison);
    EXPECT_EQ(view().shownHeaderItems(), (std::vector<I>{I::Zoom}));
    EXPECT_TRUE(view().headerToolbarOrderButton()->isVisible());

    view().setWorkspaceMode(WorkspaceMode::TextComparison);
    EXPECT_EQ(view().shownHeaderItems(), (std::vector<I>{I::OpenProject, I::SaveProject}));

    // A stored order with imageCanvas and a foreign item: both render nothing.
    MarkupViewModel::HeaderToolbarOrders orders;
    orders[HeaderToolbarMode::ImageMarkup] = {I::ImageExport, I::ImageCanvas, I::OpenProject, I::ImportImage, I::Zoom,
                                              I::AddToComparison};
    model().setHeaderToolbarOrders(orders);
    view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
    EXPECT_EQ(view().shownHeaderItems(), (std::vector<I>{I::ImageExport, I::ImportImage, I::Zoom, I::AddToComparison}));

    // No current image: add-to-comparison and the export are disabled, import never.
    EXPECT_FALSE(view().headerItemWidget(I::AddToComparison)->isEnabled());
    EXPECT_FALSE(view().headerItemWidget(I::ImageExport)->isEnabled());
    EXPECT_TRUE(view().headerItemWidget(I::ImportImage)->isEnabled());
    addImages(1);
    EXPECT_TRUE(view().headerItemWidget(I::AddToComparison)->isEnabled());
    EXPECT_TRUE(view().headerItemWidget(I::ImageExport)->isEnabled());
    qobject_cast<QAbstractButton *>(view().headerItemWidget(I::ImportImage))->click();
    EXPECT_EQ(imports, 1);
    EXPECT_EQ(view().headerItemWidget(I::ImportImage)->toolTip(), "导入单张、多张图片，或导入包含图片的文件夹");

    model().setStatusMessage(QStringLiteral("已载入：图1.png"));
    EXPECT_EQ(view().statusLineText(), "已载入：图1.png");
}

TEST_F(ShellWindowTest, ZoomClusterStepsAndNeverWritesTheSliderBack)
{
    view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
    showWindow();
    ZoomControls *zoom = view().zoomControls();
    ASSERT_NE(zoom, nullptr);
    EXPECT_EQ(zoom->percentText(), "100%");
    for (int press = 0; press < 8; ++press)
        zoom->zoomOutButton()->click();
    EXPECT_EQ(zoom->percentText(), "25%");
    zoom->zoomOutButton()->click();
    EXPECT_EQ(model().zoom(), 0.25);
    zoom->zoomInButton()->click();
    zoom->zoomInButton()->click();
    // 0.44999999999999996: the slider shows 450 but must not write 0.45 back.
    EXPECT_EQ(zoom->percentText(), "44%");
    EXPECT_LT(model().zoom(), 0.45);
    EXPECT_EQ(zoom->slider()->value(), 450);

    // A user move of the slider writes the model.
    zoom->slider()->setValue(2000);
    EXPECT_EQ(model().zoom(), 2.0);
    EXPECT_EQ(zoom->percentText(), "200%");
}

TEST_F(ShellWindowTest, KeysSentThroughTheWindowAreDispatchedByWorkspace)
{
    QStringList toolShortcuts, videoShortcuts;
    int deletes = 0, imports = 0, desktopSaves = 0, videoClears = 0, projectPanels = 0, cancels = 0;
    QLineEdit *field = nullptr;
    auto &hooks = view().hooks();
    hooks.handleToolShortcut = [&](MarkupViewModel &, const QString &name) {
        toolShortcuts.append(name);
        return name != QLatin1String("z") && name != QLatin1String("Z");
    };
    hooks.deleteImageMarkupSelection = [&] { ++deletes; return false; };
    hooks.presentImageImportPanel = [&] { ++imports; };
    hooks.saveSelectedImagesToDesktop = [&](MarkupViewModel &, ImageExportFormat format, double quality) {
        EXPECT_EQ(format, ImageExportFormat::Png);
        EXPECT_EQ(quality, 0.9);
        ++desktopSaves;
        return QStringList();
    };
    hooks.confirmClearVideoFrameAnnotations = [&] { ++videoClears; };
    hooks.handleVideoFrameShortcut = [&](MarkupViewModel &, const QString &name) {
        videoShortcuts.append(name);
        return true;
    };
    hooks.presentOpenProjectPanel = [&] { ++projectPanels; };
    hooks.cancelCurrentOperation = [&](MarkupViewModel &) { ++cancels; };
    hooks.imageMarkupWorkspace = [&](QWidget *empty) {
        delete empty;
        return workspaceWithTextField(field);
    };
    showWindow();
    QWindow *handle = window->windowHandle();
    ASSERT_NE(handle, nullptr);

    // Launcher: only Escape is a command.
    view().setPanOffset(QSizeF(3, 3));
    ShellInput::keyClick(handle, Qt::Key_Escape);
    EXPECT_EQ(view().cancelSignal(), 1);
    EXPECT_EQ(view().panOffset(), QSizeF(0, 0));
    EXPECT_EQ(cancels, 0);
    ShellInput::keyClick(handle, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_EQ(view().cancelSignal(), 1);
    ShellInput::keyClick(handle, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(imports + projectPanels, 0);

    view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
    ASSERT_NE(field, nullptr);
    view().setFocus();
    ShellInput::keyClick(handle, Qt::Key_3);
    ShellInput::keyClick(handle, Qt::Key_8);
    ShellInput::keyClick(handle, Qt::Key_Z, Qt::ControlModifier);
    ShellInput::keyClick(handle, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    ShellInput::keyClick(handle, Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
    ShellInput::keyClick(handle, Qt::Key_Z, Qt::ShiftModifier);
    ShellInput::keyClick(handle, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(toolShortcuts, (QStringList{"3", "undo", "redo", "Z"}));
    EXPECT_EQ(deletes, 0);
    ShellInput::keyClick(handle, Qt::Key_Delete);
    ShellInput::keyClick(handle, Qt::Key_Backspace);
    EXPECT_EQ(deletes, 2);
    ShellInput::keyClick(handle, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(desktopSaves, 1);
    ShellInput::keyClick(handle, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(view().cancelSignal(), 2);
    EXPECT_EQ(cancels, 1);

    // A focused text field keeps typing and text undo; open, save and Escape still work.
    field->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), field);
    toolShortcuts.clear();
    ShellInput::keyClick(handle, Qt::Key_3, Qt::NoModifier);
    EXPECT_EQ(field->text(), "3");
    ShellInput::keyClick(handle, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), ""); // the field's own undo
    EXPECT_TRUE(toolShortcuts.isEmpty());
    ShellInput::keyClick(handle, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(imports, 1);
    ShellInput::keyClick(handle, Qt::Key_Escape);
    EXPECT_EQ(view().cancelSignal(), 3);

    // Video: z (any case) asks to clear, other names go to the video view model.
    view().setWorkspaceMode(WorkspaceMode::VideoFrameAnnotation);
    view().setFocus();
    ShellInput::keyClick(handle, Qt::Key_Z);
    ShellInput::keyClick(handle, Qt::Key_Z, Qt::ShiftModifier);
    ShellInput::keyClick(handle, Qt::Key_2);
    EXPECT_EQ(videoClears, 2);
    EXPECT_EQ(videoShortcuts, (QStringList{"2"}));

    // Text comparison: the project panel; other names are not commands there.
    view().setWorkspaceMode(WorkspaceMode::TextComparison);
    ShellInput::keyClick(handle, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(projectPanels, 1);
    EXPECT_FALSE(view().handleKeyCommand(QStringLiteral("undo")));
    EXPECT_FALSE(view().handleKeyCommand(QStringLiteral("saveProject"))); // no project save yet
}

TEST_F(ShellWindowTest, SideButtonsAnswerPerAction)
{
    int fits = 0;
    EXPECT_FALSE(view().handleImageMarkupMouseButton(CanvasMouseButtonAction::None));
    EXPECT_TRUE(view().handleImageMarkupMouseButton(CanvasMouseButtonAction::FitCanvas));
    EXPECT_TRUE(view().handleImageMarkupMouseButton(CanvasMouseButtonAction::Undo));
    EXPECT_EQ(model().statusMessage(), "没有可撤回的操作");
    EXPECT_FALSE(view().handleImageMarkupMouseButton(CanvasMouseButtonAction::DeleteSelection));
    view().hooks().fitVideoFrameCanvas = [&] { ++fits; };
    view().hooks().deleteVideoFrameSelection = [] { return true; };
    EXPECT_TRUE(view().handleVideoFrameMouseButton(CanvasMouseButtonAction::FitCanvas));
    EXPECT_EQ(fits, 1);
    EXPECT_TRUE(view().handleVideoFrameMouseButton(CanvasMouseButtonAction::DeleteSelection));
    EXPECT_TRUE(view().handleVideoFrameMouseButton(CanvasMouseButtonAction::Redo));
    EXPECT_EQ(view().videoFrameViewModel().statusMessage(), "没有可重做的操作");
    EXPECT_EQ(model().statusMessage(), "没有可撤回的操作");

    // A non-finite divider position counts as 0.
    EXPECT_EQ(view().comparisonFraction(), 0.5);
    view().setComparisonFraction(std::nan(""));
    EXPECT_EQ(view().comparisonFraction(), 0.0);
}

TEST_F(ShellWindowTest, HeaderNeverWidensTheWindowAndSqueezesTheSliderFirst)
{
    view().hooks().imageAnnotationMenu = [] { return new ActionButton(QStringLiteral("标注"), QStringLiteral("paintbrush.pointed")); };
    view().hooks().saveToDesktopButton = [] { return new ActionButton(QStringLiteral("保存到桌面"), QStringLiteral("square.and.arrow.down")); };
    view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
    showWindow();
    window->resize(1080, 680);
    ShellTest::settle();
    EXPECT_EQ(window->width(), 1080);
    EXPECT_LE(window->minimumSizeHint().width(), 1080);
    ZoomControls *zoom = view().zoomControls();
    ASSERT_NE(zoom, nullptr);
    EXPECT_EQ(zoom->slider()->width(), ZoomControls::minimumSliderWidth);
    // Everything still lies inside the bar.
    QWidget *order = view().headerToolbarOrderButton();
    EXPECT_LE(order->geometry().right(), view().headerBar()->width() - 16);

    window->resize(1800, 800);
    ShellTest::settle();
    EXPECT_EQ(zoom->slider()->width(), ZoomControls::preferredSliderWidth);
}
