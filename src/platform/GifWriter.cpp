#include "platform/GifCodec.h"

#include <QFile>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <optional>
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

    // The colour's index, or -1 when it has not been added.
    int find(QRgb rgb) const
    {
        const quint32 key = rgb | 0xFF000000u;
        for (quint32 slot = (key * 2654435761u) >> (32 - kBits);; slot = (slot + 1) & (kSize - 1)) {
            if (m_keys[slot] == key)
                return m_values[slot];
            if (m_keys[slot] == 0)
                return -1;
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

// One pixel value per visible colour: 0 for a transparent pixel, else the colour made opaque.
QImage normalized(const QImage &frame)
{
    QImage argb = frame.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull())
        return argb;
    if (argb.constBits() == frame.constBits())
        argb.detach();
    for (int y = 0; y < argb.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            row[x] = isTransparent(row[x]) ? 0u : (row[x] | 0xFF000000u);
    }
    return argb;
}

// Maps colours to the nearest entry of a fixed palette (squared RGB distance, first entry on
// ties), remembering recent answers.
class NearestColor {
public:
    explicit NearestColor(const std::vector<QRgb> &palette) : m_palette(palette)
    {
        m_byRed.resize(palette.size());
        for (size_t k = 0; k < palette.size(); ++k)
            m_byRed[k] = static_cast<int>(k);
        std::stable_sort(m_byRed.begin(), m_byRed.end(),
                         [&](int a, int b) { return qRed(palette[a]) < qRed(palette[b]); });
    }

    int indexOf(QRgb rgb)
    {
        const quint32 key = rgb | 0xFF000000u;
        const quint32 slot = (key * 2654435761u) >> (32 - kBits);
        if (m_keys[slot] == key)
            return m_values[slot];
        const int found = search(key);
        m_keys[slot] = key;
        m_values[slot] = found;
        return found;
    }

private:
    int search(QRgb rgb) const
    {
        const int red = qRed(rgb);
        const auto start = std::lower_bound(m_byRed.begin(), m_byRed.end(), red,
                                            [&](int k, int value) { return qRed(m_palette[k]) < value; });
        int best = -1;
        int bestDistance = INT_MAX;
        auto consider = [&](int k) {
            const QRgb c = m_palette[k];
            const int dr = qRed(c) - red;
            const int dg = qGreen(c) - qGreen(rgb);
            const int db = qBlue(c) - qBlue(rgb);
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance || (distance == bestDistance && k < best)) {
                bestDistance = distance;
                best = k;
            }
        };
        // Outwards from the closest red value until the red difference alone is too large.
        auto up = start;
        auto down = start;
        while (up != m_byRed.end() || down != m_byRed.begin()) {
            bool progressed = false;
            if (up != m_byRed.end()) {
                const int dr = qRed(m_palette[*up]) - red;
                if (dr * dr <= bestDistance) {
                    consider(*up++);
                    progressed = true;
                } else {
                    up = m_byRed.end();
                }
            }
            if (down != m_byRed.begin()) {
                const int dr = red - qRed(m_palette[*(down - 1)]);
                if (dr * dr <= bestDistance) {
                    consider(*--down);
                    progressed = true;
                } else {
                    down = m_byRed.begin();
                }
            }
            if (!progressed)
                break;
        }
        return best;
    }

    static constexpr int kBits = 16;
    const std::vector<QRgb> &m_palette;
    std::vector<int> m_byRed;
    // On the heap: half a megabyte would not fit a worker thread's stack everywhere.
    std::vector<quint32> m_keys = std::vector<quint32>(size_t(1) << kBits, 0);
    std::vector<int> m_values = std::vector<int>(size_t(1) << kBits, 0);
};

// A palette as a colour map of a power of two of entries (at least two), padded with black.
std::vector<GifColorType> colorMapOf(const std::vector<QRgb> &palette)
{
    std::vector<GifColorType> map;
    for (const QRgb c : palette)
        map.push_back({GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))});
    map.resize(size_t(1) << GifBitSize(std::max<int>(static_cast<int>(map.size()), 2)), GifColorType {0, 0, 0});
    return map;
}

// Whether a pixel of a normalised image is transparent.
auto transparentIn(const QImage &argb)
{
    return [&argb](int x, int y) { return reinterpret_cast<const QRgb *>(argb.constScanLine(y))[x] == 0; };
}

