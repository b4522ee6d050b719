#include <gtest/gtest.h>

#include "markup/BackgroundDesktopSave.h"
#include "markup/MarkupTestSupport.h"
#include "model/MarkupViewModel.h"
#include "platform/DecodeBudget.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <optional>

namespace {

ImageMarkupItem savedItem(const QString &name, QColor color)
{
    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = name;
    item.image = ImageHandle(TestSupport::solidImage(64, 48, color));
    item.pixelSize = QSizeF(64, 48);
    item.annotations = {makeAnnotation(AnnotationKind::Rectangle, {0.1, 0.1}, {0.6, 0.6}, "框", 1)};
    return item;
}

bool hasPixelOtherThan(const QImage &image, QColor color)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != color)
                return true;
    return false;
}

// A save held at its start: the export waits for its share of the decode budget, which this holds
// whole until release().
class BudgetHold {
public:
    BudgetHold() : m_held(std::in_place, DecodeBudget::limit()) {}
    void release() { m_held.reset(); }

private:
    std::optional<DecodeBudget::Reservation> m_held;
};

class BackgroundSave : public ::testing::Test {
protected:
    QTemporaryDir home;
    TestSupport::TemporaryHome temporaryHome{home.path()};
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<MarkupViewModel> model;
    QStringList statuses;

    void SetUp() override
    {
        settings = std::make_unique<QSettings>(home.filePath("p.ini"), QSettings::IniFormat);
        model = std::make_unique<MarkupViewModel>(*settings);
        model->setItems({savedItem("a.png", Qt::red), savedItem("b.png", Qt::green), savedItem("c.png", Qt::blue)});
        model->selectAllImageItems();
        QObject::connect(model.get(), &MarkupViewModel::statusMessageChanged, model.get(),
                         [this] { statuses << model->statusMessage(); });
    }

    QStringList desktopFiles() const
    {
        return QDir(home.filePath("Desktop")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // Waits (generously) for the save's outcome; the written files.
    static QStringList waitForOutcome(QSignalSpy &spy)
    {
        if (spy.isEmpty() && !spy.wait(30000))
            return {QStringLiteral("(no outcome)")};
        return spy.takeFirst().at(0).toStringList();
    }
};

} // namespace

TEST_F(BackgroundSave, CountsEveryImageThenEndsWithTheOutcome)
{
    BackgroundDesktopSave save(*model);
    QSignalSpy finished(&save, &BackgroundDesktopSave::finished);
    ASSERT_TRUE(save.start(ImageExportFormat::Png, 0.9));
    EXPECT_TRUE(model->isSavingImagesToDesktop());
    EXPECT_TRUE(save.isRunning());

    const QStringList written = waitForOutcome(finished);
    ASSERT_EQ(written.size(), 3) << written.join(", ").toStdString();
    EXPECT_FALSE(model->isSavingImagesToDesktop());
    EXPECT_FALSE(save.isRunning());
    EXPECT_EQ(statuses, (QStringList{"正在保存 0/3 张图片到桌面…", "正在保存 1/3 张图片到桌面…",
                                     "正在保存 2/3 张图片到桌面…", "正在保存 3/3 张图片到桌面…",
                                     "已保存 3 张图片到桌面"}));
    // The same outcome as the waiting save: files, savedURL, numbering.
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(model->items()[i].savedURL, written[qsizetype(i)]);
        EXPECT_EQ(QImage(written[qsizetype(i)]).size(), QSize(64, 48));
    }
    EXPECT_TRUE(QFileInfo(written[1]).fileName().startsWith("b-02-标注-")) << written[1].toStdString();
    EXPECT_FALSE(model->errorMessage());
}

