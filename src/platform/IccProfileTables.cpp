#include "platform/IccProfileTables.h"

#include <algorithm>
#include <array>

namespace IccProfileTables {

namespace {

// Far above anything a profile of up to 4 GB can hold: sizes are capped there instead of overflowing.
constexpr qint64 iccSizeCap = qint64(1) << 40;
// The transform's own grid, computed from the profile (17 points on each of four inputs, three
// 16-bit outputs: about 0.5 MB), with room for the rest of its state.
constexpr qint64 iccTransformBytes = qint64(1) << 20;
// Copies of a table the library holds at once while it builds a transform from it (measured with
// a counting allocator): the one it keeps with the profile, the pipeline the transform takes from
// it and the ones its optimisation works on. A 'mft1'/'mft2' table takes one more than the others.
constexpr qint64 iccLutCopies = 4;
constexpr qint64 iccTableCopies = 3;
// Curves given by a formula or by segments are evaluated into 16-bit tables of this many entries.
constexpr qint64 iccCurveEntries = 4096;
// The most channels the library reads a table for.
constexpr int iccMaxChannels = 15;
// The most tags the library reads a profile with.
constexpr qint64 iccMaxTags = 100;

constexpr quint32 iccSignature(const char (&text)[5])
{
    return (quint32(quint8(text[0])) << 24) | (quint32(quint8(text[1])) << 16) | (quint32(quint8(text[2])) << 8)
        | quint32(quint8(text[3]));
}

qint64 iccProduct(qint64 a, qint64 b)
{
    if (a <= 0 || b <= 0)
        return 0;
    return a > iccSizeCap / b ? iccSizeCap : a * b;
}

// The bytes of one tag (or one element inside a tag): every read is checked against its length.
// `end` is where the profile the library reads ends.
struct IccSpan {
    const QByteArray &bytes;
    qint64 start = 0;
    qint64 size = 0;
    qint64 end = 0;

