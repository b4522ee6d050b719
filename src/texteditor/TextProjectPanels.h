#pragma once

#include <QString>

#include <optional>

class QWidget;

// The file panels of the text comparison commands: open a project, save it under a name, choose
// a source text. Tests answer them from a script.
class TextProjectPanels {
public:
    virtual ~TextProjectPanels() = default;
    virtual std::optional<QString> chooseProjectToOpen(QWidget *parent) = 0;
    virtual std::optional<QString> chooseProjectSaveLocation(const QString &suggestedFileName, QWidget *parent) = 0;
    virtual std::optional<QString> chooseSourceText(QWidget *parent) = 0;
};

// The panels as file dialogs of the program's own look, starting on the Desktop.
class FileDialogTextProjectPanels final : public TextProjectPanels {
public:
    std::optional<QString> chooseProjectToOpen(QWidget *parent) override;
    std::optional<QString> chooseProjectSaveLocation(const QString &suggestedFileName, QWidget *parent) override;
    std::optional<QString> chooseSourceText(QWidget *parent) override;
};
