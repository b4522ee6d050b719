#include "model/ImageHandle.h"

#include "platform/ImageDecoding.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>

#include <atomic>
#include <list>
#include <mutex>
#include <unordered_map>

namespace {

// A fixed, non-zero seed: the hash only has to agree with itself within one process, and a
// non-zero seed lets Qt pick its fastest hash on CPUs that have AES instructions.
constexpr size_t contentHashSeed = 0x4b69766f72615f31ULL;

size_t contentHash(const QByteArray &bytes)
{
    return qHash(QByteArrayView(bytes), contentHashSeed);
}

qint64 pixelBytes(const QImage &image)
{
    return image.sizeInBytes();
}

// Decoded pictures of lazy handles, most recently used first. Keys are the handles' shared data,
// which removes its own entry when the last handle goes away.
class DecodeCache {
public:
    static DecodeCache &instance()
    {
        // Never destroyed: handles that outlive static destruction must still find it.
        static DecodeCache *cache = new DecodeCache;
        return *cache;
    }

    // The picture when it is held, without counting as a use.
    QImage peek(const void *key)
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_index.find(key);
        return it == m_index.end() ? QImage() : it->second->image;
    }

    QImage find(const void *key)
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_index.find(key);
        if (it == m_index.end())
            return QImage();
        m_entries.splice(m_entries.begin(), m_entries, it->second);
        return it->second->image;
    }

    void insert(const void *key, const QImage &image)
    {
        const std::lock_guard lock(m_mutex);
        eraseLocked(key);
        m_entries.push_front(Entry{key, image, pixelBytes(image)});
        m_index.emplace(key, m_entries.begin());
        m_total += m_entries.front().bytes;
        evictLocked();
    }

    void erase(const void *key)
    {
        const std::lock_guard lock(m_mutex);
        eraseLocked(key);
    }

    qint64 limit()
    {
        const std::lock_guard lock(m_mutex);
        return m_limit;
    }

    void setLimit(qint64 bytes)
    {
        const std::lock_guard lock(m_mutex);
        m_limit = std::max<qint64>(bytes, 0);
        evictLocked();
    }

    qint64 total()
    {
        const std::lock_guard lock(m_mutex);
        return m_total;
    }

private:
    struct Entry {
        const void *key;
        QImage image;
        qint64 bytes;
    };

    void eraseLocked(const void *key)
    {
        const auto it = m_index.find(key);
        if (it == m_index.end())
            return;
        m_total -= it->second->bytes;
        m_entries.erase(it->second);
        m_index.erase(it);
    }

    // The front entry is the picture in use now; it stays whatever its size.
    void evictLocked()
    {
        while (m_total > m_limit && m_entries.size() > 1) {
            m_total -= m_entries.back().bytes;
            m_index.erase(m_entries.back().key);
            m_entries.pop_back();
        }
    }

    std::mutex m_mutex;
    std::list<Entry> m_entries;
    std::unordered_map<const void *, std::list<Entry>::iterator> m_index;
    qint64 m_total = 0;
    qint64 m_limit = ImageHandle::defaultCacheLimit;
};

} // namespace

struct ImageHandle::Data {
    enum class Source { Memory, File, EncodedBytes };

    Source source = Source::Memory;
    QSize size{0, 0};
    QImage image;       // Memory
    QByteArray encoded; // EncodedBytes
    // File: where it is and what it held when the handle was made.
    QString path;
    qint64 fileSize = 0;
    QDateTime modified;
    size_t hash = 0;

    // Lets one thread decode a picture while others asking for the same one wait for its result.
    mutable std::mutex decodeMutex;
    // Set once the file was seen holding other content: its imported pixels are gone for good.
    mutable std::atomic<bool> fileChanged = false;

    Data() = default;
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;
    ~Data()
    {
        if (source != Source::Memory)
            DecodeCache::instance().erase(this);
    }

