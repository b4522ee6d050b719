#pragma once

class QMessageBox;
class QWidget;

// The program's alerts share one sizing rule. A message box sizes itself to its longest word,
// and in Chinese a word is one character: without a floor its texts break into columns a few
// characters wide and the window manager cuts its title ("批量… vora").
namespace AlertSetup {

// The narrowest the texts of an alert may be laid out at.
inline constexpr int minimumTextWidth = 320;

// The width the box's texts get at least: the floor, or more where the window title needs it to
// show whole beside the title bar's buttons.
int textWidthFloor(const QWidget &window, int floor = minimumTextWidth);

// Applies that floor to the box's layout; call after its title and texts are set.
void fitWidth(QMessageBox &box, int floor = minimumTextWidth);
// The same floor as the minimum width of a dialog of the program's own making.
void fitWidth(QWidget &dialog, int floor);

} // namespace AlertSetup
