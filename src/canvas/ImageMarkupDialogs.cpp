#include "canvas/ImageMarkupDialogs.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeView>

bool MessageBoxConfirmer::confirm(const ConfirmationRequest &request)
{
    QMessageBox box(m_parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.setIcon(QMessageBox::Warning);
    box.setText(request.message);
    box.setInformativeText(request.informativeText);
    // Both as action buttons, so no desktop style reorders them: the confirming one comes first.
    QPushButton *confirm = box.addButton(request.confirmTitle, QMessageBox::ActionRole);
    QPushButton *cancel = box.addButton(QStringLiteral("取消"), QMessageBox::ActionRole);
    box.setDefaultButton(confirm);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == confirm;
}

namespace {

QString startDirectory()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return desktop;
    return QDir::homePath();
}

QString imageNameFilter()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return QStringLiteral("图片 (%1)").arg(patterns.join(QLatin1Char(' ')));
}

// Accepting with folders selected would make the standard dialog open them; this one hands the
// selection back instead.
class FilesAndFoldersDialog final : public QFileDialog {
public:
    FilesAndFoldersDialog(QWidget *parent, const QString &acceptLabel, const QString &title) : QFileDialog(parent)
    {
        setOption(QFileDialog::DontUseNativeDialog);
        setFileMode(QFileDialog::ExistingFiles);
        setAcceptMode(QFileDialog::AcceptOpen);
        setLabelText(QFileDialog::Accept, acceptLabel);
        setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
        setWindowTitle(title);
        setDirectory(startDirectory());
        setNameFilter(imageNameFilter());
        if (auto *buttons = findChild<QDialogButtonBox *>()) {
            if (QPushButton *open = buttons->button(QDialogButtonBox::Open)) {
                disconnect(open, nullptr, nullptr, nullptr);
                connect(open, &QPushButton::clicked, this, [this] { takeSelection(); });
            }
        }
    }

    QStringList chosen;

private:
    void takeSelection()
    {
        QStringList paths;
        for (const char *name : {"listView", "treeView"}) {
            auto *view = findChild<QAbstractItemView *>(QString::fromLatin1(name));
            if (!view || !view->isVisible() || !view->selectionModel())
                continue;
            for (const QModelIndex &index : view->selectionModel()->selectedRows()) {
                const QString path = directory().absoluteFilePath(index.data().toString());
                if (!paths.contains(path))
                    paths << path;
            }
        }
        if (paths.isEmpty())
            paths = selectedFiles();
        chosen = paths;
        if (!chosen.isEmpty())
            done(QDialog::Accepted);
    }
};

} // namespace

std::optional<QStringList> ImportFileChooser::chooseImagesAndFolders()
{
    FilesAndFoldersDialog dialog(m_parent, m_acceptLabel, m_title);
    if (dialog.exec() != QDialog::Accepted || dialog.chosen.isEmpty())
        return std::nullopt;
    return dialog.chosen;
}
