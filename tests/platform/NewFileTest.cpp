#include "platform/NewFile.h"
#include "support/PlantedWriteFailure.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

namespace {

QStringList newFileEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString partName(const QString &prefix) { return prefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + ".part"; }

} // namespace

// Whatever stands under the wanted name (a file, a folder, a broken link) stays as it was; the new
// file takes the next free name, and no hidden file is left.
TEST(NewFile, ATakenNameIsNeverReplaced)
{
    QTemporaryDir dir;
    const QString wanted = dir.filePath("周报-文案对比-20261208-051234.png");
    TestSupport::writeFile(wanted, "first");
    ASSERT_TRUE(QDir(dir.path()).mkdir("周报-文案对比-20261208-051234-2.png"));
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath("周报-文案对比-20261208-051234-3.png")));

    EXPECT_EQ(NewFiles::write(wanted, "second"), dir.filePath("周报-文案对比-20261208-051234-4.png"));
    EXPECT_EQ(NewFiles::write(wanted, "third"), dir.filePath("周报-文案对比-20261208-051234-5.png"));
    EXPECT_EQ(TestSupport::readFile(wanted), "first");
    EXPECT_EQ(TestSupport::readFile(dir.filePath("周报-文案对比-20261208-051234-4.png")), "second");
    EXPECT_EQ(newFileEntries(dir.path()).size(), 5) << newFileEntries(dir.path()).join(", ").toStdString();

    // A file streamed in pieces (a PDF) takes its name only when committed; one given up leaves nothing.
    NewFile streamed(dir.filePath("scan-20261208-051234.pdf"));
    ASSERT_TRUE(streamed.open());
    streamed.device().write("%PDF-");
    EXPECT_FALSE(QFile::exists(dir.filePath("scan-20261208-051234.pdf")));
    streamed.device().write("1.4");
    EXPECT_EQ(streamed.commit(), dir.filePath("scan-20261208-051234.pdf"));
    EXPECT_EQ(TestSupport::readFile(dir.filePath("scan-20261208-051234.pdf")), "%PDF-1.4");
    {
        NewFile abandoned(dir.filePath("scan-20261208-051234.pdf"));
        ASSERT_TRUE(abandoned.open());
        abandoned.device().write("half");
    }
    EXPECT_EQ(newFileEntries(dir.path()).size(), 6);

    // A folder that is gone: nothing is written and the reason is the system's.
    int error = 0;
    EXPECT_FALSE(NewFiles::write(dir.filePath("gone/a.png"), "x", &error));
    EXPECT_EQ(error, ENOENT);
}

TEST(NewFile, NumberedNamesKeepTheExtensionAndFitTheNameLimit)
{
    EXPECT_EQ(NewFiles::numberedName("a.b.png", 1), "a.b.png");
    EXPECT_EQ(NewFiles::numberedName("a.b.png", 2), "a.b-2.png");
    EXPECT_EQ(NewFiles::numberedName("README", 12), "README-12");
    EXPECT_EQ(NewFiles::numberedName(".hidden", 3), ".hidden-3");
    // A name already at the limit gives up characters (never half of one) for its number.
    const QString longName = QString(80, u'长') + "😀.png"; // 240 + 4 + 4 bytes
    const QString numbered = NewFiles::numberedName(QString(2, u'长') + longName, 100);
    EXPECT_LE(numbered.toUtf8().size(), 255);
    EXPECT_TRUE(numbered.endsWith("-100.png"));
    EXPECT_FALSE(numbered.contains(QChar(0xFFFD)));
    QTemporaryDir dir;
    const QString wanted = dir.filePath(QString(83, u'长') + ".jpeg"); // 254 bytes
    TestSupport::writeFile(wanted, "first");
    const std::optional<QString> second = NewFiles::write(wanted, "second");
    ASSERT_TRUE(second);
    EXPECT_EQ(QFileInfo(*second).fileName(), QString(82, u'长') + "-2.jpeg");
}

// Only the program's own part files of a run that ended go: the exact name shape, a regular file,
// and not held by a writer that is still at work.
TEST(NewFile, StalePartsGoAndNothingElse)
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    const QString prefix = ".kivo-compression-";
    const QString stale = partName(prefix);
    TestSupport::writeFile(dir.filePath(stale), "left by a killed run");
    const QStringList kept {
        prefix + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".part", // lower case: not ours
        prefix.mid(1) + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + ".part", // not hidden
        partName(prefix) + ".bak",
        partName(".kivo-export-"),
        prefix + "notes.part",
    };
    for (const QString &name : kept)
        TestSupport::writeFile(dir.filePath(name), "user's");
    const QString folderLike = partName(prefix);
    ASSERT_TRUE(QDir(dir.path()).mkdir(folderLike));
    const QString linkLike = partName(prefix);
    const QString target = TestSupport::writeFile(outside.filePath("target.jpg"), "elsewhere");
    ASSERT_TRUE(QFile::link(target, dir.filePath(linkLike)));

    // A write under way in the same folder holds its part file.
    NewFile live(dir.path(), [](int number) { return QStringLiteral("photo-压缩-%1.jpg").arg(number); }, prefix);
    ASSERT_TRUE(live.open());
    live.device().write("under way");

    EXPECT_EQ(NewFiles::removeStaleParts(dir.path(), prefix), 1);
    const QStringList left = newFileEntries(dir.path());
    EXPECT_FALSE(left.contains(stale));
    for (const QString &name : kept)
        EXPECT_TRUE(left.contains(name)) << name.toStdString();
    EXPECT_TRUE(left.contains(folderLike));
    EXPECT_TRUE(left.contains(linkLike));
    EXPECT_EQ(TestSupport::readFile(target), "elsewhere");
    EXPECT_EQ(left.size(), kept.size() + 3); // the folder, the link and the live part file

    EXPECT_EQ(live.commit(), dir.filePath("photo-压缩-1.jpg"));
    EXPECT_EQ(TestSupport::readFile(dir.filePath("photo-压缩-1.jpg")), "under way");
    EXPECT_EQ(NewFiles::removeStaleParts(dir.path(), prefix), 0);
}

