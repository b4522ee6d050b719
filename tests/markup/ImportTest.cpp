#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"
#include "model/NaturalOrder.h"
#include "platform/ImageDecoding.h"
#include "support/HugeImage.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QSettings>
#include <QTemporaryDir>

namespace {

QByteArray pngBytes(int width, int height, QColor color = Qt::red)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    TestSupport::solidImage(width, height, color).save(&buffer, "PNG");
    return bytes;
}

// A JPEG stored w × h whose EXIF orientation 6 shows it turned a quarter (upright h × w).
QByteArray sidewaysJpeg(int width, int height)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    TestSupport::solidImage(width, height, Qt::blue).save(&buffer, "JPEG", 90);
    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8);
    tiff.append("\0\x01", 2);
    tiff.append("\x01\x12\0\x03\0\0\0\x01", 8);
    tiff.append("\0\x06\0\0", 4);
    tiff.append("\0\0\0\0", 4);
    QByteArray app1("\xFF\xE1", 2);
    const int length = 2 + 6 + tiff.size();
    app1.append(char(length >> 8)).append(char(length & 0xFF));
    app1.append("Exif\0\0", 6).append(tiff);
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

ImageMarkupItem existingItem(const QString &name)
{
    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = name;
    item.image = ImageHandle(TestSupport::solidImage(20, 10));
    item.pixelSize = QSizeF(20, 10);
    return item;
}

QStringList fileNames(const MarkupViewModel &model)
{
    QStringList names;
    for (const ImageMarkupItem &item : model.items())
        names << item.fileName;
    return names;
}

class Import : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat};
    MarkupViewModel model{settings};

    // root/a/10.png, root/a/1.png, root/b/2.png, root/Img1.png, root/img2.png, root/c/img2.png,
    // hidden and non-image files, a file that does not decode and a huge one.
    QString makeTree()
    {
        const QString root = dir.filePath(QStringLiteral("photos"));
        for (const char *name : {"a/10.png", "a/1.png", "b/2.png", "Img1.png", "img2.png", "c/img2.png",
                                 ".hidden.png", ".secret/inside.png", "c/deep/er/3.png"})
            TestSupport::writeFile(root + u'/' + QLatin1String(name), pngBytes(40, 30));
        TestSupport::writeFile(root + QStringLiteral("/notes.txt"), "not a picture");
        TestSupport::writeFile(root + QStringLiteral("/broken.png"), "not a picture either");
        // Its header reads fine; only the decode cap turns it away.
        const QString huge = TestSupport::writeFile(root + QStringLiteral("/huge.png"), pngClaimingSize(15000, 15000));
        EXPECT_EQ(QImageReader(huge).size(), QSize(15000, 15000));
        return root;
    }
};

} // namespace

TEST(NaturalOrder, ComparesLikeAFileManager)
{
    EXPECT_TRUE(NaturalOrder::less(QStringLiteral("img2.png"), QStringLiteral("img10.png")));
    EXPECT_TRUE(NaturalOrder::less(QStringLiteral("Img1.png"), QStringLiteral("img2.png")));
    EXPECT_TRUE(NaturalOrder::less(QStringLiteral("a.png"), QStringLiteral("B.png")));
    EXPECT_TRUE(NaturalOrder::less(QStringLiteral("x9"), QStringLiteral("x9a")));
    EXPECT_EQ(NaturalOrder::compare(QStringLiteral("IMG01"), QStringLiteral("img1")), 0);
    // Digit runs longer than any integer type.
    EXPECT_TRUE(NaturalOrder::less(QStringLiteral("f99999999999999999999999"), QStringLiteral("f100000000000000000000000")));
    EXPECT_TRUE(NaturalOrder::less(QStringLiteral("照片2"), QStringLiteral("照片10")));
}

TEST_F(Import, AFolderTreeInNaturalOrderWithoutRepeatsOrHiddenFiles)
{
    const QString root = makeTree();
    // The same files again through a "./" and a ".." step, after the folder itself.
    model.importImages({root, root + QStringLiteral("/./a/1.png"), root + QStringLiteral("/b/../b/2.png")}, true);

    // By name only, folders interleaved; equal names keep their walk order. The text file and
    // everything hidden are passed over; the broken file and the huge one are named.
    const QStringList names = fileNames(model);
    EXPECT_EQ(names.size(), 7);
    EXPECT_EQ(names.mid(0, 3), (QStringList{"1.png", "2.png", "3.png"}));
    EXPECT_EQ(names.mid(3, 1), QStringList{"10.png"});
    EXPECT_EQ(names.mid(4, 1), QStringList{"Img1.png"});
    EXPECT_EQ(names.mid(5), (QStringList{"img2.png", "img2.png"}));
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已导入 7 张图片，1 张图片过大，无法处理：huge.png，1 个文件无法读取：broken.png"));
    EXPECT_FALSE(model.errorMessage());

    const ImageMarkupItem &first = model.items().front();
    EXPECT_EQ(model.selectedItemID(), first.id);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{first.id});
    EXPECT_EQ(first.sourceURL, QDir::cleanPath(root + QStringLiteral("/a/1.png")));
    EXPECT_EQ(first.pixelSize, QSizeF(40, 30));
    EXPECT_EQ(first.thumbnail.size(), QSize(40, 30));
    EXPECT_TRUE(first.image.isLazy());
    EXPECT_EQ(first.image.image(), *ImageDecoding::loadOrientedImage(root + QStringLiteral("/a/1.png")));

    // A hidden file named directly is taken; so is a sideways photo, upright.
    const QString sideways = TestSupport::writeFile(dir.filePath(QStringLiteral("side.jpg")), sidewaysJpeg(400, 300));
    model.importImages({root + QStringLiteral("/.hidden.png"), sideways}, true);
    EXPECT_EQ(fileNames(model), (QStringList{".hidden.png", "side.jpg"}));
    EXPECT_EQ(model.items()[1].pixelSize, QSizeF(300, 400));
    EXPECT_EQ(model.items()[1].thumbnail.size(), QSize(72, 96));
    EXPECT_EQ(model.items()[1].image.image().size(), QSize(300, 400));
}

