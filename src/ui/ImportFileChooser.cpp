#include "ui/ImportFileChooser.h"

#include "platform/AlertSetup.h"
#include "platform/FileDialogSetup.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QImageReader>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>

namespace {

QString imageNameFilter()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return QStringLiteral("图片 (%1)").arg(patterns.join(QLatin1Char(' ')));
}

// The names in the file name field: each one in double quotes when there are several, else the
// whole text as one name.
QStringList typedNames(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.contains(QLatin1Char('"')))
        return trimmed.isEmpty() ? QStringList() : QStringList{trimmed};
    QStringList names;
    const QStringList parts = trimmed.split(QLatin1Char('"'));
    for (qsizetype index = 1; index < parts.size(); index += 2) {
        if (!parts.at(index).trimmed().isEmpty())
            names << parts.at(index);
    }
    return names;
}

// A typed name as an absolute path: relative names are taken from the folder shown, "~" is home.
QString resolvedPath(const QDir &folder, const QString &name)
{
    if (name == QLatin1String("~"))
        return QDir::homePath();
    if (name.startsWith(QLatin1String("~/")))
        return QDir::cleanPath(QDir::homePath() + name.mid(1));
    return QDir::cleanPath(folder.absoluteFilePath(name));
}

// Accepting hands back what the user chose, folders included, instead of opening folders. The
// file name field decides when the user typed into it (a folder, a file or several quoted names,
// relative to the folder shown or absolute); otherwise the rows selected in the list do. Every
// way of accepting (the button, Enter, a double click on a file) comes through accept().
class FilesAndFoldersDialog final : public QFileDialog {
public:
    FilesAndFoldersDialog(QWidget *parent, const QString &acceptLabel, const QString &title) : QFileDialog(parent)
    {
        FileDialogSetup::apply(*this);
        setFileMode(QFileDialog::ExistingFiles);
        setAcceptMode(QFileDialog::AcceptOpen);
        setLabelText(QFileDialog::Accept, acceptLabel);
        setWindowTitle(title);
        setDirectory(FileDialogSetup::startFolder());
        setNameFilter(imageNameFilter());
        if (auto *buttons = findChild<QDialogButtonBox *>()) {
            if (QPushButton *open = buttons->button(QDialogButtonBox::Open)) {
                disconnect(open, nullptr, nullptr, nullptr);
                connect(open, &QPushButton::clicked, this, [this] { accept(); });
            }
        }
        widenColumns();
        watchSelection();
    }

    QStringList chosen;

    void accept() override
    {
        // The field holds either the dialog's own echo of the selected files (then the selection,
        // folders included, is what was chosen) or what the user typed.
        QStringList paths = selectedRowPaths();
        const QLineEdit *field = nameField();
        const QString text = field ? field->text().trimmed() : QString();
        if (!text.isEmpty() && text != echoOf(paths))
            paths = typedPaths();
        if (paths.isEmpty())
            return;
        for (const QString &path : std::as_const(paths)) {
            if (!QFileInfo::exists(path)) {
                QMessageBox box(QMessageBox::Warning, windowTitle(),
                                QStringLiteral("找不到“%1”。请检查路径是否正确。").arg(QDir::toNativeSeparators(path)),
                                QMessageBox::Ok, this);
                AlertSetup::fitWidth(box);
                box.exec();
                return;
            }
        }
        chosen = paths;
        done(QDialog::Accepted);
    }

private:
    QLineEdit *nameField() const { return findChild<QLineEdit *>(QStringLiteral("fileNameEdit")); }

    QStringList typedPaths() const
    {
        QStringList paths;
        if (const QLineEdit *field = nameField()) {
            for (const QString &name : typedNames(field->text())) {
                const QString path = resolvedPath(directory(), name);
                if (!paths.contains(path))
                    paths << path;
            }
        }
        return paths;
    }

    QStringList selectedRowPaths() const
    {
        QStringList paths;
        for (const char *name : {"listView", "treeView"}) {
            auto *view = findChild<QAbstractItemView *>(QString::fromLatin1(name));
            if (!view || !view->isVisible() || !view->selectionModel())
                continue;
            for (const QModelIndex &index : view->selectionModel()->selectedRows()) {
                const QString path = QDir::cleanPath(index.data(QFileSystemModel::FilePathRole).toString());
                if (!path.isEmpty() && !paths.contains(path))
                    paths << path;
            }
        }
        return paths;
    }

    // The base dialog's echo of a selection in the file name field: the files' names (never the
    // folders'), each in double quotes when there are several.
    static QString echoOf(const QStringList &rowPaths)
    {
        QStringList names;
        for (const QString &path : rowPaths) {
            if (!QFileInfo(path).isDir())
                names << QFileInfo(path).fileName();
        }
        if (names.size() > 1) {
            for (QString &name : names)
                name = QLatin1Char('"') + name + QLatin1Char('"');
        }
        return names.join(QLatin1Char(' '));
    }

    // The accept button keeps its label: the base dialog would rename it "Open" whenever a folder
    // is typed or selected, but here a folder is imported, not opened.
    void keepAcceptLabel()
    {
        if (auto *buttons = findChild<QDialogButtonBox *>()) {
            if (QPushButton *open = buttons->button(QDialogButtonBox::Open))
                open->setText(m_acceptLabel);
        }
    }

    // The detail list shows whole type names and dates at the dialog's size.
    void widenColumns()
    {
        auto *tree = findChild<QTreeView *>(QStringLiteral("treeView"));
        if (!tree || !tree->header())
            return;
        for (auto [column, width] : {std::pair{0, 300}, std::pair{1, 80}, std::pair{2, 130}, std::pair{3, 150}})
            tree->header()->resizeSection(column, width);
    }

    // A click that leaves only folders selected empties the field when it held a click's echo
    // (or the click came from the list), so an earlier file name there is not taken for typed text.
    void watchSelection()
    {
        auto *view = findChild<QAbstractItemView *>(QStringLiteral("listView"));
        if (!view || !view->selectionModel())
            return;
        m_acceptLabel = labelText(QFileDialog::Accept);
        if (QLineEdit *field = nameField())
            connect(field, &QLineEdit::textChanged, this, [this] { keepAcceptLabel(); });
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            keepAcceptLabel();
            QLineEdit *field = nameField();
            if (!field)
                return;
            const QStringList rows = selectedRowPaths();
            const QString echo = echoOf(rows);
            if (!rows.isEmpty() && echo.isEmpty() && (!field->hasFocus() || field->text().trimmed() == m_echo))
                field->clear();
            m_echo = echo;
        });
    }

    QString m_acceptLabel;
    QString m_echo;
};

} // namespace

std::optional<QStringList> ImportFileChooser::chooseImagesAndFolders()
{
    FilesAndFoldersDialog dialog(m_parent, m_acceptLabel, m_title);
    if (dialog.exec() != QDialog::Accepted || dialog.chosen.isEmpty())
        return std::nullopt;
    return dialog.chosen;
}
