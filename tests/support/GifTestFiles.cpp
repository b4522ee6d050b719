#include "support/GifTestFiles.h"

#include <QFile>
#include <QImageReader>

#include <gif_lib.h>

#include <algorithm>
#include <utility>

namespace GifTestFiles {

namespace {

ColorMapObject *makeMap(const std::vector<QRgb> &palette)
{
    int size = 2;
    while (size < static_cast<int>(palette.size()))
        size *= 2;
    std::vector<GifColorType> colors(size, GifColorType {0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i)
        colors[i] = {GifByteType(qRed(palette[i])), GifByteType(qGreen(palette[i])), GifByteType(qBlue(palette[i]))};
    return GifMakeMapObject(size, colors.data());
}

// The LZW data (minimum code size 2, in sub-blocks) of `pixels` pixels of `value`.
QByteArray tightestLzw(qint64 pixels, int value)
{
    QByteArray bytes;
    quint32 bits = 0;
    int bitCount = 0;
    int size = 3;
    int next = 6;
    bool first = true;
    const auto put = [&](int code) {
        bits |= quint32(code) << bitCount;
        bitCount += size;
        while (bitCount >= 8) {
            bytes.append(char(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
        if (!first && next < 4096)
            ++next;
        first = false;
        if (next >= (1 << size) && size < 12)
            ++size;
    };
    put(4); // clear
    first = true;
    put(value);
    qint64 done = 1;
    int length = 1;
    while (done < pixels) {
        const int code = next < 4096 ? next : 4095;
        if (next < 4096)
            ++length;
        put(code);
        done += length;
    }
    put(5); // end
    if (bitCount > 0)
        bytes.append(char(bits & 0xFF));
    QByteArray blocks(1, '\x02');
    for (qsizetype at = 0; at < bytes.size(); at += 255) {
        const QByteArray chunk = bytes.mid(at, 255);
        blocks.append(char(chunk.size())).append(chunk);
    }
    return blocks.append('\0');
}

void appendLittleEndianSize(QByteArray &bytes, QSize size)
{
    for (const int side : {size.width(), size.height()})
        bytes.append(char(side & 0xFF)).append(char(side >> 8));
}

} // namespace

QByteArray flatScreenFrames(QSize screen, int count)
{
    QByteArray gif("GIF89a", 6);
    appendLittleEndianSize(gif, screen);
    gif.append(char(0x81)).append('\0').append('\0');
    gif.append("\xFF\0\0\0\xFF\0\0\0\xFF\xFF\xFF\0", 12);
    for (int i = 0; i < count; ++i) {
        gif.append("\x21\xF9\x04\x04\x0A\0\0\0", 8); // disposal 1, 10 cs
        gif.append("\x2C\0\0\0\0", 5);
        appendLittleEndianSize(gif, screen);
        gif.append('\0');
        gif.append(tightestLzw(qint64(screen.width()) * screen.height(), i % 4));
    }
    return gif.append('\x3B');
}

bool writeGif(const QString &path, const GifRecipe &recipe)
{
    int error = 0;
    GifFileType *gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &error);
    if (!gif)
        return false;
    EGifSetGifVersion(gif, true);
    ColorMapObject *global = recipe.globalPalette.empty() ? nullptr : makeMap(recipe.globalPalette);
    bool ok = EGifPutScreenDesc(gif, recipe.canvas.width(), recipe.canvas.height(), 8, 0, global) == GIF_OK;
    GifFreeMapObject(global);
    if (ok && recipe.loopCount) {
        const GifByteType data[3] = {1, GifByteType(*recipe.loopCount & 0xFF), GifByteType(*recipe.loopCount >> 8)};
        ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK
            && EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK && EGifPutExtensionBlock(gif, 3, data) == GIF_OK
            && EGifPutExtensionTrailer(gif) == GIF_OK;
    }
    if (ok && recipe.commentBytes > 0) {
        const QByteArray comment(recipe.commentBytes, 'c');
        ok = EGifPutExtensionLeader(gif, COMMENT_EXT_FUNC_CODE) == GIF_OK;
        for (qsizetype at = 0; ok && at < comment.size(); at += 255)
            ok = EGifPutExtensionBlock(gif, static_cast<int>(std::min<qsizetype>(255, comment.size() - at)),
                                       comment.constData() + at) == GIF_OK;
        ok = ok && EGifPutExtensionTrailer(gif) == GIF_OK;
    }
    for (const GifFrameRecipe &frame : recipe.frames) {
        if (!ok)
            break;
        if (frame.delayCs) {
            GraphicsControlBlock gcb;
            gcb.DisposalMode = frame.disposal;
            gcb.UserInputFlag = false;
            gcb.DelayTime = *frame.delayCs;
            gcb.TransparentColor = frame.transparentIndex;
            GifByteType extension[4];
            EGifGCBToExtension(&gcb, extension);
            ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
        }
        // giflib forgets (and leaks) the previous frame's local map when a frame has none.
        if (frame.localPalette.empty() && gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        ColorMapObject *local = frame.localPalette.empty() ? nullptr : makeMap(frame.localPalette);
        const QRect r = frame.rect;
        ok = ok && EGifPutImageDesc(gif, r.x(), r.y(), r.width(), r.height(), frame.interlaced, local) == GIF_OK;
        GifFreeMapObject(local);
        std::vector<int> rows;
        if (frame.interlaced) {
            for (const auto &[start, step] : {std::pair(0, 8), std::pair(4, 8), std::pair(2, 4), std::pair(1, 2)})
                for (int row = start; row < r.height(); row += step)
                    rows.push_back(row);
        } else {
            for (int row = 0; row < r.height(); ++row)
                rows.push_back(row);
        }
        std::vector<GifPixelType> line(r.width());
        for (const int row : rows) {
            if (!ok)
                break;
            for (int x = 0; x < r.width(); ++x)
                line[x] = frame.indices[static_cast<size_t>(row) * r.width() + x];
            ok = EGifPutLine(gif, line.data(), r.width()) == GIF_OK;
        }
    }
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

GifFrameRecipe solidFrame(QRect rect, unsigned char index, std::optional<int> delayCs)
{
    GifFrameRecipe frame;
    frame.rect = rect;
    frame.indices.assign(static_cast<size_t>(rect.width()) * rect.height(), index);
    frame.delayCs = delayCs;
    return frame;
}

GifRecipe simpleAnimation(QSize canvas, int count, const std::vector<int> &delays, std::optional<int> loopCount)
{
    GifRecipe recipe;
    recipe.canvas = canvas;
    recipe.globalPalette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
    recipe.loopCount = loopCount;
    for (int i = 0; i < count; ++i) {
        const int delay = i < static_cast<int>(delays.size()) ? delays[i] : 10;
        recipe.frames.push_back(solidFrame(QRect(QPoint(0, 0), canvas), static_cast<unsigned char>(i % 4), delay));
    }
    return recipe;
}

std::optional<ParsedGif> parseGif(const QByteArray &bytes)
{
    auto u8 = [&](qint64 at) { return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : -1; };
    auto u16 = [&](qint64 at) { return u8(at) | (u8(at + 1) << 8); };
    if (bytes.size() < 13 || !bytes.startsWith("GIF8"))
        return std::nullopt;
    ParsedGif gif;
    gif.canvas = QSize(u16(6), u16(8));
    qint64 at = 13;
    if (u8(10) & 0x80)
        at += 3 * (1 << ((u8(10) & 7) + 1));
    std::optional<int> delay;
    while (at < bytes.size()) {
        const int introducer = u8(at++);
        if (introducer == 0x21) {
            const int label = u8(at++);
            bool netscape = false;
            for (int block = 0; u8(at) > 0; ++block) {
                const int size = u8(at);
                if (label == 0xF9 && block == 0)
                    delay = u16(at + 2);
                if (label == 0xFF && block == 0)
                    netscape = bytes.mid(at + 1, size) == "NETSCAPE2.0";
                if (label == 0xFF && block == 1 && netscape)
                    gif.loopCount = u16(at + 2);
                at += size + 1;
            }
            ++at;
        } else if (introducer == 0x2C) {
            gif.rects.emplace_back(u16(at), u16(at + 2), u16(at + 4), u16(at + 6));
            gif.delays.push_back(delay);
            delay.reset();
            const int packed = u8(at + 8);
            at += 9;
            if (packed & 0x80)
                at += 3 * (1 << ((packed & 7) + 1));
            gif.codeSizeOffsets.push_back(at);
            ++at;
            while (u8(at) > 0)
                at += u8(at) + 1;
            ++at;
        } else {
            break;
        }
    }
    return gif;
}

bool damageFrame(const QString &path, int index)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const auto parsed = parseGif(file.readAll());
    if (!parsed || index >= static_cast<int>(parsed->codeSizeOffsets.size()))
        return false;
    file.seek(parsed->codeSizeOffsets[index]);
    return file.write("\x0C", 1) == 1;
}

std::vector<QImage> qtFrames(const QString &path)
{
    QImageReader reader(path, "gif");
    std::vector<QImage> frames;
    for (;;) {
        QImage frame = reader.read();
        if (frame.isNull())
            break;
        frames.push_back(frame.convertToFormat(QImage::Format_ARGB32));
    }
    return frames;
}

} // namespace GifTestFiles