    bool has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
    }
    int byte(qint64 offset) const { return quint8(bytes[start + offset]); }
    int u16(qint64 offset) const { return (byte(offset) << 8) | byte(offset + 1); }
    qint64 u32(qint64 offset) const { return (qint64(u16(offset)) << 16) | u16(offset + 2); }
    IccSpan inner(qint64 offset, qint64 length) const { return { bytes, start + offset, length, end }; }
    // From `offset` to the end of the profile: the library reads a part that a position table
    // points at as far as the part itself declares, whatever size the table gives it.
    IccSpan rest(qint64 offset) const
    {
        const qint64 from = std::clamp<qint64>(start + offset, start, end);
        return { bytes, from, end - from, end };
    }
};

// What a table costs the library: one copy widened to 16 bits or floats, kept with the profile,
// and the further copies made of it while a transform is built.
struct IccTableBytes {
    qint64 held = 0;
    qint64 building = 0;
};

IccTableBytes iccTable(qint64 bytes, qint64 copies)
{
    return { bytes, std::min(bytes * (copies - 1), iccSizeCap) };
}

// A curve ('curv' or 'para') at `offset`; moves `offset` past it, to the next four-byte boundary.
std::optional<qint64> measureCurve(const IccSpan &span, qint64 &offset)
{
    if (!span.has(offset, 12))
        return std::nullopt;
    qint64 length = 0;
    qint64 entries = iccCurveEntries;
    if (span.u32(offset) == iccSignature("curv")) {
        const qint64 count = span.u32(offset + 8);
        if (count > 65530) // more than the library takes
            return std::nullopt;
        length = 12 + 2 * count;
        entries = std::max(count, iccCurveEntries);
    } else if (span.u32(offset) == iccSignature("para")) {
        static constexpr std::array<int, 5> parameters { 1, 3, 4, 5, 7 };
        const int function = span.u16(offset + 8);
        if (function >= int(parameters.size()))
            return std::nullopt;
        length = 12 + 4 * parameters[size_t(function)];
    } else {
        return std::nullopt;
    }
    if (!span.has(offset, length))
        return std::nullopt;
    offset += (length + 3) / 4 * 4;
    return entries * 2;
}

std::optional<qint64> measureCurves(const IccSpan &span, qint64 offset, int count)
{
    qint64 bytes = 0;
    for (int i = 0; i < count; ++i) {
        const std::optional<qint64> curve = measureCurve(span, offset);
        if (!curve)
            return std::nullopt;
        bytes += *curve;
    }
    return bytes;
}

// Grid entries of a table of `inputs` dimensions (points per dimension from `points`) and `outputs`.
template<typename Points>
qint64 gridEntries(int inputs, int outputs, Points points)
{
    qint64 entries = outputs;
    for (int i = 0; i < inputs; ++i)
        entries = iccProduct(entries, points(i));
    return entries;
}

// 'mft1' and 'mft2': input tables, one grid with the same points on every side, output tables.
std::optional<IccTableBytes> measureLut(const IccSpan &span, bool sixteenBits)
{
    const qint64 header = sixteenBits ? 52 : 48;
    if (!span.has(0, header))
        return std::nullopt;
    const int inputs = span.byte(8);
    const int outputs = span.byte(9);
    const int points = span.byte(10);
    if (inputs < 1 || outputs < 1 || inputs > iccMaxChannels || outputs > iccMaxChannels)
        return std::nullopt;
    const qint64 inEntries = sixteenBits ? span.u16(48) : 256;
    const qint64 outEntries = sixteenBits ? span.u16(50) : 256;
    const qint64 grid = gridEntries(inputs, outputs, [&](int) { return points; });
    const qint64 curves = inEntries * inputs + outEntries * outputs;
    if (!span.has(header, iccProduct(grid + curves, sixteenBits ? 2 : 1)))
        return std::nullopt;
    return iccTable(iccProduct(grid + std::max(inEntries, iccCurveEntries) * inputs
                                   + std::max(outEntries, iccCurveEntries) * outputs,
                               2),
                    iccLutCopies);
}

// 'mAB ' and 'mBA ': up to three sets of curves, a matrix and a grid, each where an offset says.
std::optional<IccTableBytes> measureLutAB(const IccSpan &span, bool aToB)
{
    if (!span.has(0, 32))
        return std::nullopt;
    const int inputs = span.byte(8);
    const int outputs = span.byte(9);
    if (inputs < 1 || outputs < 1 || inputs > iccMaxChannels || outputs > iccMaxChannels)
        return std::nullopt;
    const qint64 curvesB = span.u32(12), matrix = span.u32(16), curvesM = span.u32(20), clut = span.u32(24),
                 curvesA = span.u32(28);
    qint64 bytes = 0;
    const std::array<std::pair<qint64, int>, 3> curveSets { std::pair { curvesA, aToB ? inputs : outputs },
                                                            std::pair { curvesM, aToB ? outputs : inputs },
                                                            std::pair { curvesB, aToB ? outputs : inputs } };
    for (const auto &[offset, count] : curveSets) {
        if (offset == 0)
            continue;
        const std::optional<qint64> curves = measureCurves(span, offset, count);
        if (!curves)
            return std::nullopt;
        bytes += *curves;
    }
    if (matrix != 0 && !span.has(matrix, 12 * 4))
        return std::nullopt;
    if (clut != 0) {
        if (!span.has(clut, 20))
            return std::nullopt;
        const int precision = span.byte(clut + 16);
        const qint64 entries = gridEntries(inputs, outputs, [&](int i) { return span.byte(clut + i); });
        if ((precision != 1 && precision != 2) || !span.has(clut + 20, iccProduct(entries, precision)))
            return std::nullopt;
        bytes += iccProduct(entries, 2);
    }
    return iccTable(bytes, iccTableCopies);
}

// A segmented curve ('sngf') of a multi-process element: formula and sampled segments in turn.
std::optional<qint64> measureSegmentedCurve(const IccSpan &span)
{
    if (!span.has(0, 12))
        return std::nullopt;
    const qint64 segments = span.u16(8);
    qint64 offset = 12 + (segments - 1) * 4; // the break points between segments
    qint64 bytes = iccCurveEntries * 2;
    for (qint64 i = 0; i < segments; ++i) {
        if (!span.has(offset, 12))
            return std::nullopt;
        if (span.u32(offset) == iccSignature("parf")) {
            static constexpr std::array<int, 3> parameters { 4, 5, 5 };
            const int function = span.u16(offset + 8);
            if (function >= int(parameters.size()))
                return std::nullopt;
            offset += 12 + 4 * parameters[size_t(function)];
        } else if (span.u32(offset) == iccSignature("samf")) {
            const qint64 count = span.u32(offset + 8);
            if (!span.has(offset + 12, count * 4))
                return std::nullopt;
            offset += 12 + count * 4;
            bytes += (count + 1) * 4;
        } else {
            return std::nullopt;
        }
    }
    return span.has(0, offset) ? std::optional<qint64>(bytes) : std::nullopt;
}

// One element of a multi-process tag: curves, a matrix or a grid of floats.
std::optional<qint64> measureElement(const IccSpan &span)
{
    if (!span.has(0, 12))
        return std::nullopt;
    const quint32 type = quint32(span.u32(0));
    const int inputs = span.u16(8);
    const int outputs = span.u16(10);
    if (type == iccSignature("bACS") || type == iccSignature("eACS"))
        return 0;
    if (inputs < 1 || outputs < 1 || inputs > iccMaxChannels || outputs > iccMaxChannels)
        return std::nullopt;
    if (type == iccSignature("matf")) {
        const qint64 bytes = (qint64(inputs) * outputs + outputs) * 4;
        return span.has(12, bytes) ? std::optional<qint64>(bytes) : std::nullopt;
    }
    if (type == iccSignature("clut")) {
        if (!span.has(0, 28))
            return std::nullopt;
        const qint64 bytes = iccProduct(gridEntries(inputs, outputs, [&](int i) { return span.byte(12 + i); }), 4);
        return span.has(28, bytes) ? std::optional<qint64>(bytes) : std::nullopt;
    }
    if (type == iccSignature("cvst")) {
        if (!span.has(12, qint64(inputs) * 8))
            return std::nullopt;
        qint64 bytes = 0;
        for (int i = 0; i < inputs; ++i) {
            const std::optional<qint64> curve = measureSegmentedCurve(span.rest(span.u32(12 + 8 * i)));
            if (!curve)
                return std::nullopt;
            bytes += *curve;
        }
        return bytes;
    }
    return std::nullopt;
}

// 'mpet': a chain of elements, each where the position table says. The sizes the table gives are
// not relied on: the library writes them without each element's 8-byte header, and reads them so.
std::optional<IccTableBytes> measureMultiProcess(const IccSpan &span)
{
    if (!span.has(0, 16))
        return std::nullopt;
    const qint64 elements = span.u32(12);
    if (!span.has(16, elements * 8))
        return std::nullopt;
    qint64 bytes = 0;
    for (qint64 i = 0; i < elements; ++i) {
        const std::optional<qint64> element = measureElement(span.rest(span.u32(16 + 8 * i)));
        if (!element)
            return std::nullopt;
        bytes = std::min(bytes + *element, iccSizeCap);
    }
    return iccTable(bytes, iccTableCopies);
}

std::optional<IccTableBytes> measureTag(const IccSpan &span)
{
    if (!span.has(0, 4))
        return IccTableBytes {};
    switch (quint32(span.u32(0))) {
    case iccSignature("mft1"):
        return measureLut(span, false);
    case iccSignature("mft2"):
        return measureLut(span, true);
    case iccSignature("mAB "):
        return measureLutAB(span, true);
    case iccSignature("mBA "):
        return measureLutAB(span, false);
    case iccSignature("mpet"):
        return measureMultiProcess(span);
    case iccSignature("curv"):
    case iccSignature("para"): {
        qint64 offset = 0;
        const std::optional<qint64> curve = measureCurve(span, offset);
        return curve ? std::optional<IccTableBytes>(iccTable(*curve, iccTableCopies)) : std::nullopt;
    }
    default:
        return IccTableBytes {}; // no table the library widens
    }
}

} // namespace

