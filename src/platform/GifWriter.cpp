#include "platform/GifCodec.h"

#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <vector>

namespace GifCodec {

namespace {

// Maps colours to palette indices while a frame has few enough of them. Open addressing over a
// fixed table: far faster than a node-based map for the few hundred colours a frame may hold.
class ExactPalette {
public:
    explicit ExactPalette(int limit) : m_limit(limit) { m_keys.fill(0); }

    // The colour's index, adding it when new; -1 once the frame has more colours than the limit.
    int indexOf(QRgb rgb)
    {
        const quint32 key = rgb | 0xFF000000u; // never 0, so 0 marks an empty slot
        quint32 slot = (key * 2654435761u) >> (32 - kBits);
        for (;;) {
            if (m_keys[slot] == key)
                return m_values[slot];
            if (m_keys[slot] == 0) {
                if (static_cast<int>(m_colors.size()) >= m_limit)
                    return -1;
                m_keys[slot] = key;
                m_values[slot] = static_cast<int>(m_colors.size());
                m_colors.push_back(key);
                return m_values[slot];
            }
            slot = (slot + 1) & (kSize - 1);
        }
    }

    const std::vector<quint32> &colors() const { return m_colors; }

private:
    static constexpr int kBits = 10;
    static constexpr quint32 kSize = 1u << kBits; // four times the largest palette
    int m_limit;
    std::array<quint32, kSize> m_keys;
    std::array<int, kSize> m_values {};
    std::vector<quint32> m_colors;
};

bool isTransparent(QRgb pixel)
{
    return qAlpha(pixel) < 128;
}

} // namespace

struct Writer::State {
    QFile file;
    GifFileType *gif = nullptr;
    QSize canvas;
    bool failed = false;

    ~State()
    {
        if (gif)
            EGifCloseFile(gif, nullptr);
    }

    static int writeToFile(GifFileType *gif, const GifByteType *bytes, int length)
    {
        auto *file = static_cast<QFile *>(gif->UserData);
        return static_cast<int>(std::max<qint64>(file->write(reinterpret_cast<const char *>(bytes), length), 0));
    }

