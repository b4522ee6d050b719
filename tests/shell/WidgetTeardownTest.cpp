#include "ShellTestSupport.h"
#include "ShellWindowFixture.h"

#include "shell/LauncherCard.h"
#include "shell/SwitcherButton.h"

#include <QPointer>

// Replacing the launcher, the sidebar or the header items from one of their own signals must not
// delete the sender under its feet: the old widgets are hidden at once and deleted afterwards.
TEST_F(ShellWindowTest, WidgetsReplacedFromTheirOwnSignalsLiveUntilTheEventLoop)
{
    showWindowWithWorkspaces();
    addImages(2);
    QPointer<QWidget> launcher = view().workspaceContentWidget();
    ASSERT_TRUE(launcher);
    QList<LauncherCard *> cards = launcher->findChildren<LauncherCard *>();
    ASSERT_FALSE(cards.isEmpty());
    QPointer<LauncherCard> card = cards.front();
    card->click(); // image markup: replaces the launcher, the sidebar and the header items
    EXPECT_EQ(view().workspaceMode(), WorkspaceMode::ImageMarkup);
    EXPECT_TRUE(card);
    EXPECT_TRUE(launcher && !launcher->isVisible());
    EXPECT_NE(view().workspaceContentWidget(), launcher.data());

    QPointer<QWidget> importButton = view().headerItemWidget(HeaderToolbarItem::ImportImage);
    QPointer<QWidget> sidebarContent = view().sidebarWidget()->findChild<QWidget *>();
    ASSERT_TRUE(importButton);
    ASSERT_TRUE(sidebarContent);
    view().workspaceSwitcherButton(WorkspaceMode::TextComparison)->click();
    EXPECT_TRUE(importButton && !importButton->isVisible());
    EXPECT_EQ(view().headerItemWidget(HeaderToolbarItem::ImportImage), nullptr);
    EXPECT_TRUE(sidebarContent && !sidebarContent->isVisible());

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(launcher);
    EXPECT_FALSE(card);
    EXPECT_FALSE(importButton);
    EXPECT_FALSE(sidebarContent);
}