// One image block as it goes into the file: its rectangle of the canvas, its indices and its
// local colour map (a power of two of entries).
struct EncodedFrame {
    QRect rect;
    std::vector<GifByteType> indices;
    std::vector<GifColorType> colors;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    int delayCs = 0;
    bool coversCanvas = false;
};

// Encodes the rectangle of a normalised frame. Pixels for which `clear` holds get the transparent
// index; the others their exact colour when at most 255 of them (256 without a clear pixel) are
// used, else the nearest colour of `hint` when that fits, else giflib's median cut. Returns the
// colour each pixel of the rectangle shows (0 for clear ones) through `shows`.
// Gives the clear pixels the transparent index.
void markClear(EncodedFrame &out, const std::vector<char> &isClear, int transparentIndex)
{
    out.transparentIndex = transparentIndex;
    for (size_t k = 0; k < isClear.size(); ++k)
        if (isClear[k])
            out.indices[k] = static_cast<GifByteType>(transparentIndex);
}

// The colour each pixel shows (0 for clear ones) with the given colour map.
void showColors(const EncodedFrame &out, const std::vector<GifColorType> &colors, const std::vector<char> &isClear,
                std::vector<QRgb> *shows)
{
    if (!shows)
        return;
    shows->resize(isClear.size());
    for (size_t k = 0; k < isClear.size(); ++k) {
        const GifColorType &c = colors[out.indices[k]];
        (*shows)[k] = isClear[k] ? 0u : qRgb(c.Red, c.Green, c.Blue);
    }
}

// Indices into the file's global colour table when every visible pixel's colour is in it and, with
// clear pixels, an entry the frame does not use is left for transparency; the frame then needs no
// colour map of its own (out.colors stays empty).
template <typename PixelAt>
bool useGlobalTable(const std::vector<GifColorType> &global, const std::vector<char> &isClear, bool anyClear,
                    PixelAt pixelAt, EncodedFrame &out)
{
    if (global.empty())
        return false;
    ExactPalette lookup(256);
    std::vector<int> entry; // the first global index of each distinct colour
    for (size_t k = 0; k < global.size(); ++k) {
        const size_t before = lookup.colors().size();
        lookup.indexOf(qRgb(global[k].Red, global[k].Green, global[k].Blue));
        if (lookup.colors().size() > before)
            entry.push_back(static_cast<int>(k));
    }
    std::vector<char> used(global.size(), 0);
    for (size_t k = 0; k < isClear.size(); ++k) {
        if (isClear[k])
            continue;
        const int found = lookup.find(pixelAt(k));
        if (found < 0)
            return false;
        out.indices[k] = static_cast<GifByteType>(entry[found]);
        used[entry[found]] = 1;
    }
    if (anyClear) {
        const auto unused = std::find(used.begin(), used.end(), 0);
        if (unused == used.end())
            return false;
        markClear(out, isClear, static_cast<int>(unused - used.begin()));
    }
    out.colors.clear();
    return true;
}

// Whether the palette's colours are the first entries of the global table.
bool hintIsGlobal(const std::vector<QRgb> &hint, const std::vector<GifColorType> &global)
{
    if (hint.size() > global.size())
        return false;
    for (size_t k = 0; k < hint.size(); ++k) {
        if (qRgb(global[k].Red, global[k].Green, global[k].Blue) != (hint[k] | 0xFF000000u))
            return false;
    }
    return true;
}

