#include "video/widgets/ModalVideoFrameDialogs.h"

#include "platform/AlertSetup.h"
#include "platform/FileDialogSetup.h"
#include "ui/MessageBoxConfirmer.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

bool MessageBoxVideoFrameConfirmer::confirm(const VideoFrameConfirmation &request)
{
    MessageBoxConfirmer alert(m_parent);
    return alert.confirm(ConfirmationRequest{request.message, request.informativeText, request.confirmTitle});
}

std::unique_ptr<QMessageBox> MessageBoxVideoFrameConfirmer::makeFrameLeavingPrompt(QWidget *parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowModality(Qt::ApplicationModal);
    box->setIcon(QMessageBox::Warning);
    box->setText(QStringLiteral("是否保存当前帧的标注？"));
    box->setInformativeText(QStringLiteral("当前帧的标注还没有保存。离开这一帧后，这些标注不会保留。"));
    // All as action buttons, so no desktop style reorders them.
    QPushButton *save = box->addButton(QStringLiteral("保存当前帧"), QMessageBox::ActionRole);
    QPushButton *discard = box->addButton(QStringLiteral("不保存"), QMessageBox::ActionRole);
    QPushButton *cancel = box->addButton(QStringLiteral("取消"), QMessageBox::ActionRole);
    save->setObjectName(QStringLiteral("save"));
    discard->setObjectName(QStringLiteral("discard"));
    box->setDefaultButton(save);
    box->setEscapeButton(cancel);
    AlertSetup::fitWidth(*box);
    return box;
}

FrameLeavingAnswer MessageBoxVideoFrameConfirmer::frameLeavingAnswer(const QMessageBox &box)
{
    const QAbstractButton *clicked = box.clickedButton();
    if (clicked && clicked->objectName() == QLatin1String("save"))
        return FrameLeavingAnswer::SaveFrame;
    if (clicked && clicked->objectName() == QLatin1String("discard"))
        return FrameLeavingAnswer::DontSave;
    return FrameLeavingAnswer::Cancel;
}

FrameLeavingAnswer MessageBoxVideoFrameConfirmer::askToSaveFrame()
{
    const std::unique_ptr<QMessageBox> box = makeFrameLeavingPrompt(m_parent);
    box->exec();
    return frameLeavingAnswer(*box);
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