TEST_F(BackgroundSave, TheOutcomeComesLastWhateverHappensMeanwhile)
{
    BudgetHold hold;
    BackgroundDesktopSave save(*model);
    QSignalSpy finished(&save, &BackgroundDesktopSave::finished);
    ASSERT_TRUE(save.start(ImageExportFormat::Png, 0.9));
    EXPECT_EQ(model->statusMessage(), "正在保存 0/3 张图片到桌面…");

    // While it runs: a second start does nothing, a key sets its own status, an image leaves
    // the list and another is edited.
    EXPECT_FALSE(save.start(ImageExportFormat::Png, 0.9));
    model->setStatusMessage(QStringLiteral("已切换工具：框选"));
    std::vector<ImageMarkupItem> items = model->items();
    const QUuid removed = items[0].id;
    items.erase(items.begin());
    items[0].annotations.clear();
    model->setItems(items);
    hold.release();

    const QStringList written = waitForOutcome(finished);
    // The images as they were at the press are written, the removed one too.
    ASSERT_EQ(written.size(), 3) << written.join(", ").toStdString();
    EXPECT_EQ(desktopFiles().size(), 3);
    EXPECT_TRUE(hasPixelOtherThan(QImage(written[1]), QColor(Qt::green))) << "saved with the annotation it had";
    EXPECT_EQ(model->statusMessage(), "已保存 3 张图片到桌面");
    EXPECT_EQ(statuses.last(), "已保存 3 张图片到桌面");
    EXPECT_EQ(statuses.count("正在保存 3/3 张图片到桌面…"), 1);
    EXPECT_LT(statuses.indexOf("已切换工具：框选"), statuses.indexOf("正在保存 3/3 张图片到桌面…"));
    // Only the images still listed record their file.
    ASSERT_EQ(model->items().size(), 2u);
    EXPECT_EQ(model->items()[0].savedURL, written[1]);
    EXPECT_EQ(model->items()[1].savedURL, written[2]);
    for (const ImageMarkupItem &item : model->items())
        EXPECT_NE(item.id, removed);
    EXPECT_FALSE(model->isSavingImagesToDesktop());

    // The next save starts again.
    ASSERT_TRUE(save.start(ImageExportFormat::Jpeg, 0.8));
    const QStringList jpeg = waitForOutcome(finished);
    ASSERT_EQ(jpeg.size(), 2);
    EXPECT_TRUE(jpeg[0].endsWith(".jpg"));
}

TEST_F(BackgroundSave, NothingSelectedOrNoDesktopIsReportedLikeTheWaitingSave)
{
    BackgroundDesktopSave save(*model);
    QSignalSpy finished(&save, &BackgroundDesktopSave::finished);
    EXPECT_FALSE(save.start(ImageExportFormat::Pdf, 0.9)) << "a PDF is one file; it is not run here";

    model->setItems({});
    EXPECT_FALSE(save.start(ImageExportFormat::Png, 0.9));
    EXPECT_EQ(model->errorMessage(), "请先选择要保存的图片");
    EXPECT_FALSE(model->isSavingImagesToDesktop());
    EXPECT_TRUE(finished.isEmpty());

    // A file where the Desktop should be: every write fails, the failure is the outcome.
    model->setErrorMessage(std::nullopt);
    model->setItems({savedItem("a.png", Qt::red)});
    model->selectAllImageItems();
    TestSupport::writeFile(home.filePath("Desktop"), "not a folder");
    ASSERT_TRUE(save.start(ImageExportFormat::Png, 0.9));
    EXPECT_TRUE(waitForOutcome(finished).isEmpty());
    EXPECT_EQ(model->statusMessage(), "保存失败");
    ASSERT_TRUE(model->errorMessage());
    EXPECT_TRUE(model->errorMessage()->startsWith("无法写入文件：a-01-标注-")) << model->errorMessage()->toStdString();
    EXPECT_FALSE(model->isSavingImagesToDesktop());
}

TEST_F(BackgroundSave, GoingAwayMidSaveStillCompletesTheFiles)
{
    BudgetHold hold;
    auto save = std::make_unique<BackgroundDesktopSave>(*model);
    ASSERT_TRUE(save->start(ImageExportFormat::Png, 0.9));
    hold.release();
    save.reset(); // waits for the worker; nothing is applied any more
    const QStringList files = desktopFiles();
    ASSERT_EQ(files.size(), 3) << files.join(", ").toStdString();
    for (const QString &name : files)
        EXPECT_EQ(QImage(home.filePath("Desktop/" + name)).size(), QSize(64, 48)) << name.toStdString();
}
