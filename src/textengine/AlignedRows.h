#pragma once

#include "textengine/ComparedLines.h"

#include <QString>

#include <cstddef>

// The aligned original as it is written, row by row: an original line, or an empty row opposite
// an edited line without a counterpart. Rows are joined with "\n"; lines that follow each other
// in an original whose breaks are all "\n" are copied as one run.
class AlignedRows {
public:
    AlignedRows(const QString &original, const ComparedLines::Side &side);

    // Original line k; the empty last line (k == diffCount()) of a text that ends with a break.
    void line(std::size_t k);
    void empty();
    // Forgets the rows written so far.
    void clear();
    QString take();

private:
    void separate();
    void flush();

    const QString &m_original;
    const ComparedLines::Side &m_side;
    const bool m_plain;
    QString m_text;
    bool m_first = true;
    bool m_pending = false;
    qsizetype m_pendingStart = 0;
    qsizetype m_pendingEnd = 0;
    std::size_t m_pendingLine = 0;
};
