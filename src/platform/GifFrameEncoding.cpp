#include "platform/GifFrameEncoding.h"

#include "platform/GifCodec.h"

#include <algorithm>
#include <array>
#include <climits>

namespace GifCodec::FrameEncoding {

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
bool useGlobalTable(const std::vector<GifColorType> &global, const std::vector<char> &isClear, bool anyClear,
                    const QImage &argb, QRect rect, EncodedFrame &out)
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
    // Neighbouring pixels mostly share their colour: the last one found is asked first.
    QRgb lastColour = 0;
    int lastEntry = -1;
    const int width = rect.width();
    for (int y = 0; y < rect.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(rect.y() + y)) + rect.x();
        const char *clear = isClear.data() + static_cast<size_t>(y) * width;
        GifByteType *indices = out.indices.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            if (clear[x])
                continue;
            if (row[x] != lastColour || lastEntry < 0) {
                const int found = lookup.find(row[x]);
                if (found < 0)
                    return false;
                lastColour = row[x];
                lastEntry = entry[found];
                used[lastEntry] = 1;
            }
            indices[x] = static_cast<GifByteType>(lastEntry);
        }
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

} // namespace

// One pixel value per visible colour: 0 for a transparent pixel, else the colour made opaque.
QImage normalized(const QImage &frame)
{
    QImage argb = frame.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull())
        return argb;
    auto isNormal = [](QRgb pixel) { return pixel == 0 || qAlpha(pixel) == 255; };
    bool normal = true;
    for (int y = 0; y < argb.height() && normal; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        normal = std::all_of(row, row + argb.width(), isNormal);
    }
    if (normal)
        return argb; // shares the caller's pixels when they were ARGB32 already
    for (int y = 0; y < argb.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            row[x] = isTransparent(row[x]) ? 0u : (row[x] | 0xFF000000u);
    }
    return argb;
}

// A palette as a colour map of a power of two of entries (at least two), padded with black.
std::vector<GifColorType> colorMapOf(const std::vector<QRgb> &palette)
{
    std::vector<GifColorType> map;
    for (const QRgb c : palette)
        map.push_back({GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))});
    map.resize(size_t(1) << GifBitSize(std::max<int>(static_cast<int>(map.size()), 2)), GifColorType {0, 0, 0});
    return map;
}

// One flag per pixel of a normalised image: whether it is transparent.
std::vector<char> transparentPixels(const QImage &argb)
{
    std::vector<char> clear(static_cast<size_t>(argb.width()) * argb.height());
    for (int y = 0; y < argb.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        std::transform(row, row + argb.width(), clear.begin() + static_cast<std::ptrdiff_t>(y) * argb.width(),
                       [](QRgb pixel) { return char(pixel == 0); });
    }
    return clear;
}

std::optional<EncodedFrame> encodeRect(const QImage &argb, QRect rect, const std::vector<char> &isClear,
                                       const std::vector<QRgb> &hint, std::vector<QRgb> *shows,
                                       const std::vector<GifColorType> &global, bool withTransparentIndex,
                                       bool exactOnly)
{
    EncodedFrame out;
    out.rect = rect;
    const int width = rect.width();
    const int height = rect.height();
    const size_t total = static_cast<size_t>(width) * height;
    if (isClear.size() != total)
        return std::nullopt;
    out.indices.assign(total, 0);
    const bool anyClear = withTransparentIndex || std::find(isClear.begin(), isClear.end(), 1) != isClear.end();
    const int colorLimit = anyClear ? 255 : 256;
    auto pixel = [&](int x, int y) {
        return reinterpret_cast<const QRgb *>(argb.constScanLine(rect.y() + y))[rect.x() + x];
    };
    auto pixelAt = [&](size_t k) { return pixel(static_cast<int>(k % width), static_cast<int>(k / width)); };
    if (useGlobalTable(global, isClear, anyClear, argb, rect, out)) {
        out.exactColors = true;
        return out;
    }

    // First try the exact palette; most frames (and every frame decoded from a GIF without
    // transparency) fit, and keep their colours untouched.
    ExactPalette palette(colorLimit);
    bool exact = true;
    QRgb lastColour = 0;
    int lastIndex = -1;
    for (int y = 0; y < height && exact; ++y) {
        GifByteType *row = out.indices.data() + static_cast<size_t>(y) * width;
        const auto *pixels = reinterpret_cast<const QRgb *>(argb.constScanLine(rect.y() + y)) + rect.x();
        const char *clear = isClear.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            if (clear[x])
                continue;
            if (pixels[x] != lastColour || lastIndex < 0) {
                lastIndex = palette.indexOf(pixels[x]);
                lastColour = pixels[x];
                if (lastIndex < 0) {
                    exact = false;
                    break;
                }
            }
            row[x] = static_cast<GifByteType>(lastIndex);
        }
    }
    if (!exact && exactOnly)
        return std::nullopt;
    bool mapped = exact;
    out.exactColors = exact;
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
    if (!out.exactColors)
        showColors(out, out.colors, isClear, shows);
    // Colour maps hold a power of two of entries; the smallest that fits keeps the codes short.
    const int mapEntries = 1 << GifBitSize(std::max<int>(static_cast<int>(out.colors.size()), 2));
    out.colors.resize(mapEntries, GifColorType {0, 0, 0});
    return out;
}

} // namespace GifCodec::FrameEncoding

bool GifCodec::Writer::paletteHolds(const std::vector<QRgb> &palette, const QImage &image)
{
    return paletteHolds(palette, image, image.rect());
}

bool GifCodec::Writer::paletteHolds(const std::vector<QRgb> &palette, const QImage &image, QRect area)
{
    if (palette.empty() || palette.size() > 256 || image.isNull())
        return false;
    using namespace FrameEncoding;
    ExactPalette lookup(256);
    for (const QRgb c : palette)
        lookup.indexOf(c);
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    area &= argb.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!isTransparent(row[x]) && lookup.find(row[x]) < 0)
                return false;
        }
    }
    return true;
}
