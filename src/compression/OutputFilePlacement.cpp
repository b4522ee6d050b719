#include "compression/OutputFilePlacement.h"

#include "compression/ImageCompressionModel.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <utility>

namespace OutputFilePlacement {

namespace {

// Closes the descriptor when it goes out of scope.
class PlacementDescriptor {
public:
    explicit PlacementDescriptor(int fd) : m_fd(fd) {}
    ~PlacementDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PlacementDescriptor(const PlacementDescriptor &) = delete;
    PlacementDescriptor &operator=(const PlacementDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Copies everything; 0, or the error number of the failed write (a negative one for a read).
int placementCopyBytes(int from, int to)
{
    constexpr size_t chunk = size_t(256) << 10;
    std::unique_ptr<char[]> buffer(new char[chunk]);
    for (;;) {
        const ssize_t got = ::read(from, buffer.get(), chunk);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(to, buffer.get() + written, size_t(got - written));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            written += put;
        }
    }
}

} // namespace

QString placeCopy(const QString &from, const QString &folder, const NewFile::Naming &naming)
{
    const PlacementDescriptor source(::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0)
        throw ImageCompressionServiceError::cannotFinalize(from);
    NewFile output(folder, naming, hiddenPrefix);
    if (!output.open())
        throw ImageCompressionServiceError::cannotWriteOutput(folder, failureReason(output.errorNumber()));
    const int failure = placementCopyBytes(source.get(), output.device().handle());
    if (failure != 0) {
        output.cancel();
        if (failure < 0)
            throw ImageCompressionServiceError::cannotFinalize(from);
        throw ImageCompressionServiceError::cannotWriteOutput(folder, failureReason(failure));
    }
    const std::optional<QString> placed = output.commit();
    if (!placed)
        throw ImageCompressionServiceError::cannotWriteOutput(folder, failureReason(output.errorNumber()));
    return *placed;
}

int removeStaleParts(const QString &folder) { return NewFiles::removeStaleParts(folder, hiddenPrefix); }

QString failureReason(int errorNumber)
{
    switch (errorNumber) {
    case EACCES:
    case EPERM:
        return QStringLiteral("权限不足");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间不足");
    case EROFS:
        return QStringLiteral("磁盘只读");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    case EFBIG:
        return QStringLiteral("文件过大");
    default:
        break;
    }
    char buffer[256] = {};
    // The GNU strerror_r: the text may be a static string rather than the buffer.
    return QString::fromLocal8Bit(::strerror_r(errorNumber, buffer, sizeof buffer));
}

} // namespace OutputFilePlacement
