#pragma once

#include <QString>

#include <optional>

class QWidget;

// The two questions before an export: the scope (only asked when the document has markups) and
// the page title. Tests answer them from a script.
class TextExportDialogs {
public:
    enum class Scope { Full, EditedPage, Cancel };

    virtual ~TextExportDialogs() = default;
    // Buttons in this order: "导出全部内容", "仅导出修改文案页", "取消".
    virtual Scope askScope(const QString &dialogTitle, QWidget *parent) = 0;
    // The title field prefilled with the default; nothing when cancelled.
    virtual std::optional<QString> askTitle(const QString &confirmTitle, const QString &defaultTitle, QWidget *parent)
        = 0;
};

// Small modal dialogs with the buttons in the fixed order, "取消" last.
class ModalTextExportDialogs final : public TextExportDialogs {
public:
    Scope askScope(const QString &dialogTitle, QWidget *parent) override;
    std::optional<QString> askTitle(const QString &confirmTitle, const QString &defaultTitle, QWidget *parent) override;
};
