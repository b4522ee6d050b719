#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class SheetButton;

// The frame of both sheets: white, padded 22, rows 18 apart, a fixed width, window-modal over
// the window. Escape and the title bar's close button end it like its own close button does.
class ComparisonSheet : public QDialog {
    Q_OBJECT

public:
    ComparisonSheet(int width, QWidget *parent);

    // Called when the user closes the sheet (close button, cancel, Escape, the title bar).
    std::function<void()> closeAction;

protected:
    // The header row: title, hint and the close button.
    QLabel *addHeader(const QString &title, const QString &hint);
    // The footer row: "取消" on the left, `confirm` on the right.
    void addFooter(SheetButton *confirm);
    // The confirming button's colours: white on green.
    static void setPrimaryColors(SheetButton &button);
    void reject() override;
    class QVBoxLayout *m_rows = nullptr;
};
