#include "platform/FileDialogSetup.h"

#include "platform/NewFile.h"
#include "platform/QtTranslation.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>

namespace {

// Qt's file list writes sizes and dates in the desktop's locale ("336 bytes", "8 Dec 2026"),
// whatever language its labels speak. This proxy writes both in Chinese, like the rest of the
// window; every other column and role passes through unchanged.
class FileDialogSetupChineseDetails final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (source.column()) {
        case FileDialogSetup::sizeColumn:
            // Folders show no size, as in Qt's own list.
            return files->isDir(source) ? QString() : FileDialogSetup::sizeText(files->size(source));
        case FileDialogSetup::dateColumn:
            return FileDialogSetup::dateText(files->lastModified(source));
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};

} // namespace

namespace FileDialogSetup {

QString startFolder()
{
    const QString desktop = NewFiles::desktopLocation();
    if (QFileInfo(desktop).isDir())
        return desktop;
    return QDir::homePath();
}

QString sizeText(qint64 bytes)
{
    const QLocale chinese = QtTranslation::chineseLocale();
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" 字节");
    static const char *const units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    return chinese.toString(value, 'f', 2) + u' ' + QLatin1String(units[unit]);
}

QString dateText(const QDateTime &time)
{
    return time.isValid() ? QtTranslation::chineseLocale().toString(time, QLocale::ShortFormat) : QString();
}

void apply(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    dialog.setProxyModel(new FileDialogSetupChineseDetails(&dialog));
    dialog.resize(860, 560);
}

} // namespace FileDialogSetup
