#pragma once

#include "model/ImageItems.h"
#include "model/MarkupViewModelTypes.h"

#include <QDialog>

#include <functional>
#include <optional>

class CurrentImageCard;
class FolderSlot;
class QLabel;
class SheetButton;
class UploadCard;

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
    void reject() override;
    class QVBoxLayout *m_rows = nullptr;
};

// The single-pair setup sheet: two upload cards, or the current markup image as the before side
// and one upload card for the after side; "确定" adds the pair.
class ComparisonSetupSheet final : public ComparisonSheet {
    Q_OBJECT

public:
    struct State {
        bool usesCurrentImageAsBefore = false;
        std::optional<ComparisonImageState> before;
        std::optional<ComparisonImageState> after;
    };

    explicit ComparisonSetupSheet(QWidget *parent = nullptr);
    void refresh(const State &state);

    std::function<void(bool isAfter)> chooseAction;
    std::function<void()> commitAction;

    UploadCard *beforeCard() const { return m_beforeCard; }
    UploadCard *afterCard() const { return m_afterCard; }
    UploadCard *currentAfterCard() const { return m_currentAfterCard; }
    CurrentImageCard *currentImageCard() const { return m_currentCard; }
    SheetButton *confirmButton() const { return m_confirm; }
    QString hintText() const;

private:
    QLabel *m_hint = nullptr;
    QWidget *m_twoSlots = nullptr;
    QWidget *m_currentSlots = nullptr;
    UploadCard *m_beforeCard = nullptr;
    UploadCard *m_afterCard = nullptr;
    UploadCard *m_currentAfterCard = nullptr;
    CurrentImageCard *m_currentCard = nullptr;
    SheetButton *m_confirm = nullptr;
};

// The batch sheet: a folder of before images, a folder of after images, and "开始添加", which
// shows a busy mark while the run decodes.
class BatchComparisonSheet final : public ComparisonSheet {
    Q_OBJECT

public:
    struct State {
        std::optional<QString> beforeFolder;
        std::optional<QString> afterFolder;
        bool isRunning = false;
    };

    explicit BatchComparisonSheet(QWidget *parent = nullptr);
    void refresh(const State &state);

    std::function<void(bool isAfter)> chooseAction;
    std::function<void()> runAction;

    FolderSlot *beforeSlot() const { return m_beforeSlot; }
    FolderSlot *afterSlot() const { return m_afterSlot; }
    SheetButton *runButton() const { return m_run; }

private:
    FolderSlot *m_beforeSlot = nullptr;
    FolderSlot *m_afterSlot = nullptr;
    SheetButton *m_run = nullptr;
};
