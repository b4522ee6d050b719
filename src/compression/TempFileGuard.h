#pragma once

#include <QFile>
#include <QString>

// Removes a temporary file when it goes out of scope, on success and on every failure path,
// unless released (a crop file that becomes a source's file is kept).
class TempFileGuard {
public:
    explicit TempFileGuard(QString path) : m_path(std::move(path)) {}
    ~TempFileGuard()
    {
        if (!m_released)
            QFile::remove(m_path);
    }
    TempFileGuard(const TempFileGuard &) = delete;
    TempFileGuard &operator=(const TempFileGuard &) = delete;

    void release() { m_released = true; }
    const QString &path() const { return m_path; }

private:
    QString m_path;
    bool m_released = false;
};
