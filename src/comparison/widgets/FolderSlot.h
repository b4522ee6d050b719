#pragma once

#include <QWidget>

#include <optional>

class SheetButton;

// One folder slot of the batch sheet: the folder symbol, the slot title and the chosen folder's
// name (or "未选择"), and its choose button ("选择", "更换" once chosen).
class FolderSlot final : public QWidget {
    Q_OBJECT

public:
    FolderSlot(const QString &title, const QString &help, QWidget *parent = nullptr);
    void setFolder(const std::optional<QString> &path);
    QString valueText() const;
    SheetButton *chooseButton() const { return m_button; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
    std::optional<QString> m_folder;
    SheetButton *m_button = nullptr;
};
