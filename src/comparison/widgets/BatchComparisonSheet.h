#pragma once

#include "comparison/widgets/ComparisonSheet.h"

#include <QString>

#include <functional>
#include <optional>

class FolderSlot;
class SheetButton;

// The batch sheet: a folder of before images, a folder of after images, and "开始添加", which
// shows a busy mark while the run decodes.
class BatchComparisonSheet final : public ComparisonSheet {
    Q_OBJECT

public:
    struct State {
        std::optional<QString> beforeFolder;
        std::optional<QString> afterFolder;
        bool isRunning = false;
        bool canRun = false;
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
