#include "platform/AlertSetup.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include <algorithm>

namespace AlertSetup {

namespace {

// Room the title bar takes besides the title: its icon and its buttons.
constexpr int kTitleBarChrome = 140;

} // namespace

int textWidthFloor(const QWidget &window, int floor)
{
    const QFontMetrics metrics(window.font());
    const int title = metrics.horizontalAdvance(window.windowTitle()) + kTitleBarChrome;
    return std::max(floor, title);
}

void fitWidth(QMessageBox &box, int floor)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    // A spacer across every column puts the floor on the layout's minimum width, which the box's
    // own sizing respects.
    grid->addItem(new QSpacerItem(textWidthFloor(box, floor), 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

void fitWidth(QWidget &dialog, int floor)
{
    dialog.setMinimumWidth(std::max(dialog.minimumWidth(), textWidthFloor(dialog, floor)));
}

} // namespace AlertSetup