TEST_F(Import, AppendingKeepsTheListAndReplacingResetsTheProject)
{
    const QString root = dir.filePath(QStringLiteral("three"));
    for (const char *name : {"c.png", "a.png", "b.png"})
        TestSupport::writeFile(root + u'/' + QLatin1String(name), pngBytes(8, 8));
    std::vector<ImageMarkupItem> five;
    for (int i = 0; i < 5; ++i)
        five.push_back(existingItem(QStringLiteral("old%1.png").arg(i)));
    model.setItems(five);
    model.setSelectedItemID(five[1].id);
    model.recordUndoSnapshot();
    model.setProjectURL(dir.filePath(QStringLiteral("p.kivo")));
    model.setZoom(3);

    model.importImages({root}, false);
    ASSERT_EQ(model.items().size(), 8u);
    EXPECT_EQ(fileNames(model).mid(5), (QStringList{"a.png", "b.png", "c.png"}));
    EXPECT_EQ(model.selectedItemID(), model.items()[5].id);
    EXPECT_EQ(model.selectedImageItemIDs(), QSet<QUuid>{model.items()[5].id});
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已导入 3 张图片"));
    EXPECT_EQ(model.zoom(), 1.0);
    EXPECT_TRUE(model.undoSnapshotsByItemID().contains(five[1].id));
    EXPECT_TRUE(model.projectURL());

    model.importImages({root}, true);
    EXPECT_EQ(fileNames(model), (QStringList{"a.png", "b.png", "c.png"}));
    EXPECT_EQ(model.selectedItemID(), model.items()[0].id);
    EXPECT_FALSE(model.projectURL());
    EXPECT_TRUE(model.undoSnapshotsByItemID().isEmpty());

    // A picture without a file is appended and never resets anything.
    model.setProjectURL(dir.filePath(QStringLiteral("p.kivo")));
    model.importImage(TestSupport::solidImage(30, 20), QStringLiteral("拖入图片"));
    ASSERT_EQ(model.items().size(), 4u);
    EXPECT_EQ(model.items().back().fileName, QStringLiteral("拖入图片"));
    EXPECT_FALSE(model.items().back().sourceURL);
    EXPECT_EQ(model.items().back().pixelSize, QSizeF(30, 20));
    EXPECT_EQ(model.selectedItemID(), model.items().back().id);
    EXPECT_EQ(model.statusMessage(), QStringLiteral("已载入：拖入图片"));
    EXPECT_TRUE(model.projectURL());
}

TEST_F(Import, NothingReadableChangesOnlyTheErrorMessage)
{
    const std::vector<ImageMarkupItem> items{existingItem(QStringLiteral("keep.png"))};
    model.setItems(items);
    model.setSelectedItemID(items[0].id);
    model.setStatusMessage(QStringLiteral("当前图片：keep.png"));
    model.setProjectURL(dir.filePath(QStringLiteral("p.kivo")));
    const QString empty = dir.filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    TestSupport::writeFile(dir.filePath(QStringLiteral("only/readme.txt")), "text");
    TestSupport::writeFile(dir.filePath(QStringLiteral("only/huge.png")), pngClaimingSize(15000, 15000));

    for (const QStringList &paths : {QStringList{}, QStringList{empty, dir.filePath(QStringLiteral("missing"))},
                                     QStringList{dir.filePath(QStringLiteral("only"))}}) {
        model.setErrorMessage(std::nullopt);
        model.importImages(paths, true);
        // A picture refused for its size is named as too large, not as unreadable.
        EXPECT_EQ(model.errorMessage(), paths.size() == 1 ? QStringLiteral("没有找到可用图片，1 张图片过大，无法处理：huge.png")
                                                          : QStringLiteral("没有找到可用图片"));
        EXPECT_EQ(model.items(), items);
        EXPECT_EQ(model.selectedItemID(), items[0].id);
        EXPECT_EQ(model.statusMessage(), QStringLiteral("当前图片：keep.png"));
        EXPECT_TRUE(model.projectURL());
    }

    model.setErrorMessage(std::nullopt);
    model.importImage(QImage(), QStringLiteral("拖入图片"));
    EXPECT_EQ(model.errorMessage(), QStringLiteral("图片数据无法解析"));
    EXPECT_EQ(model.items(), items);
}
