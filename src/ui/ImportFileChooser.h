#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// A destructive command's question: the confirming button first, "取消" second; only the first
// confirms.
struct ConfirmationRequest {
    QString message;
    QString informativeText;
    QString confirmTitle;

    bool operator==(const ConfirmationRequest &) const = default;
};

// Asks the user; tests answer through their own implementation.
class Confirmer {
public:
    virtual ~Confirmer() = default;
    virtual bool confirm(const ConfirmationRequest &request) = 0;
};

// The application-modal warning alert.
class MessageBoxConfirmer final : public Confirmer {
public:
    explicit MessageBoxConfirmer(QWidget *parent = nullptr) : m_parent(parent) {}
    bool confirm(const ConfirmationRequest &request) override;

private:
    QWidget *m_parent;
};

// Chooses files and folders to import; nothing when cancelled.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual std::optional<QStringList> chooseImagesAndFolders() = 0;
};

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