    // The bytes of the file when it still holds what it held at import; empty otherwise.
    QByteArray unchangedFileContent() const
    {
        QFileInfo info(path);
        if (!info.exists() || info.size() != fileSize
            || info.fileTime(QFileDevice::FileModificationTime) != modified) {
            fileChanged = true;
            return QByteArray();
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray(); // perhaps passing (a locked or unmounted file): try again next time
        QByteArray bytes = file.readAll();
        if (bytes.size() != fileSize || contentHash(bytes) != hash) {
            fileChanged = true;
            return QByteArray();
        }
        return bytes;
    }

    // The encoded picture: the held bytes, or the file's while it still holds what it held.
    QByteArray encodedPicture() const
    {
        if (source == Source::EncodedBytes)
            return encoded;
        if (fileChanged)
            return QByteArray();
        return unchangedFileContent();
    }

    QImage decode() const
    {
        const QByteArray bytes = encodedPicture();
        if (bytes.isEmpty())
            return QImage();
        const std::optional<QImage> decoded = ImageDecoding::loadOrientedImageData(bytes);
        // The size was taken from the same content; a mismatch means the decoder does not agree
        // with itself, and pixels of another size must not stand in for the imported ones.
        if (!decoded || decoded->size() != size)
            return QImage();
        return *decoded;
    }
};

ImageHandle::ImageHandle(QImage image)
{
    if (image.isNull())
        return;
    auto data = std::make_shared<Data>();
    data->size = image.size();
    data->image = std::move(image);
    m_data = std::move(data);
}

ImageHandle ImageHandle::fromFile(const QString &path, QSize size)
{
    ImageHandle handle;
    if (size.isEmpty())
        return handle;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return handle;
    // The time is taken before reading, so a write during the read shows up as a change later.
    const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return handle;
    auto data = std::make_shared<Data>();
    data->source = Data::Source::File;
    data->size = size;
    data->path = QFileInfo(path).absoluteFilePath();
    data->fileSize = bytes.size();
    data->modified = modified;
    data->hash = contentHash(bytes);
    handle.m_data = std::move(data);
    return handle;
}

ImageHandle ImageHandle::fromEncodedData(QByteArray bytes, QSize size, const QImage &decoded)
{
    ImageHandle handle;
    if (bytes.isEmpty() || size.isEmpty())
        return handle;
    auto data = std::make_shared<Data>();
    data->source = Data::Source::EncodedBytes;
    data->size = size;
    data->encoded = std::move(bytes);
    if (decoded.size() == size)
        DecodeCache::instance().insert(data.get(), decoded);
    handle.m_data = std::move(data);
    return handle;
}

QImage ImageHandle::image() const
{
    return picture(true);
}

QImage ImageHandle::imageForOneUse() const
{
    return picture(false);
}

QImage ImageHandle::picture(bool keepInCache) const
{
    if (!m_data)
        return QImage();
    if (m_data->source == Data::Source::Memory)
        return m_data->image;
    DecodeCache &cache = DecodeCache::instance();
    if (QImage cached = cache.find(m_data.get()); !cached.isNull())
        return cached;
    // Waits for a decode of the same picture that is under way (the canvas asking for it, say)
    // rather than decoding it a second time.
    const std::lock_guard lock(m_data->decodeMutex);
    if (QImage cached = cache.find(m_data.get()); !cached.isNull())
        return cached;
    QImage decoded = m_data->decode();
    if (keepInCache && !decoded.isNull())
        cache.insert(m_data.get(), decoded);
    return decoded;
}

QImage ImageHandle::thumbnail(double maxDimension) const
{
    if (!m_data)
        return QImage();
    if (m_data->source == Data::Source::Memory)
        return ImageDecoding::makeThumbnail(m_data->image, maxDimension);
    if (const QImage cached = DecodeCache::instance().peek(m_data.get()); !cached.isNull())
        return ImageDecoding::makeThumbnail(cached, maxDimension);
    const QByteArray bytes = m_data->encodedPicture();
    if (bytes.isEmpty())
        return QImage();
    const std::optional<ImageDecoding::Preview> preview = ImageDecoding::previewImageData(bytes, maxDimension);
    // Like image(): nothing rather than a picture of another size.
    if (!preview || preview->size != m_data->size)
        return QImage();
    return preview->thumbnail;
}

QSize ImageHandle::size() const
{
    return m_data ? m_data->size : QSize(0, 0);
}

bool ImageHandle::isNull() const
{
    return !m_data;
}

bool ImageHandle::isLazy() const
{
    return m_data && m_data->source != Data::Source::Memory;
}

void ImageHandle::setCacheLimit(qint64 bytes)
{
    DecodeCache::instance().setLimit(bytes);
}

qint64 ImageHandle::cachedBytes()
{
    return DecodeCache::instance().total();
}
