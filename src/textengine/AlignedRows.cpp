#include "textengine/AlignedRows.h"

AlignedRows::AlignedRows(const QString &original, const ComparedLines::Side &side)
    : m_original(original)
    , m_side(side)
    , m_plain((side.breakKinds & ~1u) == 0)
{
    m_text.reserve(original.size() + qsizetype(side.rowCount()) + 16);
}

void AlignedRows::line(std::size_t k)
{
    if (k >= m_side.diffCount()) {
        empty();
        return;
    }
    const QStringView content = m_side.content(m_original, k);
    const qsizetype start = content.data() - m_original.constData();
    const qsizetype contentEnd = start + content.size();
    if (m_plain && m_pending && k == m_pendingLine + 1) {
        m_pendingEnd = contentEnd;
        m_pendingLine = k;
        return;
    }
    flush();
    separate();
    m_pending = true;
    m_pendingStart = start;
    m_pendingEnd = contentEnd;
    m_pendingLine = k;
}

void AlignedRows::empty()
{
    flush();
    separate();
}

void AlignedRows::clear()
{
    m_text.clear();
    m_first = true;
    m_pending = false;
}

QString AlignedRows::take()
{
    flush();
    return std::move(m_text);
}

void AlignedRows::separate()
{
    if (!m_first)
        m_text.append(u'\n');
    m_first = false;
}

void AlignedRows::flush()
{
    if (m_pending)
        m_text.append(QStringView(m_original).mid(m_pendingStart, m_pendingEnd - m_pendingStart));
    m_pending = false;
}
