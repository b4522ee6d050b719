#pragma once

#include "textengine/TokenInterner.h"

#include <QString>
#include <QStringView>

#include <deque>
#include <memory>
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

std::vector<TokenSpan> splitLines(QStringView text, LineSplit split, qsizetype offset = 0);

// The line tokens of an original and an edited text with their ids, kept for the next call.
// While the original stays the same (typing in the edited text), the next edited text is
// compared with the last one: the lines before the first and after the last differing code
// unit keep their spans (shifted) and ids, and only the lines between are cut and looked up
// again. The ids are those a fresh TokenInterner over both texts would give up to renaming,
// so any walk over them is the same.
class LineTokenCache {
public:
    explicit LineTokenCache(LineSplit split)
        : m_split(split)
    {
    }

    struct Tokens {
        std::vector<TokenSpan> originalSpans;
        std::vector<TokenSpan> editedSpans;
        std::vector<int> originalIds;
        std::vector<int> editedIds;
        // Both texts are in NFD already, so canonical equivalence is identity of code units.
        bool decomposed = false;
    };

    const Tokens &tokens(const QString &original, const QString &edited);

private:
    void rebuild(const QString &original, const QString &edited);
    bool update(const QString &edited);

    LineSplit m_split;
    bool m_valid = false;
    // The interner's keys view these texts and the copies of the lines cut since.
    QString m_original;
    QString m_firstEdited;
    std::deque<QString> m_lineCopies;
    qsizetype m_copiedUnits = 0;
    QString m_edited;
    std::unique_ptr<TokenInterner> m_interner;
    Tokens m_tokens;
};