std::optional<qint64> workingBytes(const QByteArray &profile)
{
    const IccSpan whole { profile, 0, profile.size(), profile.size() };
    if (!whole.has(0, 132))
        return std::nullopt;
    // The library reads no further than the size the header gives, nor past the bytes it has.
    const qint64 end = std::min<qint64>(whole.u32(0), profile.size());
    const IccSpan header { profile, 0, end, end };
    // Of a longer directory the library reads no more than its limit, if it reads the profile at all.
    const qint64 tags = std::min(header.u32(128), iccMaxTags);
    if (!header.has(132, tags * 12))
        return std::nullopt;
    // The library keeps its own copy of the profile's bytes.
    qint64 bytes = iccTransformBytes + profile.size();
    qint64 building = 0;
    for (qint64 i = 0; i < tags; ++i) {
        const qint64 offset = header.u32(136 + 12 * i), size = header.u32(140 + 12 * i);
        if (!header.has(offset, size))
            continue; // the library skips a tag that lies outside the profile
        const std::optional<IccTableBytes> tag = measureTag(header.inner(offset, size));
        if (!tag)
            return std::nullopt;
        bytes = std::min(bytes + tag->held, iccSizeCap);
        // A transform is built from one table at a time.
        building = std::max(building, tag->building);
    }
    return std::min(bytes + building, iccSizeCap);
}

} // namespace IccProfileTables
