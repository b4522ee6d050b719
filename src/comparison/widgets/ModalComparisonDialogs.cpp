#include "comparison/widgets/ModalComparisonDialogs.h"

#include "platform/AlertSetup.h"
#include "platform/FileDialogSetup.h"
#include "ui/ShellDialogs.h"

#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>

namespace {

std::optional<QString> runFileDialog(QFileDialog &dialog, const QString &prompt, const QString &message)
{
    FileDialogSetup::apply(dialog);
    dialog.setLabelText(QFileDialog::Accept, prompt);
    dialog.setWindowTitle(message);
    dialog.setDirectory(FileDialogSetup::startFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::optional<QString> ModalComparisonDialogs::chooseImage(const QString &message, QWidget *parent)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    dialog.setNameFilter(QStringLiteral("图片 (%1)").arg(patterns.join(u' ')));
    return runFileDialog(dialog, QStringLiteral("上传"), message);
}

std::optional<QString> ModalComparisonDialogs::chooseFolder(const QString &message, QWidget *parent)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return runFileDialog(dialog, QStringLiteral("选择"), message);
}

void ModalComparisonDialogs::showError(const QString &message, QWidget *parent)
{
    ShellDialogs::makeErrorAlert(message, parent)->exec();
}

void ModalComparisonDialogs::showBatchResult(const QString &title, const QString &message, bool isWarning,
                                             QWidget *parent)
{
    makeBatchResult(title, message, isWarning, ShellDialogs::alertParent(parent))->exec();
}

std::unique_ptr<QMessageBox> ModalComparisonDialogs::makeBatchResult(const QString &title, const QString &message,
                                                                     bool isWarning, QWidget *parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(isWarning ? QMessageBox::Warning : QMessageBox::Information);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(message);
    QPushButton *ok = box->addButton(QStringLiteral("知道了"), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    AlertSetup::fitWidth(*box);
    return box;
}
