#pragma once

#include "textengine/OffsetColumn.h"

#include <QStringView>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// A token of a text: code units [start, end).
struct TokenSpan {
    qsizetype start = 0;
    qsizetype end = 0;
};

// How a text is cut into lines: with each line's break included (lines end after "\n", "\r\n"
// and a lone "\r"; a final break yields no empty line), or between "\n" separators (the empty
// lines included; "" is one empty line).
enum class LineSplit { KeepingBreaks, AtSeparators };

// Calls found(start) for each line of the text in order, start counted from offset.
template<typename Found>
void forEachLineStart(QStringView text, LineSplit split, qsizetype offset, Found &&found)
{
    const qsizetype length = text.size();
    if (split == LineSplit::AtSeparators) {
        found(offset);
        for (qsizetype next = text.indexOf(u'\n'); next >= 0; next = text.indexOf(u'\n', next + 1))
            found(offset + next + 1);
        return;
    }
    if (length == 0)
        return;
    found(offset);
    // Control characters always stand alone as grapheme clusters (or as the pair "\r\n"), so
    // the line ends can be found on code units.
    if (!text.contains(u'\r')) {
        // Most texts: only "\n" ends lines, found by the library's vectorised search.
        for (qsizetype next = text.indexOf(u'\n'); next >= 0 && next + 1 < length; next = text.indexOf(u'\n', next + 1))
            found(offset + next + 1);
        return;
    }
    for (qsizetype i = 0; i + 1 < length; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r' && text.at(i + 1) == u'\n')
            continue;
        if (c == u'\n' || c == u'\r')
            found(offset + i + 1);
    }
}

// What LineSpans::cut reports besides the lines.
struct LineCutExtras {
    // When set, filled with the kind of each line's break: 0 none, 1 "\n", 2 "\r\n", 3 "\r".
    std::vector<std::uint8_t> *breaks = nullptr;
    // When set, called with each piece of the text in order, once its lines are found (while the
    // piece is still in the cache, for another pass over the text).
    std::function<void(QStringView piece)> piece;
};

// The lines of a text, kept as the offsets where they start (four bytes a line): a line ends
// where the next one starts, less the separator when cut at separators; the last one at the end
// of the text.
class LineSpans {
public:
    explicit LineSpans(LineSplit split = LineSplit::KeepingBreaks)
        : m_split(split)
    {
    }
    LineSpans(QStringView text, LineSplit split);

    // The same lines, cut a piece of the text at a time with a look at `cancelled` in between
    // (a long text takes tens of milliseconds); nothing once it is raised.
    static std::optional<LineSpans> cut(QStringView text, LineSplit split, const std::atomic<bool> *cancelled,
                                        const LineCutExtras &extras = {});

    std::size_t size() const { return m_starts.size(); }
    bool empty() const { return m_starts.empty(); }
    TokenSpan operator[](std::size_t k) const
    {
        const qsizetype start = m_starts[k];
        if (k + 1 == m_starts.size())
            return {start, m_end};
        return {start, m_starts[k + 1] - (m_split == LineSplit::AtSeparators ? 1 : 0)};
    }

    // For an edit of the text: lines [front, back) give way to the lines cut from
    // text[cutFrom, cutTo) of the new text, and the lines after them move by shift.
    void replace(std::size_t front, std::size_t back, QStringView newText, qsizetype cutFrom, qsizetype cutTo,
                 qsizetype shift);

private:
    OffsetColumn m_starts;
    qsizetype m_end = 0;
    LineSplit m_split;
};

// The lines of a text as spans, start counted from offset.
std::vector<TokenSpan> splitLines(QStringView text, LineSplit split, qsizetype offset = 0);
