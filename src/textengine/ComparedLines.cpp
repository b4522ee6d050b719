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

// Cuts the side's lines, notes their breaks, and tells whether the text is in NFD (checked on
// each piece while the cut holds it in the cache). False once cancelled.
bool comparedLinesCut(const QString &text, ComparedLines::Side &side, bool &decomposed,
                      const std::atomic<bool> *cancelled)
{
    LineCutExtras extras;
    extras.breaks = &side.breaks;
    extras.piece = [&decomposed](QStringView piece) {
        decomposed = decomposed && TokenInterner::isTriviallyDecomposed(piece);
    };
    std::optional<LineSpans> lines = LineSpans::cut(text, LineSplit::KeepingBreaks, cancelled, extras);
    if (!lines)
        return false;
    side.lines = std::move(*lines);
    for (std::uint8_t kind : side.breaks) {
        if (kind > 0)
            side.breakKinds |= std::uint8_t(1u << (kind - 1));
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

std::optional<ComparedLines> compareLines(const QString &original, const QString &edited,
                                          const std::atomic<bool> *cancelled)
{
    ComparedLines result;
    bool decomposed = true;
    if (!comparedLinesCut(original, result.original, decomposed, cancelled)
        || !comparedLinesCut(edited, result.edited, decomposed, cancelled))
        return std::nullopt;
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