namespace {

bool hasLatinLetter(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter() && c.unicode() < 0x80; });
}

} // namespace

// A disk that fills keeps its reason: the writer learns ENOSPC (not a plain I/O error), the user
// reads "磁盘空间不足" with the folder, and nothing is left behind, hidden or not.
TEST(NewFile, AFullDiskIsReportedAsSuchAndLeavesNothing)
{
    QTemporaryDir dir;
    const QString wanted = dir.filePath("beach-01-标注-20261208-094107.png");
    {
        const TestSupport::PlantedWriteFailure full(ENOSPC);
        int error = 0;
        EXPECT_FALSE(NewFiles::write(wanted, "picture", &error));
        EXPECT_EQ(error, ENOSPC);
        const NewFiles::Written written = NewFiles::writeFile(wanted, "picture");
        EXPECT_FALSE(written.path);
        EXPECT_EQ(written.failure, "无法写入文件：beach-01-标注-20261208-094107.png（" + dir.path() + "：磁盘空间不足）");

        // A file streamed through its device (a PDF) cannot be committed either, and says why.
        NewFile streamed(dir.filePath("scan.pdf"));
        ASSERT_TRUE(streamed.open());
        EXPECT_EQ(streamed.device().write("%PDF-1.4"), -1);
        EXPECT_TRUE(streamed.writeFailed());
        EXPECT_FALSE(streamed.commit());
        EXPECT_EQ(streamed.errorNumber(), ENOSPC);
    }
    EXPECT_EQ(newFileEntries(dir.path()), QStringList());
    EXPECT_EQ(NewFiles::write(wanted, "picture"), wanted);
}

// Every reason is the program's own Chinese, never the system's English text, and names the folder.
TEST(NewFile, FailureTextsNameTheReasonAndTheFolderInChinese)
{
    const QString path = "/home/小明/Desktop/a.png";
    EXPECT_EQ(NewFiles::failureText(path, EROFS), "无法写入文件：a.png（/home/小明/Desktop：文件夹只读，无法写入）");
    EXPECT_EQ(NewFiles::failureText(path, EACCES), "无法写入文件：a.png（/home/小明/Desktop：文件夹不可写（权限不足））");
    EXPECT_EQ(NewFiles::failureReason(EDQUOT), "磁盘空间不足");
    EXPECT_EQ(NewFiles::failureReason(ENAMETOOLONG), "文件名过长");
    EXPECT_EQ(NewFiles::failureReason(ENOENT), "文件夹不存在");
    for (int error = 1; error < 134; ++error)
        EXPECT_FALSE(hasLatinLetter(NewFiles::failureReason(error))) << NewFiles::failureReason(error).toStdString();

    // A read-only folder met at the write says so too.
    QTemporaryDir dir;
    const TestSupport::PlantedWriteFailure readOnly(EROFS);
    const NewFiles::Written written = NewFiles::writeFile(dir.filePath("a.png"), "x");
    EXPECT_TRUE(written.failure.endsWith("：文件夹只读，无法写入）")) << written.failure.toStdString();
}

// One rule fits every new name to 255 bytes: the extension and any numbering stay whole, and the
// cut never splits a character (a surrogate pair, a letter with its accent).
TEST(NewFile, FittedNamesKeepTheirExtensionAndNumbering)
{
    const QString accented = QString("e") + QChar(0x0301); // é as a letter and a combining accent
    const QString stem = QString(80, u'长') + accented + "😀😀"; // 240 + 3 + 8 bytes
    const QString fitted = NewFiles::fittedName(stem, "-压缩-12.jpg");
    EXPECT_LE(fitted.toUtf8().size(), 255);
    EXPECT_TRUE(fitted.endsWith("-压缩-12.jpg"));
    EXPECT_TRUE(fitted.startsWith(QString(80, u'长'))) << fitted.toStdString();
    EXPECT_FALSE(fitted.contains(QChar(0xFFFD)));
    const QString kept = fitted.chopped(QString("-压缩-12.jpg").size());
    EXPECT_TRUE(kept == QString(80, u'长') || kept == QString(80, u'长') + accented) << kept.toStdString();

    // A whole name over the limit keeps its extension, also as the first of a numbered series.
    const QString tooLong = QString(90, u'长') + ".jpeg"; // 275 bytes
    EXPECT_EQ(NewFiles::fittedName(tooLong), QString(83, u'长') + ".jpeg");
    EXPECT_EQ(NewFiles::numberedName(tooLong, 1), QString(83, u'长') + ".jpeg");
    EXPECT_EQ(NewFiles::numberedName(tooLong, 2), QString(82, u'长') + "-2.jpeg");
    EXPECT_EQ(NewFiles::fittedName("short.png"), "short.png");
    // A tail that alone fills the limit is never cut: the write says the name is too long.
    const QString longTail = "-" + QString(90, u'长') + ".png";
    EXPECT_EQ(NewFiles::fittedName("stem", longTail), longTail);

    QTemporaryDir dir;
    const std::optional<QString> written = NewFiles::write(dir.filePath(tooLong), "x");
    ASSERT_TRUE(written);
    EXPECT_EQ(QFileInfo(*written).fileName(), QString(83, u'长') + ".jpeg");
}
