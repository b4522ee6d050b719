#include "compression/OutputFilePlacement.h"

#include "compression/ImageCompressionModel.h"

#include <QFile>

#include <cerrno>
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

// Copies everything into the new file; 0, -1 when the source cannot be read, or 1 when the new
// file cannot take the bytes (its errorNumber() says why).
int placementCopyBytes(int from, NewFile &to)
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
            return -1;
        }
        if (!to.write(buffer.get(), got))
            return 1;
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
        throw ImageCompressionServiceError::cannotWriteOutput(folder, NewFiles::failureReason(output.errorNumber()));
    const int failure = placementCopyBytes(source.get(), output);
    if (failure != 0) {
        output.cancel();
        if (failure < 0)
            throw ImageCompressionServiceError::cannotFinalize(from);
        throw ImageCompressionServiceError::cannotWriteOutput(folder, NewFiles::failureReason(output.errorNumber()));
    }
    const std::optional<QString> placed = output.commit();
    if (!placed)
        throw ImageCompressionServiceError::cannotWriteOutput(folder, NewFiles::failureReason(output.errorNumber()));
    return *placed;
}

int removeStaleParts(const QString &folder) { return NewFiles::removeStaleParts(folder, hiddenPrefix); }

} // namespace OutputFilePlacement
