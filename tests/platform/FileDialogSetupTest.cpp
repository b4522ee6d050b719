#include "platform/FileDialogSetup.h"

#include "support/TestSupport.h"

#include <QAbstractProxyModel>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct DefaultLocaleRestorer {
    QLocale before;
    ~DefaultLocaleRestorer() { QLocale::setDefault(before); }
};

} // namespace

// Under a desktop locale that is not Chinese (the tests' C locale, here also as the default), the
// program's file dialogs list sizes and dates in Chinese, as their Chinese labels are.
TEST(FileDialogSetup, TheFileListShowsSizesAndDatesInChineseWhateverTheLocale)
{
    const DefaultLocaleRestorer restorer;
    QLocale::setDefault(QLocale::c());
    QTemporaryDir directory;
    ASSERT_TRUE(directory.isValid());
    const QString small = TestSupport::writeFile(directory.filePath(QStringLiteral("small.txt")), QByteArray(336, 'x'));
    TestSupport::writeFile(directory.filePath(QStringLiteral("two.bin")), QByteArray(2048, 'x'));
    ASSERT_TRUE(QDir(directory.path()).mkdir(QStringLiteral("folder")));
    {
        QFile file(small);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2026, 12, 8), QTime(9, 41)), QFileDevice::FileModificationTime));
    }

    QFileDialog dialog;
    FileDialogSetup::apply(dialog);
    dialog.setDirectory(directory.path());
    auto *files = dialog.findChild<QFileSystemModel *>();
    ASSERT_NE(files, nullptr);
    // What the dialog's list shows in a row and column.
    const auto shown = [&](const QString &name, int column) {
        const QModelIndex source = files->index(directory.filePath(name), column);
        const QModelIndex index = dialog.proxyModel() ? dialog.proxyModel()->mapFromSource(source) : source;
        return index.data().toString();
    };
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !shown(QStringLiteral("small.txt"), 3).isEmpty(); }));
    EXPECT_EQ(shown(QStringLiteral("small.txt"), 1), QStringLiteral("336 字节"));
    EXPECT_EQ(shown(QStringLiteral("two.bin"), 1), QStringLiteral("2.00 KB"));
    EXPECT_EQ(shown(QStringLiteral("small.txt"), 3), QStringLiteral("2026/12/8 09:41"));
    EXPECT_EQ(shown(QStringLiteral("folder"), 1), QString());
    // Names pass through untouched.
    EXPECT_EQ(shown(QStringLiteral("small.txt"), 0), QStringLiteral("small.txt"));

    EXPECT_EQ(FileDialogSetup::sizeText(0), QStringLiteral("0 字节"));
    EXPECT_EQ(FileDialogSetup::sizeText(1023), QStringLiteral("1023 字节"));
    EXPECT_EQ(FileDialogSetup::sizeText(qint64(5) << 20), QStringLiteral("5.00 MB"));
    EXPECT_EQ(FileDialogSetup::sizeText(qint64(3) << 40), QStringLiteral("3.00 TB"));
}
