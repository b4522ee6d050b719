#pragma once

#include "textengine/TextComparisonChange.h"
#include "textengine/TextComparisonResult.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>
#include <utility>
#include <vector>

// The changes of the edited text against the original: runs of the edited text outside the
// longest common subsequence that the walk picks, joined across white space, numbered from 1.
// Removed text is not marked. Tokens are characters (grapheme clusters) while both texts have
// at most 1400 of them, else lines. Equality of texts and tokens is canonical equivalence.
// Texts whose search for the longest common subsequence would take more than work proportional
// to them (lines that moved, texts edited throughout) are compared by anchoring on lines found
// once on each side instead (LineComparison.h): still a correct diff, not always the longest.
// Nothing is kept between calls.
namespace TextComparisonDiff {

// Both sides are compared character by character below this many characters.
inline constexpr qsizetype characterModeLimit = 1401;

// compare(original, edited)->changes.
std::vector<TextComparisonChange> changes(const QString &original, const QString &edited);

// The changes and the aligned original of one text version, from one cut of the texts into
// lines and one search (two when the texts mix kinds of line break or end differently). Runs on
// any thread; returns nullopt once it sees `cancelled` raised (the answer is no longer wanted),
// within a few tens of milliseconds whatever the texts, so a caller can drop a search without
// waiting for it.
std::optional<TextComparisonResult> compare(
    const QString &original, const QString &edited, const std::atomic<bool> *cancelled = nullptr);

std::vector<TextToken> characterTokens(const QString &text);

// Lines end after "\n", after "\r\n" and after a lone "\r"; a final line break yields no empty
// token, and the token's text includes its line break.
std::vector<TextToken> lineTokens(const QString &text);

// Indices of the edited tokens that the walk over the LCS table matches, ascending.
std::vector<qsizetype> matchedEditedTokenIndices(const QStringList &original, const QStringList &edited);

// Drops empty ranges and joins neighbours that touch or that only white space separates.
std::vector<std::pair<qsizetype, qsizetype>> mergedChangeRanges(
    const std::vector<std::pair<qsizetype, qsizetype>> &ranges, const QString &edited);

// Canonical equivalence of two texts (identical code units are equal without normalising).
bool canonicallyEqual(const QString &a, const QString &b);

} // namespace TextComparisonDiff

namespace TextComparisonDisplay {

// The original with empty lines inserted so that its lines stand on the rows of the
// corresponding edited lines. Line ends of both texts are made "\n" first.
// TextComparisonDiff::compare(original, edited)->alignedOriginal.
QString alignedOriginalText(const QString &original, const QString &edited);

} // namespace TextComparisonDisplay
