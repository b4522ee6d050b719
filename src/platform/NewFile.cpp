#include "platform/NewFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype newFileNameBytes = 255;

QString newFileHiddenName(const QString &prefix)
{
    return prefix + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".part");
}

// The text cut at a character boundary to at most `bytes` UTF-8 bytes.
QString newFileCutToBytes(const QString &text, qsizetype bytes)
{
    QString cut = text;
    while (!cut.isEmpty() && cut.toUtf8().size() > bytes) {
        cut.chop(1);
        if (!cut.isEmpty() && cut.back().isHighSurrogate())
            cut.chop(1);
    }
    return cut;
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

std::optional<QString> NewFile::commit()
{
    if (!m_open) {
        fail(m_error);
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

QString numberedName(const QString &fileName, int number)
{
    if (number <= 1)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const bool hasExtension = dot > 0;
    const QString stem = hasExtension ? fileName.left(dot) : fileName;
    const QString tail = QStringLiteral("-%1").arg(number) + (hasExtension ? fileName.mid(dot) : QString());
    return newFileCutToBytes(stem, newFileNameBytes - tail.toUtf8().size()) + tail;
}

std::optional<QString> write(const QString &wantedPath, const QByteArray &data, int *errorNumber)
{
    NewFile file(wantedPath);
    std::optional<QString> written;
    if (file.open()) {
        if (file.device().write(data) == data.size())
            written = file.commit();
        else
            file.cancel();
    }
    if (errorNumber)
        *errorNumber = written ? 0 : (file.errorNumber() != 0 ? file.errorNumber() : EIO);
    return written;
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
