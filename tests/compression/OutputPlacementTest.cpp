#include "CompressionTestSupport.h"

#include "compression/ImageCompressionService.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace ImageCompressionService;

namespace {

// Lowers the largest file this process may write for the scope: a write past it fails with
// "file too large", as a disk that fills cuts a write short.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_previous;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = nullptr;
};

QStringList everythingIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

// An output appears whole under its name or not at all: a write cut short leaves nothing behind,
// hidden or not, and says where and why; the next write takes the name with every byte.
TEST(OutputPlacement, AWriteCutShortLeavesNoFileAndSaysWhereAndWhy)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    QByteArray bytes(300 * 1024, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    const QString encoded = TestSupport::writeFile(dir.filePath("encoded.jpg"), bytes);

    try {
        const FileSizeLimit limit(64 * 1024);
        copyToFreeOutputName(encoded, "photo.jpg", out.path(), "jpg");
        FAIL() << "the write past the limit went through";
    } catch (const ImageCompressionServiceError &error) {
        EXPECT_EQ(error.description(), "无法写入 " + out.path() + "：文件过大");
    }
    EXPECT_EQ(everythingIn(out.path()), QStringList());

    const QString placed = copyToFreeOutputName(encoded, "photo.jpg", out.path(), "jpg");
    EXPECT_EQ(placed, out.filePath("photo-压缩.jpg"));
    QFile written(placed);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), bytes);
    EXPECT_EQ(everythingIn(out.path()), QStringList { "photo-压缩.jpg" });
}
