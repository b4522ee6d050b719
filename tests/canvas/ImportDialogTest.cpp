#include "ui/ImportFileChooser.h"

#include "support/TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// The import chooser driven as a person would: `drive` gets the open dialog, shown on `folder`
// with its rows listed, and accepts or cancels it in its own way.
class ImportDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        QDir(root.path()).mkpath(QStringLiteral("相册"));
        QDir(root.path()).mkpath(QStringLiteral("其他/深处"));
        for (const char *name : {"一.jpg", "二.jpg", "带 空格.jpg"})
            touch(QStringLiteral("相册/") + QString::fromUtf8(name));
        touch(QStringLiteral("其他/远处.png"));
    }

    void touch(const QString &relative)
    {
        ASSERT_TRUE(TestSupport::solidImage(4, 4).save(path(relative)));
    }

    QString path(const QString &relative) const { return QDir::cleanPath(root.filePath(relative)); }

    std::optional<QStringList> choose(const QString &folder, const std::function<void(QFileDialog &)> &drive)
    {
        bool driven = false;
        auto *poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || driven)
                return;
            driven = true;
            poll->stop();
            QApplication::setActiveWindow(dialog);
            dialog->setDirectory(path(folder));
            auto *list = dialog->findChild<QAbstractItemView *>(QStringLiteral("listView"));
            EXPECT_TRUE(TestSupport::waitUntil([&] { return list->model()->rowCount(list->rootIndex()) > 0; }));
            // A driver that failed to close the dialog fails its test instead of hanging it.
            QTimer::singleShot(8000, dialog, [dialog] {
                if (dialog->isVisible())
                    dialog->reject();
            });
            drive(*dialog);
        });
        poll->start(10);
        // A warning the dialog raises is recorded and closed, so a wrong path fails, not hangs.
        QTimer boxWatch;
        QObject::connect(&boxWatch, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                warnings << box->text();
                box->reject();
            }
        });
        boxWatch.start(10);
        ImportFileChooser chooser;
        const std::optional<QStringList> result = chooser.chooseImagesAndFolders();
        delete poll;
        EXPECT_TRUE(driven);
        return result;
    }

    static QLineEdit *field(QFileDialog &dialog) { return dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit")); }

    static void type(QFileDialog &dialog, const QString &text)
    {
        // Set rather than typed key by key, so no completion popup opens over the dialog.
        QLineEdit *edit = field(dialog);
        edit->setFocus();
        edit->setText(text);
        QCoreApplication::processEvents();
    }

    static void pressImport(QFileDialog &dialog)
    {
        auto *buttons = dialog.findChild<QDialogButtonBox *>();
        QPushButton *button = buttons->button(QDialogButtonBox::Open);
        EXPECT_EQ(button->text(), QStringLiteral("导入"));
        // The folder list loads in the background; the dialog enables the button once it knows
        // the typed names exist.
        EXPECT_TRUE(TestSupport::waitUntil([button] { return button->isEnabled(); }));
        button->click();
    }

    static void pressEnter(QFileDialog &dialog)
    {
        QPushButton *button = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Open);
        EXPECT_TRUE(TestSupport::waitUntil([button] { return button->isEnabled(); }));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(field(dialog), &press);
    }

    static QModelIndex row(QFileDialog &dialog, const QString &filePath)
    {
        auto *model = dialog.findChild<QFileSystemModel *>(QStringLiteral("qt_filesystem_model"));
        TestSupport::waitUntil([&] { return model->index(filePath).isValid(); });
        return dialog.findChild<QFileSystemModel *>(QStringLiteral("qt_filesystem_model"))->index(filePath);
    }

    static void selectRows(QFileDialog &dialog, const QStringList &paths)
    {
        auto *list = dialog.findChild<QAbstractItemView *>(QStringLiteral("listView"));
        list->setFocus();
        list->selectionModel()->clearSelection();
        for (const QString &p : paths)
            list->selectionModel()->select(row(dialog, p), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCoreApplication::processEvents();
    }

    QTemporaryDir root;
    QStringList warnings;
};

} // namespace

