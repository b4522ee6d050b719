#include "support/PlantedWriteFailure.h"
#include "support/TestSupport.h"
#include "video/VideoFrameSave.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A frame that cannot be written says why and where, in Chinese: a full disk, a read-only Desktop,
// or no Desktop at all. Nothing is left in the folder.
TEST(VideoFrameSave, AFailedWriteSaysWhyAndWhere)
{
    QTemporaryDir dir;
    VideoFrameSave::Job job;
    job.image = TestSupport::solidImage(64, 36, Qt::darkGreen);
    job.fileName = QStringLiteral("clip-标注-00-00-01-05-20261208-094107.png");
    job.folder = dir.path();
    {
        const TestSupport::PlantedWriteFailure full(ENOSPC);
        const VideoFrameSave::Outcome outcome = VideoFrameSave::write(job);
        EXPECT_FALSE(outcome.path);
        EXPECT_EQ(outcome.error, "无法写入文件：" + job.fileName + "（" + dir.path() + "：磁盘空间不足）");
    }
    {
        const TestSupport::PlantedWriteFailure readOnly(EROFS);
        EXPECT_EQ(VideoFrameSave::write(job).error,
                  "无法写入文件：" + job.fileName + "（" + dir.path() + "：文件夹只读，无法写入）");
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // No Desktop could be made: the reason it gave, and where it was looked for.
    job.folder.reset();
    job.folderErrorNumber = EACCES;
    const VideoFrameSave::Outcome missing = VideoFrameSave::write(job);
    EXPECT_FALSE(missing.path);
    ASSERT_TRUE(missing.error);
    EXPECT_TRUE(missing.error->endsWith("：文件夹不可写（权限不足））")) << missing.error->toStdString();

    job.folder = dir.path();
    const VideoFrameSave::Outcome written = VideoFrameSave::write(job);
    EXPECT_EQ(written.path, QDir(dir.path()).filePath(job.fileName));
}
