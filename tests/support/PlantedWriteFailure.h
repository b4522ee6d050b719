#pragma once

#include "platform/NewFile.h"

#include <cerrno>

namespace TestSupport {

// Makes every write of new files (NewFile) fail with the error number for the scope, as a full
// disk (ENOSPC) or a file system turned read-only (EROFS) would. One at a time.
class PlantedWriteFailure {
public:
    explicit PlantedWriteFailure(int errorNumber)
    {
        plantedError() = errorNumber;
        m_previous = NewFiles::replaceSystemWrite(&failingWrite);
    }
    ~PlantedWriteFailure() { NewFiles::replaceSystemWrite(m_previous); }
    PlantedWriteFailure(const PlantedWriteFailure &) = delete;
    PlantedWriteFailure &operator=(const PlantedWriteFailure &) = delete;

private:
    static int &plantedError()
    {
        static int error = 0;
        return error;
    }
    static ssize_t failingWrite(int, const void *, size_t)
    {
        errno = plantedError();
        return -1;
    }

    NewFiles::SystemWrite m_previous = nullptr;
};

} // namespace TestSupport
