#pragma once

#include "comparison/widgets/ComparisonSheet.h"
#include "model/ImageItems.h"
#include "model/MarkupViewModelTypes.h"

#include <functional>
#include <optional>

class CurrentImageCard;
class QLabel;
class SheetButton;
class UploadCard;

// The single-pair setup sheet: two upload cards, or the current markup image as the before side
// and one upload card for the after side; "确定" adds the pair.
class ComparisonSetupSheet final : public ComparisonSheet {
    Q_OBJECT

public:
    struct State {
        bool usesCurrentImageAsBefore = false;
        std::optional<ComparisonImageState> before;
        std::optional<ComparisonImageState> after;
        bool canCommit = false;
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
