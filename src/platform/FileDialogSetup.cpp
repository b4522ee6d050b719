#include "platform/FileDialogSetup.h"

#include "platform/NewFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace FileDialogSetup {

QString startFolder()
{
    const QString desktop = NewFiles::desktopLocation();
    if (QFileInfo(desktop).isDir())
        return desktop;
    return QDir::homePath();
}

void apply(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    dialog.resize(860, 560);
}

} // namespace FileDialogSetup
