#include "platform/NewFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

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
