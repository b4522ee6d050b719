#include "ShellTestSupport.h"
#include "ShellWindowFixture.h"

#include "shell/ShellRules.h"
#include "shell/ZoomControls.h"
#include "ui/FeedbackButton.h"

#include <QAbstractButton>
#include <QSlider>

namespace {

// The real window with every workspace installed and images loaded, so the header holds all of
// its items, enabled.
class HeaderFit : public ShellWindowTest
{
protected:
    void SetUp() override
    {
        ShellWindowTest::SetUp();
        showWindowWithWorkspaces();
        addImages(3);
        model().setStatusMessage(QStringLiteral("已保存 3 张图片到桌面：一张名字很长很长的截图文件-20260305-140709.png"));
    }

    static std::vector<WorkspaceMode> allModes()
    {
        std::vector<WorkspaceMode> modes{WorkspaceMode::Launcher};
        for (WorkspaceMode mode : ShellRules::switchableWorkspaces())
            modes.push_back(mode);
        return modes;
    }

    // Every visible button of the header is at least as wide as its size hint (its title whole
    // or, compact, its symbol alone) and lies inside the bar.
    void expectNothingClipped()
    {
        QWidget *bar = view().headerBar();
        for (QAbstractButton *button : bar->findChildren<QAbstractButton *>()) {
            if (!button->isVisibleTo(bar))
                continue;
            SCOPED_TRACE(button->text().toStdString());
            EXPECT_GE(button->width(), button->sizeHint().width());
            const QRect inBar(button->mapTo(bar, QPoint(0, 0)), button->size());
            EXPECT_GE(inBar.left(), 0);
            EXPECT_LE(inBar.right(), bar->width() - 1);
        }
    }

    void expectStatusReadable()
    {
        QWidget *status = view().statusLineWidget();
        EXPECT_TRUE(status->isVisible());
        EXPECT_GE(status->width(), 160);
        EXPECT_EQ(status->toolTip(), model().statusMessage());
    }
};

} // namespace

TEST_F(HeaderFit, StatusLineAndWholeTitlesAtTheMinimumAndDefaultSizes)
{
    for (QSize size : {QSize(1080, 680), QSize(1280, 800)}) {
        window->resize(size);
        for (WorkspaceMode mode : allModes()) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " mode " << int(mode));
            view().setWorkspaceMode(mode);
            ShellTest::settle();
            ASSERT_EQ(window->width(), size.width());
            expectNothingClipped();
            expectStatusReadable();
        }
    }
}

TEST_F(HeaderFit, ItemsGiveWayInAFixedOrderAndComeBackWithRoom)
{
    view().setWorkspaceMode(WorkspaceMode::ImageMarkup);
    window->resize(1800, 800);
    ShellTest::settle();
    ZoomControls *zoom = view().zoomControls();
    ASSERT_NE(zoom, nullptr);
    EXPECT_EQ(zoom->slider()->width(), ZoomControls::preferredSliderWidth);
    for (HeaderToolbarItem item : view().shownHeaderItems()) {
        if (auto *button = qobject_cast<FeedbackButton *>(view().headerItemWidget(item))) {
            EXPECT_FALSE(button->isCompact());
        }
    }

    // Narrowing step by step: the slider gives way first, then the items from the right end.
    // Once an item is compact, every item right of it is too.
    for (int width = 1800; width >= 1080; width -= 20) {
        window->resize(width, 800);
        ShellTest::settle();
        SCOPED_TRACE(width);
        expectNothingClipped();
        bool seenFull = false;
        std::vector<HeaderToolbarItem> items = view().shownHeaderItems();
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            auto *button = qobject_cast<FeedbackButton *>(view().headerItemWidget(*it));
            if (!button)
                continue;
            if (button->isCompact()) {
                EXPECT_FALSE(seenFull) << "an item gave way before the one right of it";
                EXPECT_EQ(zoom->slider()->width(), ZoomControls::minimumSliderWidth);
                EXPECT_TRUE(button->toolTip().startsWith(button->text()));
            } else {
                seenFull = true;
            }
        }
    }
    window->resize(1800, 800);
    ShellTest::settle();
    EXPECT_EQ(zoom->slider()->width(), ZoomControls::preferredSliderWidth);
    for (HeaderToolbarItem item : view().shownHeaderItems()) {
        if (auto *button = qobject_cast<FeedbackButton *>(view().headerItemWidget(item))) {
            EXPECT_FALSE(button->isCompact());
            EXPECT_FALSE(button->toolTip().startsWith(button->text() + QLatin1Char('\n')));
        }
    }
}
