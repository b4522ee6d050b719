#include "textengine/ComparedLines.h"

#include "textengine/LineInterner.h"
#include "textengine/TokenInterner.h"

#include <algorithm>

namespace {

// The cancel flag is looked at every this many lines.
constexpr std::size_t comparedLinesLookEvery = 4096;

bool comparedLinesCancelled(const std::atomic<bool> *cancelled)
{
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

// The side's breaks and break kinds; false once cancelled.
bool comparedLinesBreaks(QStringView text, ComparedLines::Side &side, const std::atomic<bool> *cancelled)
{
    side.breaks.resize(side.lines.size());
    std::uint8_t kinds = 0;
    for (std::size_t k = 0; k < side.lines.size(); ++k) {
        if (k % comparedLinesLookEvery == 0 && comparedLinesCancelled(cancelled))
            return false;
        const int kind = lineBreakKind(text, side.lines[k]);
        side.breaks[k] = std::uint8_t(kind);
        if (kind > 0)
            kinds |= std::uint8_t(1u << (kind - 1));
    }
    side.breakKinds = kinds;
    return true;
}

// Whether the text is in NFD already (TokenInterner::isTriviallyDecomposed), a piece at a time.
std::optional<bool> comparedLinesDecomposed(QStringView text, const std::atomic<bool> *cancelled)
{
    constexpr qsizetype piece = qsizetype(1) << 20;
    for (qsizetype at = 0; at < text.size(); at += piece) {
        if (comparedLinesCancelled(cancelled))
            return std::nullopt;
        if (!TokenInterner::isTriviallyDecomposed(text.mid(at, std::min(piece, text.size() - at))))
            return false;
    }
    return true;
}

bool comparedLinesEndsWithBreak(QStringView text)
{
    return text.isEmpty() || text.endsWith(u'\n') || text.endsWith(u'\r');
}

// The edited text's ids. Most lines of an edited text stand where they stood in the original,
// give or take the lines inserted or removed before them: each line is first compared with the
// original line at the offset the last lines kept, and only looked up when that one differs.
// Equal code units have one id, so the ids are the lookup's. A looked-up line that the original
// holds close to where the offset puts it moves the offset there.
bool comparedLinesEditedIds(LineInterner &interner, const QString &original, const ComparedLines::Side &originalSide,
                            const QString &edited, ComparedLines::Side &editedSide, const std::atomic<bool> *cancelled)
{
    constexpr std::int64_t resyncReach = 64;
    const int originalIdCount = interner.size();
    interner.readFrom(&edited);
    const LineSpans &originalSpans = originalSide.lines;
    const std::vector<int> &originalIds = originalSide.ids;
    const auto originalCount = std::int64_t(originalSpans.size());
    std::int64_t offset = 0;
    for (std::size_t j = 0; j < editedSide.lines.size(); ++j) {
        if (j % comparedLinesLookEvery == 0 && comparedLinesCancelled(cancelled))
            return false;
        const QStringView line = editedSide.content(edited, j);
        const std::int64_t i = std::int64_t(j) + offset;
        if (i >= 0 && i < originalCount && originalSide.content(original, std::size_t(i)) == line) {
            editedSide.ids.push_back(originalIds[std::size_t(i)]);
            continue;
        }
        const int id = interner.id(line.data() - edited.constData(), line.size());
        if (id < originalIdCount) {
            const std::int64_t from = std::clamp<std::int64_t>(i - resyncReach, 0, originalCount);
            const std::int64_t to = std::clamp<std::int64_t>(i + resyncReach + 1, 0, originalCount);
            for (std::int64_t at = from; at < to; ++at) {
                if (originalIds[std::size_t(at)] == id) {
                    offset = at - std::int64_t(j);
                    break;
                }
            }
        }
        editedSide.ids.push_back(id);
    }
    return true;
}

} // namespace

int lineBreakKind(QStringView text, TokenSpan line)
{
    if (line.end <= line.start)
        return 0;
    const char16_t last = text.at(line.end - 1).unicode();
    if (last == u'\r')
        return 3;
    if (last != u'\n')
        return 0;
    return line.end - line.start >= 2 && text.at(line.end - 2) == u'\r' ? 2 : 1;
}

std::optional<ComparedLines> compareLines(const QString &original, const QString &edited,
                                          const std::atomic<bool> *cancelled)
{
    ComparedLines result;
    std::optional<LineSpans> originalLines = LineSpans::cut(original, LineSplit::KeepingBreaks, cancelled);
    if (!originalLines)
        return std::nullopt;
    result.original.lines = std::move(*originalLines);
    std::optional<LineSpans> editedLines = LineSpans::cut(edited, LineSplit::KeepingBreaks, cancelled);
    if (!editedLines)
        return std::nullopt;
    result.edited.lines = std::move(*editedLines);
    if (!comparedLinesBreaks(original, result.original, cancelled)
        || !comparedLinesBreaks(edited, result.edited, cancelled))
        return std::nullopt;

    const std::optional<bool> originalDecomposed = comparedLinesDecomposed(original, cancelled);
    if (!originalDecomposed)
        return std::nullopt;
    const std::optional<bool> editedDecomposed = *originalDecomposed ? comparedLinesDecomposed(edited, cancelled)
                                                                     : std::optional<bool>(false);
    if (!editedDecomposed)
        return std::nullopt;
    const bool decomposed = *originalDecomposed && *editedDecomposed;
    const std::size_t expected = std::max(result.original.lines.size(), result.edited.lines.size());
    LineInterner interner(decomposed, expected);
    interner.readFrom(&original);
    std::vector<int> &originalIds = result.original.ids;
    originalIds.reserve(result.original.lines.size() + 1);
    // The hashes of the next lines are taken ahead and their slots fetched.
    constexpr std::size_t ahead = 8;
    const std::size_t originalCount = result.original.lines.size();
    std::size_t hashes[ahead] = {};
    auto hashAt = [&](std::size_t k) {
        const QStringView line = result.original.content(original, k);
        const std::size_t hash = interner.hashOf(line.data() - original.constData(), line.size());
        interner.prefetch(hash);
        hashes[k % ahead] = hash;
    };
    for (std::size_t k = 0; k < std::min(ahead, originalCount); ++k)
        hashAt(k);
    for (std::size_t k = 0; k < originalCount; ++k) {
        if (k % comparedLinesLookEvery == 0 && comparedLinesCancelled(cancelled))
            return std::nullopt;
        const QStringView line = result.original.content(original, k);
        const std::size_t hash = hashes[k % ahead];
        if (k + ahead < originalCount)
            hashAt(k + ahead);
        originalIds.push_back(interner.id(line.data() - original.constData(), line.size(), hash));
    }
    result.edited.ids.reserve(result.edited.lines.size() + 1);
    if (!comparedLinesEditedIds(interner, original, result.original, edited, result.edited, cancelled))
        return std::nullopt;
    result.emptyId = interner.id(0, 0);
    if (comparedLinesEndsWithBreak(original))
        originalIds.push_back(result.emptyId);
    if (comparedLinesEndsWithBreak(edited))
        result.edited.ids.push_back(result.emptyId);
    result.idCount = interner.size();
    return result;
}
