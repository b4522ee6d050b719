#pragma once

#include "textengine/LineInterner.h"
#include "textengine/LineSpans.h"
#include "textengine/TokenInterner.h"

#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

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
        LineSpans originalSpans;
        LineSpans editedSpans;
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
    // The interner's entries lie in the texts beside it (kept in one place, so that moving the
    // cache leaves them where they are): both texts as first cut, and the lines cut since.
    struct Interned {
        Interned(const QString &original, const QString &edited, bool decomposed, std::size_t expectedLines)
            : original(original)
            , firstEdited(edited)
            , interner(decomposed, expectedLines)
        {
        }
        QString original;
        QString firstEdited;
        QString lineCopies;
        LineInterner interner;
    };
    std::unique_ptr<Interned> m_interned;
    QString m_edited;
    Tokens m_tokens;
};
