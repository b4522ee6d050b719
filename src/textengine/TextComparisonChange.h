#pragma once

#include <QString>

#include <utility>

// One run of changed text in the edited text. The range is kept as UTF-16 offsets of the edited
// text (start inclusive, end exclusive), always on grapheme-cluster boundaries and never empty.
struct TextComparisonChange {
    qint64 sequenceNumber = 0;
    qsizetype start = 0;
    qsizetype end = 0;

    // (location, length) in UTF-16 code units of the edited text the change was computed on.
    // Offsets are already UTF-16, so this only clips to the text in case a caller passes
    // another text than the one the change came from.
    std::pair<qint64, qint64> nsRange(const QString &edited) const;

    bool operator==(const TextComparisonChange &) const = default;
};

// The unit the diff compares: the token's text and where it stands (UTF-16 offsets).
struct TextToken {
    QString value;
    qsizetype start = 0;
    qsizetype end = 0;

    bool operator==(const TextToken &) const = default;
};
