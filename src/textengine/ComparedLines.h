#pragma once

#include "textengine/LineSpans.h"

#include <QString>
#include <QStringView>

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

// The lines of an original and an edited text, cut once for both the diff and the alignment.
// Each line keeps its break (lines end after "\n", "\r\n" and a lone "\r", as the diff counts
// them) and gets the id of its text without the break, equal for canonically equivalent lines
// (as the alignment compares them once every break is "\n").
struct ComparedLines {
    struct Side {
        LineSpans lines { LineSplit::KeepingBreaks };
        // One id per line, and one more, the empty line's, when the text is empty or ends with a
        // break: the alignment sees that empty last line, the diff does not.
        std::vector<int> ids;
        // Per line the kind of its break (0 none, 1 "\n", 2 "\r\n", 3 "\r"), and the kinds the
        // text holds, one bit per kind.
        std::vector<std::uint8_t> breaks;
        std::uint8_t breakKinds = 0;

        // The line's text without its break.
        QStringView content(QStringView text, std::size_t k) const
        {
            const TokenSpan span = lines[k];
            const std::uint8_t kind = breaks[k];
            return text.mid(span.start, span.end - span.start - (kind == 0 ? 0 : (kind == 2 ? 2 : 1)));
        }
        std::size_t diffCount() const { return lines.size(); }
        std::size_t rowCount() const { return ids.size(); }
        bool endsWithBreak() const { return ids.size() > lines.size(); }
    };
    Side original;
    Side edited;
    int idCount = 0;
    int emptyId = 0;
};

// Nothing once `cancelled` is raised.
std::optional<ComparedLines> compareLines(const QString &original, const QString &edited,
                                          const std::atomic<bool> *cancelled);
