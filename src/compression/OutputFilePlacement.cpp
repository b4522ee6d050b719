#include "compression/OutputFilePlacement.h"

#include "compression/ImageCompressionModel.h"
#include "model/UuidText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <cstdio>
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
    // Closes now; the error number when closing reported a failed write, else 0.
    int close()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

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

QString writeHiddenCopy(const QString &from, const QString &folder)
{
    const PlacementDescriptor source(::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0)
        throw ImageCompressionServiceError::cannotFinalize(from);
    const QString hidden = QDir(folder).filePath(QStringLiteral(".kivo-compression-")
                                                 + UuidText::toString(QUuid::createUuid()) + QStringLiteral(".part"));
    const QByteArray hiddenName = QFile::encodeName(hidden);
    PlacementDescriptor target(::open(hiddenName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (target.get() < 0)
        throw ImageCompressionServiceError::cannotWriteOutput(folder, failureReason(errno));
    int failure = placementCopyBytes(source.get(), target.get());
    if (failure == 0)
        failure = target.close();
    if (failure == 0)
        return hidden;
    target.close();
    ::unlink(hiddenName.constData());
    if (failure < 0)
        throw ImageCompressionServiceError::cannotFinalize(from);
    throw ImageCompressionServiceError::cannotWriteOutput(folder, failureReason(failure));
}

int renameWithoutReplacing(const QString &from, const QString &to)
{
    const QByteArray fromName = QFile::encodeName(from);
    const QByteArray toName = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, fromName.constData(), AT_FDCWD, toName.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that kind of rename: a second link never replaces anything either.
    if (::link(fromName.constData(), toName.constData()) == 0) {
        ::unlink(fromName.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // Nor links (a FAT stick, say): look, then rename.
    const QFileInfo there(to);
    if (there.exists() || there.isSymLink())
        return EEXIST;
    return ::rename(fromName.constData(), toName.constData()) == 0 ? 0 : errno;
}

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
