#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <optional>

#include <sys/types.h>

// A file whose failures keep the system's error number (a full disk, a quota, a read-only folder),
// which QFile would only turn into text: the hidden file of a NewFile, and the temporary files the
// encoders write. Its writes go straight to the system (NewFiles::replaceSystemWrite).
class ReasonedFile final : public QFile {
public:
    using QFile::QFile;
    bool open(OpenMode mode) override;
    using QFile::open;
    // The error number of the first failed write; 0 while every write succeeded.
    int writeErrorNumber() const { return m_writeError; }
    // Why opening or writing failed; 0 when neither did.
    int errorNumber() const { return m_writeError != 0 ? m_writeError : m_openError; }

protected:
    qint64 writeData(const char *data, qint64 size) override;

private:
    int m_openError = 0;
    int m_writeError = 0;
};

// A file written under a hidden name in its folder and then given a name that nothing holds: it
// appears whole or not at all, reaches the disk before it takes its name, and never replaces
// what stands there. When the wanted name is taken, the next free one is used ("name-2.png").
//
// While it is written, the hidden file ("<prefix><UUID>.part") is locked, so that
// removeStaleParts() can tell it from the part files of a run that was killed.
class NewFile {
public:
    // The file name for the n-th try, n counting from 1.
    using Naming = std::function<QString(int number)>;

    // Names from numberedName() of the wanted path's file name, in the wanted path's folder.
    explicit NewFile(const QString &wantedPath, const QString &hiddenPrefix = defaultHiddenPrefix());
    NewFile(QString folder, Naming naming, QString hiddenPrefix);
    ~NewFile(); // a file neither committed nor given away is removed
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    // Creates the hidden file; false (errorNumber() says why) when it cannot be made.
    bool open();
    // The hidden file, open for writing.
    QFile &device() { return m_file; }
    // Writes all the bytes; false (errorNumber() says why, and commit() fails) when they cannot be.
    bool write(const char *data, qint64 size);
    // Whether a write to device() or write() failed; commit() then fails with the reason.
    bool writeFailed() const { return m_file.writeErrorNumber() != 0; }
    // Writes the file to disk, names it and writes the folder's entry to disk. The path it took;
    // nothing when a write, the sync or the naming failed (errorNumber()), and then no file is left.
    std::optional<QString> commit();
    // Removes the hidden file.
    void cancel();
    // The system's error number of the last failure (EIO when it gave none).
    int errorNumber() const { return m_error; }

    static QString defaultHiddenPrefix() { return QStringLiteral(".kivo-export-"); }

private:
    bool fail(int errorNumber);

    QString m_folder;
    Naming m_naming;
    QString m_hiddenPrefix;
    ReasonedFile m_file; // opened on the hidden file's descriptor: it knows no name
    QString m_hiddenPath;
    bool m_open = false;
    int m_error = 0;
};

namespace NewFiles {

// The longest file name, in UTF-8 bytes, that Linux file systems accept.
constexpr qsizetype maxNameBytes = 255;

// stem + tail, the stem cut at a character boundary (never inside a character or a combined
// sequence) so that the whole fits in maxNameBytes. The tail (numbering, a label, the extension)
// stays whole; a tail that alone fills the limit comes back alone, and its write then reports
// "文件名过长". The result always ends with the tail.
QString fittedName(const QString &stem, const QString &tail);
// The file name fitted to maxNameBytes, keeping its extension (from its last dot).
QString fittedName(const QString &fileName);

// "name.ext" for 1, else "name-2.ext", "name-3.ext", …; the name before the number is cut at a
// character boundary so that the whole stays within 255 UTF-8 bytes. A name without an
// extension takes the number at its end.
QString numberedName(const QString &fileName, int number);

// The bytes as a new file at the wanted path or the next free name: the path written, or
// nothing with the system's error number in `errorNumber`.
std::optional<QString> write(const QString &wantedPath, const QByteArray &data, int *errorNumber = nullptr);

// What writing a new file gave: the path it took, or nothing and the failure text (failureText()).
struct Written {
    std::optional<QString> path;
    QString failure;
};
// write(), with the failure said for the user.
Written writeFile(const QString &wantedPath, const QByteArray &data);

// The Desktop: the XDG user directory, else ~/Desktop, whether it exists or not.
QString desktopLocation();
// The Desktop, created when missing (many Linux installations have none), with the part files of
// a killed save removed. Nothing when it cannot be made, and the reason in `errorNumber`.
std::optional<QString> desktopFolder(int *errorNumber = nullptr);

// Why a write failed, in the program's words: "磁盘空间不足", "文件夹只读", "文件名过长", …
QString failureReason(int errorNumber);
// "无法写入文件：name（folder：reason）": the file, the folder it was to go into and why not.
QString failureText(const QString &wantedPath, int errorNumber);

// The system call that puts the bytes of new files on disk, ::write unless replaced. Tests put
// one in its place that fails as a full disk does; returns the call it replaced.
using SystemWrite = ssize_t (*)(int fd, const void *data, size_t size);
SystemWrite replaceSystemWrite(SystemWrite write);

// Gives the file at `from` the name `to` unless something stands there: 0 when done, EEXIST when
// the name is taken, else the system's error number.
int renameWithoutReplacing(const QString &from, const QString &to);

// Anything at the path blocks a name: a file, a folder, or a symbolic link even when broken.
bool isTaken(const QString &path);

// Removes the part files that a killed run left in the folder: regular files named exactly
// `hiddenPrefix` + an upper-case UUID + ".part" that no writer holds. Nothing else is touched.
// Returns how many were removed.
int removeStaleParts(const QString &folder, const QString &hiddenPrefix);

} // namespace NewFiles
