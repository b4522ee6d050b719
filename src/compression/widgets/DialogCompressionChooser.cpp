#include "compression/widgets/DialogCompressionChooser.h"

#include "platform/FileDialogSetup.h"
#include "ui/ImportFileChooser.h"

#include <QFileDialog>

std::optional<QStringList> DialogCompressionChooser::chooseSources()
{
    ImportFileChooser chooser(m_parent, QStringLiteral("添加"),
                              QStringLiteral("可多选图片，也可以选择包含图片的文件夹。GIF 会使用轻量压缩。"));
    return chooser.chooseImagesAndFolders();
}

std::optional<QString> DialogCompressionChooser::chooseDestinationFolder()
{
    QFileDialog dialog(m_parent);
    FileDialogSetup::apply(dialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("保存到这里"));
    dialog.setWindowTitle(QStringLiteral("选择压缩图片保存位置。"));
    dialog.setDirectory(FileDialogSetup::startFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
