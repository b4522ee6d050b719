#include "platform/NewFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextBoundaryFinder>
#include <QUuid>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<NewFiles::SystemWrite> newFileSystemWrite { &::write };

QString newFileHiddenName(const QString &prefix)
{
    return prefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".part");
}

// The longest start of the text, ending at a character boundary (a letter with its combining
// marks, an emoji sequence), whose UTF-8 form has at most `bytes` bytes.
QString newFileCutToBytes(const QString &text, qsizetype bytes)
{
    if (text.toUtf8().size() <= bytes)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype best = 0;
    qsizetype used = 0;
    qsizetype previous = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        used += QStringView(text).mid(previous, next - previous).toUtf8().size();
        if (used > bytes)
            break;
        best = next;
        previous = next;
    }
    return text.left(best);
}

// The file's entry in its folder reaches the disk. Only a wish: some file systems cannot sync a
// folder, and the file itself is already whole.
void newFileSyncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

// ---- ReasonedFile -----------------------------------------------------------------------------

bool ReasonedFile::open(OpenMode mode)
{
    errno = 0;
    if (QFile::open(mode)) {
        m_openError = 0;
        return true;
    }
    m_openError = errno != 0 ? errno : EIO;
    return false;
}

qint64 ReasonedFile::writeData(const char *data, qint64 size)
{
    if (m_writeError != 0)
        return -1;
    const NewFiles::SystemWrite systemWrite = newFileSystemWrite.load();
    qint64 written = 0;
    while (written < size) {
        const ssize_t put = systemWrite(handle(), data + written, size_t(size - written));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            m_writeError = put < 0 && errno != 0 ? errno : EIO;
            return -1;
        }
        written += put;
    }
    return written;
}

// ---- NewFile ----------------------------------------------------------------------------------

NewFile::NewFile(const QString &wantedPath, const QString &hiddenPrefix)
    : NewFile(QFileInfo(wantedPath).absolutePath(),
              [name = QFileInfo(wantedPath).fileName()](int number) { return NewFiles::numberedName(name, number); },
              hiddenPrefix)
{
}

NewFile::NewFile(QString folder, Naming naming, QString hiddenPrefix)
    : m_folder(std::move(folder))
    , m_naming(std::move(naming))
    , m_hiddenPrefix(std::move(hiddenPrefix))
{
}

NewFile::~NewFile() { cancel(); }

bool NewFile::fail(int errorNumber)
{
    m_error = errorNumber != 0 ? errorNumber : EIO;
    return false;
}

bool NewFile::open()
{
    cancel();
    // A cleaner could take a hidden file between its creation and its lock; it is then gone from
    // the folder, and another name is tried.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QString hidden = QDir(m_folder).filePath(newFileHiddenName(m_hiddenPrefix));
        const QByteArray name = QFile::encodeName(hidden);
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            return fail(errno);
        // A file system without locks still gets its file; a lock held by someone else means a
        // cleaner took the file first and is removing it.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(fd);
            continue;
        }
        struct stat held {};
        struct stat there {};
        if (::fstat(fd, &held) != 0 || ::stat(name.constData(), &there) != 0 || held.st_ino != there.st_ino
            || held.st_dev != there.st_dev) {
            ::close(fd);
            continue;
        }
        m_hiddenPath = hidden;
        if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            ::unlink(name.constData());
            return fail(EIO);
        }
        m_open = true;
        m_error = 0;
        return true;
    }
    return fail(EAGAIN);
}

bool NewFile::write(const char *data, qint64 size)
{
    if (!m_open)
        return fail(m_error);
    if (m_file.write(data, size) == size)
        return true;
    return fail(m_file.writeErrorNumber());
}

std::optional<QString> NewFile::commit()
{
    if (!m_open) {
        fail(m_error);
        return std::nullopt;
    }
    // A write that failed gave its reason (a full disk); the file is not finished.
    if (m_file.writeErrorNumber() != 0) {
        fail(m_file.writeErrorNumber());
        cancel();
        return std::nullopt;
    }
    // What was written reaches the disk before the file takes its name: after a power cut the
    // name shows the whole file or nothing, never a file cut short.
    if (m_file.error() != QFileDevice::NoError || !m_file.flush()) {
        fail(EIO);
        cancel();
        return std::nullopt;
    }
    if (::fsync(m_file.handle()) != 0) {
        fail(errno);
        cancel();
        return std::nullopt;
    }
    const QDir folder(m_folder);
    for (int number = 1;; ++number) {
        const QString candidate = folder.filePath(m_naming(number));
        if (NewFiles::isTaken(candidate))
            continue;
        // Should the name be taken meanwhile, the next one is tried.
        const int failure = NewFiles::renameWithoutReplacing(m_hiddenPath, candidate);
        if (failure == EEXIST)
            continue;
        if (failure != 0) {
            fail(failure);
            cancel();
            return std::nullopt;
        }
        // Closing lets go of the lock only now that the hidden name is gone.
        m_file.close();
        m_open = false;
        newFileSyncFolder(m_folder);
        return candidate;
    }
}

