#include "texteditor/TextProjectPanels.h"

#include <QDir>
#include "platform/FileDialogSetup.h"
#include <QFileDialog>
#include <QStandardPaths>

namespace {

const QString projectFilter = QStringLiteral("Kivora 项目 (*.kivo)");

QString existingFolder(QStandardPaths::StandardLocation location)
{
    const QString path = QStandardPaths::writableLocation(location);
    return !path.isEmpty() && QDir(path).exists() ? path : QString();
}

std::optional<QString> run(QFileDialog &dialog)
{
    FileDialogSetup::apply(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::optional<QString> FileDialogTextProjectPanels::chooseProjectToOpen(QWidget *parent)
{
    QFileDialog dialog(parent, QStringLiteral("选择一个Kivora项目文件。"), FileDialogSetup::startFolder());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(projectFilter);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("打开"));
    return run(dialog);
}

std::optional<QString> FileDialogTextProjectPanels::chooseProjectSaveLocation(const QString &suggestedFileName,
                                                                              QWidget *parent)
{
    QFileDialog dialog(parent, QStringLiteral("项目文件用于继续编辑文案对比，不是最终导出的图片。"),
                       FileDialogSetup::startFolder());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(projectFilter);
    dialog.setDefaultSuffix(QStringLiteral("kivo"));
    dialog.selectFile(suggestedFileName);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("保存"));
    return run(dialog);
}

std::optional<QString> FileDialogTextProjectPanels::chooseSourceText(QWidget *parent)
{
    QString folder = existingFolder(QStandardPaths::DesktopLocation);
    if (folder.isEmpty())
        folder = existingFolder(QStandardPaths::DocumentsLocation);
    QFileDialog dialog(parent, QStringLiteral("选择一份原文文案文件，右侧会生成可编辑副本。"), folder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({ QStringLiteral("文案 (*.txt *.rtf *.docx)"), QStringLiteral("所有文件 (*)") });
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("上传"));
    return run(dialog);
}