template <typename Clear>
std::optional<EncodedFrame> encodeRect(const QImage &argb, QRect rect, Clear clear, const std::vector<QRgb> &hint,
                                       std::vector<QRgb> *shows, const std::vector<GifColorType> &global = {},
                                       bool withTransparentIndex = false)
{
    EncodedFrame out;
    out.rect = rect;
    const int width = rect.width();
    const int height = rect.height();
    const size_t total = static_cast<size_t>(width) * height;
    out.indices.assign(total, 0);
    std::vector<char> isClear(total, 0);
    bool anyClear = withTransparentIndex;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool c = clear(rect.x() + x, rect.y() + y);
            isClear[static_cast<size_t>(y) * width + x] = c;
            anyClear = anyClear || c;
        }
    }
    const int colorLimit = anyClear ? 255 : 256;
    auto pixel = [&](int x, int y) {
        return reinterpret_cast<const QRgb *>(argb.constScanLine(rect.y() + y))[rect.x() + x];
    };
    auto pixelAt = [&](size_t k) { return pixel(static_cast<int>(k % width), static_cast<int>(k / width)); };
    if (useGlobalTable(global, isClear, anyClear, pixelAt, out)) {
        showColors(out, global, isClear, shows);
        return out;
    }

    // First try the exact palette; most frames (and every frame decoded from a GIF without
    // transparency) fit, and keep their colours untouched.
    ExactPalette palette(colorLimit);
    bool exact = true;
    for (int y = 0; y < height && exact; ++y) {
        GifByteType *row = out.indices.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            if (isClear[static_cast<size_t>(y) * width + x])
                continue;
            const int index = palette.indexOf(pixel(x, y));
            if (index < 0) {
                exact = false;
                break;
            }
            row[x] = static_cast<GifByteType>(index);
        }
    }
    bool mapped = exact;
    if (exact) {
        for (const quint32 c : palette.colors())
            out.colors.push_back({GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))});
    } else if (!hint.empty() && hintIsGlobal(hint, global)) {
        // The palette is the global table: indices into it, and an entry no pixel uses for transparency.
        NearestColor nearest(hint);
        std::vector<char> used(global.size(), 0);
        for (size_t k = 0; k < total; ++k) {
            if (isClear[k])
                continue;
            const int entry = nearest.indexOf(pixelAt(k));
            out.indices[k] = static_cast<GifByteType>(entry);
            used[entry] = 1;
        }
        const auto unused = std::find(used.begin(), used.end(), 0);
        if (!anyClear || unused != used.end()) {
            if (anyClear)
                markClear(out, isClear, static_cast<int>(unused - used.begin()));
            showColors(out, global, isClear, shows);
            return out;
        }
        mapped = false;
    }
    if (!mapped && !hint.empty()) {
        // The frame was scaled from one with few colours: those colours, as far as they are used.
        NearestColor nearest(hint);
        std::vector<int> slot(hint.size(), -1);
        mapped = true;
        for (int y = 0; y < height && mapped; ++y) {
            GifByteType *row = out.indices.data() + static_cast<size_t>(y) * width;
            for (int x = 0; x < width; ++x) {
                if (isClear[static_cast<size_t>(y) * width + x])
                    continue;
                const int k = nearest.indexOf(pixel(x, y));
                if (slot[k] < 0) {
                    if (static_cast<int>(out.colors.size()) >= colorLimit) {
                        mapped = false;
                        break;
                    }
                    slot[k] = static_cast<int>(out.colors.size());
                    out.colors.push_back({GifByteType(qRed(hint[k])), GifByteType(qGreen(hint[k])),
                                          GifByteType(qBlue(hint[k]))});
                }
                row[x] = static_cast<GifByteType>(slot[k]);
            }
        }
        if (!mapped)
            out.colors.clear();
    }
    if (!mapped) {
        // Quantize the visible pixels only; the transparent index stays reserved.
        std::vector<GifByteType> red, green, blue;
        red.reserve(total);
        green.reserve(total);
        blue.reserve(total);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (isClear[static_cast<size_t>(y) * width + x])
                    continue;
                const QRgb c = pixel(x, y);
                red.push_back(GifByteType(qRed(c)));
                green.push_back(GifByteType(qGreen(c)));
                blue.push_back(GifByteType(qBlue(c)));
            }
        }
        int mapSize = colorLimit;
        std::vector<GifByteType> quantized(red.size());
        std::array<GifColorType, 256> map {};
        if (GifQuantizeBuffer(static_cast<unsigned>(red.size()), 1, &mapSize, red.data(), green.data(), blue.data(),
                              quantized.data(), map.data())
            == GIF_ERROR)
            return std::nullopt;
        out.colors.assign(map.begin(), map.begin() + std::clamp(mapSize, 1, colorLimit));
        size_t next = 0;
        for (size_t k = 0; k < total; ++k)
            if (!isClear[k])
                out.indices[k] = quantized[next++];
    }

    if (anyClear) {
        out.colors.push_back({0, 0, 0});
        markClear(out, isClear, static_cast<int>(out.colors.size()) - 1);
    }
    showColors(out, out.colors, isClear, shows);
    // Colour maps hold a power of two of entries; the smallest that fits keeps the codes short.
    const int mapEntries = 1 << GifBitSize(std::max<int>(static_cast<int>(out.colors.size()), 2));
    out.colors.resize(mapEntries, GifColorType {0, 0, 0});
    return out;
}

} // namespace