void NewFile::cancel()
{
    if (!m_open)
        return;
    const QByteArray name = QFile::encodeName(m_hiddenPath);
    // Removed while still locked, so no cleaner meets it half gone.
    ::unlink(name.constData());
    m_file.close();
    m_open = false;
}

// ---- NewFiles ---------------------------------------------------------------------------------

namespace NewFiles {

QString fittedName(const QString &stem, const QString &tail)
{
    const qsizetype tailBytes = tail.toUtf8().size();
    // A tail that alone is too long is not cut: its write then fails with "文件名过长".
    if (tailBytes >= maxNameBytes)
        return tail;
    return newFileCutToBytes(stem, maxNameBytes - tailBytes) + tail;
}

QString fittedName(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 ? fittedName(fileName.left(dot), fileName.mid(dot)) : fittedName(fileName, QString());
}

QString numberedName(const QString &fileName, int number)
{
    if (number <= 1)
        return fittedName(fileName);
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const bool hasExtension = dot > 0;
    const QString stem = hasExtension ? fileName.left(dot) : fileName;
    return fittedName(stem, QStringLiteral("-%1").arg(number) + (hasExtension ? fileName.mid(dot) : QString()));
}

std::optional<QString> write(const QString &wantedPath, const QByteArray &data, int *errorNumber)
{
    NewFile file(wantedPath);
    std::optional<QString> written;
    if (file.open() && file.write(data.constData(), data.size()))
        written = file.commit();
    else
        file.cancel();
    if (errorNumber)
        *errorNumber = written ? 0 : (file.errorNumber() != 0 ? file.errorNumber() : EIO);
    return written;
}

Written writeFile(const QString &wantedPath, const QByteArray &data)
{
    int errorNumber = 0;
    if (std::optional<QString> path = write(wantedPath, data, &errorNumber))
        return {std::move(path), QString()};
    return {std::nullopt, failureText(wantedPath, errorNumber)};
}

QString desktopLocation()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return folder.isEmpty() ? QDir::home().filePath(QStringLiteral("Desktop")) : folder;
}

std::optional<QString> desktopFolder(int *errorNumber)
{
    const QString folder = desktopLocation();
    errno = 0;
    if (!QDir().mkpath(folder)) {
        // Something that is no folder standing in its place reads as a folder that is missing.
        const int error = errno == 0 || errno == EEXIST ? ENOTDIR : errno;
        if (errorNumber)
            *errorNumber = error;
        return std::nullopt;
    }
    if (errorNumber)
        *errorNumber = 0;
    // Every Desktop save passes here first: the part files of a save that was killed go now.
    removeStaleParts(folder, NewFile::defaultHiddenPrefix());
    return folder;
}

QString failureReason(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间不足");
    case EROFS:
        return QStringLiteral("文件夹只读，无法写入");
    case EACCES:
    case EPERM:
        return QStringLiteral("文件夹不可写（权限不足）");
    case ENAMETOOLONG:
        return QStringLiteral("文件名过长");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    case EFBIG:
        return QStringLiteral("文件过大");
    case EISDIR:
        return QStringLiteral("同名文件夹已存在");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("同时打开的文件过多");
    case EIO:
        return QStringLiteral("磁盘读写出错");
    default:
        break;
    }
    // Never the system's own text: it is English on many desktops.
    return QStringLiteral("系统错误 %1").arg(errorNumber);
}

QString failureText(const QString &wantedPath, int errorNumber)
{
    const QFileInfo info(wantedPath);
    return QStringLiteral("无法写入文件：") + info.fileName() + QStringLiteral("（") + QDir::toNativeSeparators(info.absolutePath())
        + QStringLiteral("：") + failureReason(errorNumber) + QStringLiteral("）");
}

SystemWrite replaceSystemWrite(SystemWrite write) { return newFileSystemWrite.exchange(write); }

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
    if (isTaken(to))
        return EEXIST;
    return ::rename(fromName.constData(), toName.constData()) == 0 ? 0 : errno;
}

bool isTaken(const QString &path)
{
    // A name the system cannot look at is not taken here: writing to it then reports why.
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

int removeStaleParts(const QString &folder, const QString &hiddenPrefix)
{
    static const QRegularExpression uuidPart(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.part$"));
    const QDir dir(folder);
    const QStringList names = dir.entryList({hiddenPrefix + QStringLiteral("*.part")},
                                            QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    int removed = 0;
    for (const QString &name : names) {
        if (!name.startsWith(hiddenPrefix) || !uuidPart.match(QStringView(name).mid(hiddenPrefix.size())).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held {};
        struct stat there {};
        // A file that a writer holds is skipped: only the files of runs that ended are stale.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::lstat(path.constData(), &there) == 0 && held.st_ino == there.st_ino && held.st_dev == there.st_dev
            && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

} // namespace NewFiles
