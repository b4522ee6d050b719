#pragma once

#include "comparison/ComparisonDialogs.h"

#include <memory>

class QMessageBox;

// The program's own file dialog and message boxes, run modally over the given parent.
class ModalComparisonDialogs : public ComparisonDialogs {
public:
    std::optional<QString> chooseImage(const QString &message, QWidget *parent) override;
    std::optional<QString> chooseFolder(const QString &message, QWidget *parent) override;
    void showError(const QString &message, QWidget *parent) override;
    void showBatchResult(const QString &title, const QString &message, bool isWarning, QWidget *parent) override;

    // The batch result box, ready to run.
    static std::unique_ptr<QMessageBox> makeBatchResult(const QString &title, const QString &message, bool isWarning,
                                                        QWidget *parent);
};
