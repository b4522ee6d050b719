#include "ui/ShellDialogs.h"

#include "platform/AlertSetup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

// A floor on the width keeps the Chinese texts from breaking into narrow columns, and the title
// whole.
void setMinimumTextWidth(QMessageBox &box, int width)
{
    AlertSetup::fitWidth(box, width);
}

// The image question says before what the images can still be saved.
QString shellDialogsImageQuestion(SaveQuestionCause cause)
{
    QString before;
    switch (cause) {
    case SaveQuestionCause::Quit:
        before = QStringLiteral("退出前");
        break;
    case SaveQuestionCause::OpenProject:
        before = QStringLiteral("打开项目前");
        break;
    case SaveQuestionCause::NewSource:
        before = QStringLiteral("上传原文前");
        break;
    }
    return QStringLiteral("图片标注不保存项目文件。") + before + QStringLiteral("可以把当前选中的标注图片保存到桌面。");
}

} // namespace

ShellDialogs::~ShellDialogs() = default;

std::unique_ptr<QMessageBox> ShellDialogs::makeQuitPrompt(QuitPrompt prompt, QWidget *parent, SaveQuestionCause cause)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QStringLiteral("Kivora"));
    const bool image = prompt == QuitPrompt::ImageSave;
    box->setText(image ? QStringLiteral("是否保存标注图片？") : QStringLiteral("是否保存当前项目？"));
    box->setInformativeText(image ? shellDialogsImageQuestion(cause)
                                  : QStringLiteral("项目文件用于继续编辑文案对比，不是最终导出的图片。"));
    QPushButton *save =
        box->addButton(image ? QStringLiteral("保存到桌面") : QStringLiteral("保存"), QMessageBox::ActionRole);
    QPushButton *discard = box->addButton(QStringLiteral("不保存"), QMessageBox::ActionRole);
    QPushButton *cancel = box->addButton(QStringLiteral("取消"), QMessageBox::ActionRole);
    save->setObjectName(QStringLiteral("save"));
    discard->setObjectName(QStringLiteral("discard"));
    cancel->setObjectName(QStringLiteral("cancel"));
    box->setDefaultButton(save);
    box->setEscapeButton(cancel);
    setMinimumTextWidth(*box, 380);
    return box;
}

QuitAnswer ShellDialogs::quitAnswer(const QMessageBox &box)
{
    const QAbstractButton *clicked = box.clickedButton();
    if (!clicked)
        return QuitAnswer::Cancel;
    if (clicked->objectName() == QLatin1String("save"))
        return QuitAnswer::Save;
    if (clicked->objectName() == QLatin1String("discard"))
        return QuitAnswer::DontSave;
    return QuitAnswer::Cancel;
}

std::unique_ptr<QMessageBox> ShellDialogs::makeErrorAlert(const QString &message, QWidget *parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QStringLiteral("操作失败"));
    box->setText(QStringLiteral("操作失败"));
    box->setInformativeText(message.isEmpty() ? QStringLiteral("未知错误") : message);
    QPushButton *ok = box->addButton(QStringLiteral("知道了"), QMessageBox::RejectRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    setMinimumTextWidth(*box, 320);
    return box;
}

std::unique_ptr<QMessageBox> ShellDialogs::makeUpdateAlert(const QString &message, QWidget *parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(QMessageBox::Information);
    box->setWindowTitle(QStringLiteral("发现新版本"));
    box->setText(QStringLiteral("发现新版本"));
    box->setInformativeText(message);
    QPushButton *download = box->addButton(QStringLiteral("去下载"), QMessageBox::AcceptRole);
    QPushButton *later = box->addButton(QStringLiteral("稍后"), QMessageBox::RejectRole);
    download->setObjectName(QStringLiteral("download"));
    box->setDefaultButton(download);
    box->setEscapeButton(later);
    setMinimumTextWidth(*box, 340);
    return box;
}

QWidget *ShellDialogs::alertParent(QWidget *fallback)
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return fallback ? fallback->window() : nullptr;
}

QuitAnswer ShellDialogs::askBeforeQuit(QuitPrompt prompt, SaveQuestionCause cause, QWidget *parent)
{
    auto box = makeQuitPrompt(prompt, alertParent(parent), cause);
    box->exec();
    return quitAnswer(*box);
}

void ShellDialogs::showError(const QString &message, QWidget *parent)
{
    makeErrorAlert(message, alertParent(parent))->exec();
}

bool ShellDialogs::askToDownloadUpdate(const QString &message, QWidget *parent)
{
    auto box = makeUpdateAlert(message, alertParent(parent));
    box->exec();
    return box->clickedButton() && box->clickedButton()->objectName() == QLatin1String("download");
}
