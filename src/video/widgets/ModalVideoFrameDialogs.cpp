#include "video/widgets/ModalVideoFrameDialogs.h"

#include "platform/FileDialogSetup.h"
#include "ui/MessageBoxConfirmer.h"

#include <QFileDialog>

bool MessageBoxVideoFrameConfirmer::confirm(const VideoFrameConfirmation &request)
{
    MessageBoxConfirmer alert(m_parent);
    return alert.confirm(ConfirmationRequest{request.message, request.informativeText, request.confirmTitle});
}

std::optional<QString> VideoFileDialogChooser::chooseVideo()
{
    QFileDialog dialog(m_parent, QStringLiteral("导入视频后，选择某一帧添加标注，并保存为图片。"));
    FileDialogSetup::apply(dialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QStringLiteral("视频 (*.mp4 *.mov *.m4v *.MP4 *.MOV *.M4V)"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("导入"));
    dialog.setDirectory(FileDialogSetup::startFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
