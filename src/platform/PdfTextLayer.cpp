#include "platform/PdfTextLayer.h"

#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QRawFont>
#include <QString>
#include <QtEndian>

#include <optional>

namespace PdfTextLayer {

namespace {

constexpr char16_t firstRadical = 0x2E80; // CJK Radicals Supplement, then Kangxi Radicals
constexpr char16_t lastRadical = 0x2FDF;
constexpr char16_t firstIdeograph = 0x3400; // CJK Extension A, then the unified ideographs
constexpr char16_t lastIdeograph = 0x9FFF;

using RadicalMap = QHash<char16_t, char16_t>;

// Name ID 6 of the font's naming table, from a platform 3 (UTF-16) or platform 1 (single-byte) record.
QString postScriptName(const QRawFont &font)
{
    const QByteArray table = font.fontTable("name");
    const auto *data = reinterpret_cast<const uchar *>(table.constData());
    if (table.size() < 6)
        return {};
    const int count = qFromBigEndian<quint16>(data + 2);
    const int strings = qFromBigEndian<quint16>(data + 4);
    for (int k = 0; k < count && 6 + 12 * (k + 1) <= table.size(); ++k) {
        const uchar *record = data + 6 + 12 * k;
        const int platform = qFromBigEndian<quint16>(record);
        const int nameId = qFromBigEndian<quint16>(record + 6);
        const int length = qFromBigEndian<quint16>(record + 8);
        const int offset = strings + qFromBigEndian<quint16>(record + 10);
        if (nameId != 6 || offset + length > table.size())
            continue;
        if (platform == 3) {
            QString name;
            for (int i = 0; i + 1 < length; i += 2)
                name.append(QChar(qFromBigEndian<quint16>(data + offset + i)));
            return name;
        }
        if (platform == 1)
            return QString::fromLatin1(table.constData() + offset, length);
    }
    return {};
}

QString comparableName(QStringView name)
{
    QString letters;
    for (const QChar c : name) {
        if (c.isLetterOrNumber())
            letters.append(c.toLower());
    }
    return letters;
}

// The installed face with this PostScript name ("NotoSansCJKsc-Regular" is a style of the family
// "Noto Sans CJK SC"); nothing when no installed face has it.
std::optional<QRawFont> installedFace(const QString &name)
{
    const QString family = comparableName(QStringView(name).left(name.indexOf(QLatin1Char('-'))));
    for (const QString &candidate : QFontDatabase::families()) {
        if (comparableName(candidate) != family)
            continue;
        for (const QString &style : QFontDatabase::styles(candidate)) {
            const QRawFont face = QRawFont::fromFont(QFontDatabase::font(candidate, style, 12));
            if (face.isValid() && postScriptName(face) == name)
                return face;
        }
    }
    return std::nullopt;
}

// For each radical the face draws with the glyph of an ideograph: the first such ideograph.
RadicalMap radicalsOfFace(const QRawFont &face)
{
    QString ideographs;
    for (char16_t c = firstIdeograph; c <= lastIdeograph; ++c)
        ideographs.append(QChar(c));
    QHash<quint32, char16_t> ideographOfGlyph;
    const QList<quint32> glyphs = face.glyphIndexesForString(ideographs);
    for (qsizetype k = 0; k < glyphs.size() && k < ideographs.size(); ++k) {
        if (glyphs[k] != 0 && !ideographOfGlyph.contains(glyphs[k]))
            ideographOfGlyph.insert(glyphs[k], ideographs[k].unicode());
    }
    QString radicals;
    for (char16_t c = firstRadical; c <= lastRadical; ++c)
        radicals.append(QChar(c));
    RadicalMap map;
    const QList<quint32> radicalGlyphs = face.glyphIndexesForString(radicals);
    for (qsizetype k = 0; k < radicalGlyphs.size() && k < radicals.size(); ++k) {
        const auto it = ideographOfGlyph.constFind(radicalGlyphs[k]);
        if (radicalGlyphs[k] != 0 && it != ideographOfGlyph.constEnd())
            map.insert(radicals[k].unicode(), *it);
    }
    return map;
}

// Without the face: the compatibility equivalent, which every Kangxi radical has.
RadicalMap compatibilityEquivalents()
{
    RadicalMap map;
    for (char16_t c = firstRadical; c <= lastRadical; ++c) {
        const QString equivalent = QString(QChar(c)).normalized(QString::NormalizationForm_KC);
        if (equivalent.size() == 1 && equivalent[0].unicode() != c)
            map.insert(c, equivalent[0].unicode());
    }
    return map;
}

RadicalMap radicalMapFor(const QString &postScriptName)
{
    static QMutex mutex;
    static QHash<QString, RadicalMap> cache;
    QMutexLocker lock(&mutex);
    if (const auto it = cache.constFind(postScriptName); it != cache.constEnd())
        return *it;
    const std::optional<QRawFont> face = installedFace(postScriptName);
    const RadicalMap map = face ? radicalsOfFace(*face) : compatibilityEquivalents();
    cache.insert(postScriptName, map);
    return map;
}

std::optional<char16_t> hexCode(const char *digits)
{
    bool ok = false;
    const uint value = QByteArray::fromRawData(digits, 4).toUInt(&ok, 16);
    return ok ? std::optional<char16_t>(char16_t(value)) : std::nullopt;
}

void writeHexCode(char *digits, char16_t code)
{
    static const char hex[] = "0123456789ABCDEF";
    for (int k = 3; k >= 0; --k, code >>= 4)
        digits[k] = hex[code & 0xF];
}

// Rewrites the destination codes of one "beginbfrange … endbfrange" line: the list of a
// "<first> <last> [<code> …]" line, or the code of a one-glyph "<glyph> <glyph> <code>" line. The
// start code of a longer linear range names a run of consecutive characters and stays.
void patchRangeLine(char *line, qsizetype length, const RadicalMap &map)
{
    std::vector<qsizetype> codes; // offsets of the four hex digits of each <XXXX> token
    for (qsizetype k = 0; k + 5 < length; ++k) {
        if (line[k] == '<' && line[k + 5] == '>')
            codes.push_back(k + 1);
    }
    const qsizetype bracket = QByteArray::fromRawData(line, length).indexOf('[');
    std::vector<qsizetype> destinations;
    if (bracket >= 0) {
        for (qsizetype offset : codes) {
            if (offset > bracket)
                destinations.push_back(offset);
        }
    } else if (codes.size() == 3 && std::equal(line + codes[0], line + codes[0] + 4, line + codes[1])) {
        destinations.push_back(codes[2]);
    }
    for (qsizetype offset : destinations) {
        const std::optional<char16_t> code = hexCode(line + offset);
        if (!code)
            continue;
        const auto it = map.constFind(*code);
        if (it != map.constEnd())
            writeHexCode(line + offset, *it);
    }
}

void patchCMap(QByteArray &pdf, qsizetype begin, qsizetype end, const RadicalMap &map)
{
    qsizetype position = begin;
    while (position < end) {
        const qsizetype sectionStart = pdf.indexOf("beginbfrange", position);
        if (sectionStart < 0 || sectionStart >= end)
            return;
        const qsizetype sectionEnd = pdf.indexOf("endbfrange", sectionStart);
        if (sectionEnd < 0 || sectionEnd > end)
            return;
        qsizetype line = pdf.indexOf('\n', sectionStart) + 1;
        while (line > 0 && line < sectionEnd) {
            qsizetype lineEnd = pdf.indexOf('\n', line);
            if (lineEnd < 0 || lineEnd > sectionEnd)
                lineEnd = sectionEnd;
            patchRangeLine(pdf.data() + line, lineEnd - line, map);
            line = lineEnd + 1;
        }
        position = sectionEnd;
    }
}

} // namespace

QByteArray withIdeographsForRadicals(const QByteArray &pdf)
{
    QByteArray result = pdf;
    static const QByteArray toUnicodeKey("/ToUnicode ");
    for (qsizetype at = result.indexOf(toUnicodeKey); at >= 0; at = result.indexOf(toUnicodeKey, at + 1)) {
        // The font dictionary this entry belongs to names its face.
        const qsizetype objectStart = result.lastIndexOf(" obj", at);
        const qsizetype baseFont = result.lastIndexOf("/BaseFont /", at);
        if (objectStart < 0 || baseFont < objectStart)
            continue;
        const qsizetype nameStart = baseFont + 11;
        qsizetype nameEnd = nameStart;
        while (nameEnd < result.size() && !QByteArrayView(" \n\r/<>[]()").contains(result[nameEnd]))
            ++nameEnd;
        const QString faceName = QString::fromLatin1(result.mid(nameStart, nameEnd - nameStart));
        // Its character map is the uncompressed stream of the object named by the entry.
        bool ok = false;
        const qsizetype numberEnd = result.indexOf(' ', at + toUnicodeKey.size());
        const int object = result.mid(at + toUnicodeKey.size(), numberEnd - at - toUnicodeKey.size()).toInt(&ok);
        if (!ok)
            continue;
        const QByteArray header = '\n' + QByteArray::number(object) + " 0 obj";
        qsizetype objectAt = result.indexOf(header);
        if (objectAt < 0 && result.startsWith(header.mid(1)))
            objectAt = 0;
        if (objectAt < 0)
            continue;
        const qsizetype streamStart = result.indexOf("stream\n", objectAt);
        const qsizetype streamEnd = result.indexOf("endstream", streamStart);
        const qsizetype objectEnd = result.indexOf("endobj", objectAt);
        if (streamStart < 0 || streamEnd < 0 || objectEnd < streamEnd)
            continue;
        const qsizetype cmap = result.indexOf("begincmap", streamStart);
        if (cmap < 0 || cmap > streamEnd)
            continue; // compressed or not a character map: left as it is
        patchCMap(result, cmap, streamEnd, radicalMapFor(faceName));
    }
    return result;
}

} // namespace PdfTextLayer