    bool putLoopBlock(int loopCount)
    {
        const int value = std::clamp(loopCount, 0, 65535);
        const GifByteType data[3] = {1, GifByteType(value & 0xFF), GifByteType(value >> 8)};
        return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK
            && EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK
            && EGifPutExtensionBlock(gif, 3, data) == GIF_OK
            && EGifPutExtensionTrailer(gif) == GIF_OK;
    }
};

Writer::Writer() : d(std::make_unique<State>()) {}

Writer::~Writer() = default;

bool Writer::open(const QString &path, QSize canvas, std::optional<int> loopCount)
{
    d = std::make_unique<State>();
    if (canvas.isEmpty() || canvas.width() > 65535 || canvas.height() > 65535)
        return false;
    d->canvas = canvas;
    d->file.setFileName(path);
    if (!d->file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    int error = 0;
    d->gif = EGifOpen(&d->file, &State::writeToFile, &error);
    if (!d->gif)
        return false;
    EGifSetGifVersion(d->gif, true);
    if (EGifPutScreenDesc(d->gif, canvas.width(), canvas.height(), 8, 0, nullptr) == GIF_ERROR)
        return false;
    return !loopCount || d->putLoopBlock(*loopCount);
}

bool Writer::addFrame(const QImage &frame, int delayCs)
{
    if (!d->gif || d->failed || frame.size() != d->canvas)
        return false;
    const QImage argb = frame.convertToFormat(QImage::Format_ARGB32);
    const int width = argb.width();
    const int height = argb.height();

    bool hasTransparency = false;
    for (int y = 0; y < height && !hasTransparency; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        hasTransparency = std::any_of(row, row + width, isTransparent);
    }
    const int colorLimit = hasTransparency ? 255 : 256;

    std::vector<GifByteType> indices(static_cast<size_t>(width) * height);
    std::vector<GifColorType> colors;

    // First try the exact palette; most frames (and every frame decoded from a GIF without
    // transparency) fit, and keep their colours untouched.
    ExactPalette palette(colorLimit);
    bool exact = true;
    for (int y = 0; y < height && exact; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        GifByteType *out = indices.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            if (isTransparent(row[x]))
                continue;
            const int index = palette.indexOf(row[x]);
            if (index < 0) {
                exact = false;
                break;
            }
            out[x] = static_cast<GifByteType>(index);
        }
    }
    if (exact) {
        for (const quint32 c : palette.colors())
            colors.push_back({GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))});
    } else {
        // Quantize the opaque pixels only; the transparent index stays reserved.
        std::vector<GifByteType> red, green, blue;
        const size_t total = indices.size();
        red.reserve(total);
        green.reserve(total);
        blue.reserve(total);
        for (int y = 0; y < height; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                if (isTransparent(row[x]))
                    continue;
                red.push_back(GifByteType(qRed(row[x])));
                green.push_back(GifByteType(qGreen(row[x])));
                blue.push_back(GifByteType(qBlue(row[x])));
            }
        }
        int mapSize = colorLimit;
        std::vector<GifByteType> quantized(red.size());
        std::array<GifColorType, 256> map {};
        if (GifQuantizeBuffer(static_cast<unsigned>(red.size()), 1, &mapSize, red.data(), green.data(),
                              blue.data(), quantized.data(), map.data())
            == GIF_ERROR) {
            d->failed = true;
            return false;
        }
        colors.assign(map.begin(), map.begin() + std::clamp(mapSize, 1, colorLimit));
        size_t next = 0;
        for (int y = 0; y < height; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            GifByteType *out = indices.data() + static_cast<size_t>(y) * width;
            for (int x = 0; x < width; ++x)
                if (!isTransparent(row[x]))
                    out[x] = quantized[next++];
        }
    }

    int transparentIndex = NO_TRANSPARENT_COLOR;
    if (hasTransparency) {
        transparentIndex = static_cast<int>(colors.size());
        colors.push_back({0, 0, 0});
        for (int y = 0; y < height; ++y) {
            const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            GifByteType *out = indices.data() + static_cast<size_t>(y) * width;
            for (int x = 0; x < width; ++x)
                if (isTransparent(row[x]))
                    out[x] = static_cast<GifByteType>(transparentIndex);
        }
    }

    // Colour maps hold a power of two of entries; the smallest that fits keeps the codes short.
    const int mapEntries = 1 << GifBitSize(std::max<int>(static_cast<int>(colors.size()), 2));
    colors.resize(mapEntries, GifColorType {0, 0, 0});
    ColorMapObject *map = GifMakeMapObject(mapEntries, colors.data());
    if (!map) {
        d->failed = true;
        return false;
    }

    GraphicsControlBlock gcb;
    // Every frame covers the whole canvas; clearing it before the next frame keeps transparent
    // areas from showing the previous frame.
    gcb.DisposalMode = DISPOSE_BACKGROUND;
    gcb.UserInputFlag = false;
    gcb.DelayTime = std::clamp(delayCs, 0, 65535);
    gcb.TransparentColor = transparentIndex;
    GifByteType extension[4];
    const size_t extensionLength = EGifGCBToExtension(&gcb, extension);

    bool ok = EGifPutExtension(d->gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionLength), extension) == GIF_OK
        && EGifPutImageDesc(d->gif, 0, 0, width, height, false, map) == GIF_OK;
    GifFreeMapObject(map);
    for (int y = 0; ok && y < height; ++y)
        ok = EGifPutLine(d->gif, indices.data() + static_cast<size_t>(y) * width, width) == GIF_OK;
    if (!ok)
        d->failed = true;
    return ok;
}

bool Writer::finish()
{
    if (!d->gif)
        return false;
    const bool closed = EGifCloseFile(d->gif, nullptr) == GIF_OK;
    d->gif = nullptr;
    const bool flushed = d->file.flush();
    d->file.close();
    return closed && flushed && !d->failed && d->file.error() == QFileDevice::NoError;
}

} // namespace GifCodec
