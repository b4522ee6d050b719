#pragma once

#include <QString>

#include <optional>

class QWidget;

// The file and folder choosers and the alerts of the comparison sheets. The sheets ask through
// this interface so that tests can answer; ModalComparisonDialogs shows the program's own file
// dialog and message boxes.
class ComparisonDialogs {
public:
    virtual ~ComparisonDialogs() = default;

    // One image file ("上传"); nothing when cancelled.
    virtual std::optional<QString> chooseImage(const QString &message, QWidget *parent) = 0;
    // One folder ("选择"); nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const QString &message, QWidget *parent) = 0;
    // The "操作失败" alert over `parent`; returns when it was dismissed.
    virtual void showError(const QString &message, QWidget *parent) = 0;
    // The batch result: information, or a warning when nothing was added; one button "知道了".
    virtual void showBatchResult(const QString &title, const QString &message, bool isWarning, QWidget *parent) = 0;
};