TEST_F(ImportDialog, TypedPathsAreWhatIsImportedWhateverTheFolderShown)
{
    // No warning on the way: every path typed below exists.
    struct NoWarnings {
        QStringList &list;
        ~NoWarnings() { EXPECT_TRUE(list.isEmpty()) << list.join(QLatin1Char('|')).toStdString(); }
    } noWarnings{warnings};
    // A folder's full path, from inside another folder, with the button.
    EXPECT_EQ(choose(QStringLiteral("其他"), [&](QFileDialog &d) { type(d, path(QStringLiteral("相册"))); pressImport(d); }),
              QStringList{path(QStringLiteral("相册"))});
    // A file's full path while another folder is shown, with Enter.
    EXPECT_EQ(choose(QStringLiteral("相册"), [&](QFileDialog &d) { type(d, path(QStringLiteral("其他/远处.png"))); pressEnter(d); }),
              QStringList{path(QStringLiteral("其他/远处.png"))});
    // Several quoted names relative to the folder shown, one with a space, with Enter.
    EXPECT_EQ(choose(QStringLiteral("相册"), [&](QFileDialog &d) { type(d, QStringLiteral("\"一.jpg\" \"带 空格.jpg\"")); pressEnter(d); }),
              (QStringList{path(QStringLiteral("相册/一.jpg")), path(QStringLiteral("相册/带 空格.jpg"))}));
    // A relative folder one level down, and a relative file through "..", with the button.
    EXPECT_EQ(choose(QStringLiteral("其他"), [&](QFileDialog &d) { type(d, QStringLiteral("深处")); pressImport(d); }),
              QStringList{path(QStringLiteral("其他/深处"))});
    EXPECT_EQ(choose(QStringLiteral("其他"), [&](QFileDialog &d) { type(d, QStringLiteral("../相册/二.jpg")); pressImport(d); }),
              QStringList{path(QStringLiteral("相册/二.jpg"))});
}

TEST_F(ImportDialog, SelectedRowsFoldersIncludedAndDoubleClickedFiles)
{
    // Files and a folder selected together: the field echoes only the files, the folder still counts.
    const std::optional<QStringList> mixed = choose(QStringLiteral("其他"), [&](QFileDialog &d) {
        selectRows(d, {path(QStringLiteral("其他/深处")), path(QStringLiteral("其他/远处.png"))});
        pressImport(d);
    });
    ASSERT_TRUE(mixed);
    EXPECT_EQ(QSet<QString>(mixed->begin(), mixed->end()),
              (QSet<QString>{path(QStringLiteral("其他/深处")), path(QStringLiteral("其他/远处.png"))}));

    // A file clicked first, then only a folder: the folder, not the stale file name.
    EXPECT_EQ(choose(QStringLiteral("其他"), [&](QFileDialog &d) {
        selectRows(d, {path(QStringLiteral("其他/远处.png"))});
        selectRows(d, {path(QStringLiteral("其他/深处"))});
        pressImport(d);
    }), QStringList{path(QStringLiteral("其他/深处"))});

    // A double click on a file imports that file.
    EXPECT_EQ(choose(QStringLiteral("相册"), [&](QFileDialog &d) {
        const QString file = path(QStringLiteral("相册/二.jpg"));
        selectRows(d, {file});
        auto *list = d.findChild<QAbstractItemView *>(QStringLiteral("listView"));
        const QModelIndex index = list->model()->index(row(d, file).row(), 0, list->rootIndex());
        const QPoint at = list->visualRect(index).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &press);
        QApplication::sendEvent(list->viewport(), &twice);
    }), QStringList{path(QStringLiteral("相册/二.jpg"))});
}

TEST_F(ImportDialog, AMissingNameKeepsTheDialogOpenAndCancelChoosesNothing)
{
    const std::optional<QStringList> result = choose(QStringLiteral("相册"), [&](QFileDialog &d) {
        type(d, QStringLiteral("没有.jpg"));
        QMetaObject::invokeMethod(&d, "accept", Qt::DirectConnection); // every way of accepting ends here
        EXPECT_TRUE(d.isVisible());
        d.reject();
    });
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings.front().contains(QStringLiteral("没有.jpg")));
    EXPECT_FALSE(result);
}
