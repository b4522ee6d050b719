#pragma once

#include "ui/FileChooser.h"

#include <QString>

class QWidget;

// A file dialog whose accept button ("导入" unless given) takes the selected files and folders
// together (no standard mode of the platform dialog allows both); a double click on a folder still
// opens it. It starts on the Desktop when there is one, else in the home folder.
class ImportFileChooser final : public FileChooser {
public:
    explicit ImportFileChooser(QWidget *parent = nullptr,
                               QString acceptLabel = QStringLiteral("导入"),
                               QString title = QStringLiteral("可多选图片，也可以选择包含图片的文件夹。"))
        : m_parent(parent), m_acceptLabel(std::move(acceptLabel)), m_title(std::move(title))
    {
    }
    std::optional<QStringList> chooseImagesAndFolders() override;

private:
    QWidget *m_parent;
    QString m_acceptLabel;
    QString m_title;
};