// Frames are written one behind: how a frame is disposed of depends on the frame after it. A frame
// without transparent pixels is drawn over the previous one (left in place) and only its changed
// rectangle is written, its unchanged pixels transparent. A frame with transparent pixels covers
// the canvas and the frame before it is cleared, so those pixels show nothing of earlier frames.
struct Writer::State {
    QFile file;
    GifFileType *gif = nullptr;
    QSize canvas;
    bool failed = false;

    QImage previous;                // the last frame added, normalised
    std::vector<QRgb> previousHint; // its palette hint
    std::vector<QRgb> shown;        // the canvas once the last frame is drawn
    std::optional<EncodedFrame> pending;
    bool firstHasTransparency = false;
    std::optional<int> loopCount;
    bool headerWritten = false;
    std::vector<GifColorType> global; // the first frame's colours, used by every frame they suffice for

    // The screen descriptor, with the first frame's colour map as the global table, and the loop block.
    bool writeHeader()
    {
        headerWritten = true;
        ColorMapObject *map = nullptr;
        if (!global.empty() && !(map = GifMakeMapObject(static_cast<int>(global.size()), global.data())))
            return false;
        const bool ok = EGifPutScreenDesc(gif, canvas.width(), canvas.height(), 8, 0, map) != GIF_ERROR
            && (!loopCount || putLoopBlock(*loopCount));
        GifFreeMapObject(map);
        return ok;
    }

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

    QRect whole() const { return QRect(QPoint(0, 0), canvas); }

    // The previous frame again, as a frame of its own covering the canvas and with a transparent
    // index: decoders that clear a disposed frame to the background colour unless the frame has
    // one then clear it to transparent.
    bool coverPendingCanvas()
    {
        if (pending->coversCanvas && pending->transparentIndex != NO_TRANSPARENT_COLOR)
            return true;
        const int delay = pending->delayCs;
        pending = encodeRect(previous, whole(), transparentIn(previous), previousHint, nullptr, global, true);
        if (!pending)
            return false;
        pending->delayCs = delay;
        pending->coversCanvas = true;
        return true;
    }

