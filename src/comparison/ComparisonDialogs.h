#pragma once

#include <QString>

#include <memory>
#include <optional>

class QMessageBox;
class QWidget;

// The file and folder choosers and the alerts of the comparison sheets. The sheets ask through
// this interface so that tests can answer; the default shows the program's own file dialog and
// message boxes.
class ComparisonDialogs {
public:
    virtual ~ComparisonDialogs();

    // One image file ("上传"); nothing when cancelled.
    virtual std::optional<QString> chooseImage(const QString &message, QWidget *parent);
    // One folder ("选择"); nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const QString &message, QWidget *parent);
    // The "操作失败" alert over `parent`; returns when it was dismissed.
    virtual void showError(const QString &message, QWidget *parent);
    // The batch result: information, or a warning when nothing was added; one button "知道了".
    virtual void showBatchResult(const QString &title, const QString &message, bool isWarning, QWidget *parent);

    // The batch result box, ready to run.
    static std::unique_ptr<QMessageBox> makeBatchResult(const QString &title, const QString &message, bool isWarning,
                                                        QWidget *parent);
};