    bool writePending(int disposal)
    {
        const EncodedFrame &frame = *pending;
        ColorMapObject *map = nullptr;
        if (!frame.colors.empty() && !(map = GifMakeMapObject(static_cast<int>(frame.colors.size()), frame.colors.data())))
            return false;
        GraphicsControlBlock gcb;
        gcb.DisposalMode = disposal;
        gcb.UserInputFlag = false;
        gcb.DelayTime = frame.delayCs;
        gcb.TransparentColor = frame.transparentIndex;
        GifByteType extension[4];
        const size_t extensionLength = EGifGCBToExtension(&gcb, extension);
        const QRect r = frame.rect;
        bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionLength), extension) == GIF_OK
            && EGifPutImageDesc(gif, r.x(), r.y(), r.width(), r.height(), false, map) == GIF_OK;
        GifFreeMapObject(map);
        for (int y = 0; ok && y < r.height(); ++y)
            ok = EGifPutLine(gif, const_cast<GifByteType *>(frame.indices.data()) + static_cast<size_t>(y) * r.width(),
                             r.width())
                == GIF_OK;
        pending.reset();
        return ok;
    }

    // Encodes `frame` (normalised) over the canvas the previous frame leaves.
    std::optional<EncodedFrame> encodeOverPrevious(const QImage &frame, const std::vector<QRgb> &hint)
    {
        const int width = canvas.width();
        const int height = canvas.height();
        std::vector<char> changed(static_cast<size_t>(width) * height, 0);
        int left = width, top = height, right = -1, bottom = -1;
        for (int y = 0; y < height; ++y) {
            const auto *now = reinterpret_cast<const QRgb *>(frame.constScanLine(y));
            const auto *before = reinterpret_cast<const QRgb *>(previous.constScanLine(y));
            const QRgb *shownRow = shown.data() + static_cast<size_t>(y) * width;
            char *flags = changed.data() + static_cast<size_t>(y) * width;
            for (int x = 0; x < width; ++x) {
                if (now[x] != before[x] || shownRow[x] == 0) {
                    flags[x] = 1;
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        QRect rect = right < 0 ? QRect(0, 0, 1, 1) : QRect(QPoint(left, top), QPoint(right, bottom));
        // A rectangle over half the canvas saves little: the canvas is written whole, the unchanged
        // pixels transparent.
        if (2 * qint64(rect.width()) * rect.height() >= qint64(width) * height)
            rect = whole();
        std::vector<QRgb> shows;
        auto encoded = encodeRect(
            frame, rect, [&](int x, int y) { return !changed[static_cast<size_t>(y) * width + x]; }, hint, &shows,
            global);
        if (!encoded)
            return std::nullopt;
        encoded->coversCanvas = rect == whole();
        for (int y = 0; y < rect.height(); ++y) {
            for (int x = 0; x < rect.width(); ++x) {
                const QRgb c = shows[static_cast<size_t>(y) * rect.width() + x];
                if (c != 0)
                    shown[static_cast<size_t>(rect.y() + y) * width + rect.x() + x] = c;
            }
        }
        return encoded;
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
    // The header follows with the first frame, whose colours become the global table.
    d->loopCount = loopCount;
    return true;
}

bool Writer::addFrame(const QImage &frame, int delayCs, const std::vector<QRgb> &palette)
{
    if (!d->gif || d->failed || frame.size() != d->canvas)
        return false;
    const QImage argb = normalized(frame);
    if (argb.isNull()) {
        d->failed = true;
        return false;
    }
    bool hasTransparency = false;
    for (int y = 0; y < argb.height() && !hasTransparency; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        hasTransparency = std::find(row, row + argb.width(), 0u) != row + argb.width();
    }
    const std::vector<QRgb> hint = palette.size() <= 256 ? palette : std::vector<QRgb>();

    const bool overPrevious = d->pending.has_value() && !hasTransparency;
    if (d->pending) {
        const bool ok = (overPrevious || d->coverPendingCanvas())
            && d->writePending(overPrevious ? DISPOSE_DO_NOT : DISPOSE_BACKGROUND);
        if (!ok) {
            d->failed = true;
            return false;
        }
    } else {
        d->firstHasTransparency = hasTransparency;
    }

    std::optional<EncodedFrame> encoded;
    if (overPrevious) {
        encoded = d->encodeOverPrevious(argb, hint);
    } else {
        // The first frame's palette, when given, becomes the global table.
        if (!d->headerWritten && !hint.empty())
            d->global = colorMapOf(hint);
        d->shown.clear();
        encoded = encodeRect(argb, d->whole(), transparentIn(argb), hint, &d->shown, d->global);
        if (encoded)
            encoded->coversCanvas = true;
        if (encoded && !d->headerWritten) {
            if (d->global.empty()) {
                d->global = std::move(encoded->colors);
                encoded->colors.clear();
            }
            if (!d->writeHeader()) {
                d->failed = true;
                return false;
            }
        }
    }
    if (!encoded) {
        d->failed = true;
        return false;
    }
    encoded->delayCs = std::clamp(delayCs, 0, 65535);
    d->pending = std::move(encoded);
    d->previous = argb;
    d->previousHint = hint;
    return true;
}

bool Writer::finish()
{
    if (!d->gif)
        return false;
    if (!d->headerWritten && !d->writeHeader())
        d->failed = true;
    // When the animation starts again, its first frame's transparent pixels show a cleared canvas.
    if (d->pending && !d->failed
        && !((!d->firstHasTransparency || d->coverPendingCanvas()) && d->writePending(DISPOSE_BACKGROUND)))
        d->failed = true;
    const bool closed = EGifCloseFile(d->gif, nullptr) == GIF_OK;
    d->gif = nullptr;
    const bool flushed = d->file.flush();
    d->file.close();
    return closed && flushed && !d->failed && d->file.error() == QFileDevice::NoError;
}

} // namespace GifCodec
