#include "model/TextEditHistory.h"

#include <algorithm>
#include <cstring>

namespace {

// Compared a block at a time with memcmp, which runs through millions of code units in about a
// millisecond, and then unit by unit inside the block that differs.
constexpr qsizetype textEditHistoryBlock = 2048;

qsizetype textEditHistoryCommonStart(const QChar *a, const QChar *b, qsizetype n)
{
    qsizetype k = 0;
    while (n - k >= textEditHistoryBlock
           && std::memcmp(a + k, b + k, size_t(textEditHistoryBlock) * sizeof(QChar)) == 0)
        k += textEditHistoryBlock;
    while (k < n && a[k] == b[k])
        ++k;
    return k;
}

// `aEnd` and `bEnd` point one past the last code unit; at most `n` units are compared.
qsizetype textEditHistoryCommonEnd(const QChar *aEnd, const QChar *bEnd, qsizetype n)
{
    qsizetype k = 0;
    while (n - k >= textEditHistoryBlock
           && std::memcmp(aEnd - k - textEditHistoryBlock, bEnd - k - textEditHistoryBlock,
                          size_t(textEditHistoryBlock) * sizeof(QChar))
               == 0)
        k += textEditHistoryBlock;
    while (k < n && aEnd[-k - 1] == bEnd[-k - 1])
        ++k;
    return k;
}

qsizetype textEditHistoryUnits(const TextEditHistory::Step &step)
{
    return step.removed.size() + step.inserted.size();
}

// `text` with `cut` code units at `position` replaced by `put`, written in one pass into a string
// of the final size (a copy followed by a replace would move the tail a second time).
QString textEditHistorySpliced(const QString &text, qsizetype position, qsizetype cut, const QString &put)
{
    QString result(text.size() - cut + put.size(), Qt::Uninitialized);
    QChar *out = result.data();
    const QChar *in = text.constData();
    const qsizetype tail = text.size() - position - cut;
    std::copy_n(in, position, out);
    std::copy_n(put.constData(), put.size(), out + position);
    std::copy_n(in + position + cut, tail, out + position + put.size());
    return result;
}

// The older version from the newer one.
QString textEditHistoryBackward(const QString &newer, const TextEditHistory::Step &step)
{
    return textEditHistorySpliced(newer, step.position, step.inserted.size(), step.removed);
}

// The newer version from the older one.
QString textEditHistoryForward(const QString &older, const TextEditHistory::Step &step)
{
    return textEditHistorySpliced(older, step.position, step.removed.size(), step.inserted);
}

} // namespace

TextEditHistory::Step TextEditHistory::difference(const QString &from, const QString &to)
{
    const qsizetype shorter = std::min(from.size(), to.size());
    const qsizetype start = textEditHistoryCommonStart(from.constData(), to.constData(), shorter);
    const qsizetype end
        = textEditHistoryCommonEnd(from.constData() + from.size(), to.constData() + to.size(), shorter - start);
    return Step{start, from.mid(start, from.size() - start - end), to.mid(start, to.size() - start - end)};
}

void TextEditHistory::push(std::deque<Step> &side, Step step)
{
    m_heldCodeUnits += textEditHistoryUnits(step);
    side.push_back(std::move(step));
    while (qsizetype(side.size()) > m_limit) {
        m_heldCodeUnits -= textEditHistoryUnits(side.front());
        side.pop_front();
    }
}

TextEditHistory::Step TextEditHistory::takeNewest(std::deque<Step> &side)
{
    Step step = std::move(side.back());
    side.pop_back();
    m_heldCodeUnits -= textEditHistoryUnits(step);
    return step;
}

void TextEditHistory::record(const QString &before, const QString &after)
{
    follow(before);
    while (!m_redo.empty())
        takeNewest(m_redo);
    push(m_undo, difference(before, after));
    m_current = after;
}

std::optional<QString> TextEditHistory::undo(const QString &current)
{
    follow(current);
    if (m_undo.empty())
        return std::nullopt;
    Step step = takeNewest(m_undo);
    m_current = textEditHistoryBackward(current, step);
    push(m_redo, std::move(step));
    return m_current;
}

std::optional<QString> TextEditHistory::redo(const QString &current)
{
    follow(current);
    if (m_redo.empty())
        return std::nullopt;
    Step step = takeNewest(m_redo);
    m_current = textEditHistoryForward(current, step);
    push(m_undo, std::move(step));
    return m_current;
}

void TextEditHistory::follow(const QString &current)
{
    // The usual case: the text is the very string the chain ends at, which costs no comparison.
    const bool same = m_current.isSharedWith(current) && m_current.constData() == current.constData()
                      && m_current.size() == current.size();
    if (same || (m_undo.empty() && m_redo.empty()) || m_current == current) {
        m_current = current;
        return;
    }
    if (!m_undo.empty()) {
        const QString previous = textEditHistoryBackward(m_current, takeNewest(m_undo));
        Step rebased = difference(previous, current);
        m_heldCodeUnits += textEditHistoryUnits(rebased);
        m_undo.push_back(std::move(rebased));
    }
    if (!m_redo.empty()) {
        const QString next = textEditHistoryForward(m_current, takeNewest(m_redo));
        Step rebased = difference(current, next);
        m_heldCodeUnits += textEditHistoryUnits(rebased);
        m_redo.push_back(std::move(rebased));
    }
    m_current = current;
}

void TextEditHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_current.clear();
    m_heldCodeUnits = 0;
}

QStringList TextEditHistory::undoTexts(const QString &current) const
{
    // Rebuilt from `current` as `follow` would take the chain to it first.
    TextEditHistory copy = *this;
    copy.follow(current);
    QStringList texts;
    QString text = current;
    for (auto step = copy.m_undo.rbegin(); step != copy.m_undo.rend(); ++step) {
        text = textEditHistoryBackward(text, *step);
        texts.prepend(text);
    }
    return texts;
}

QStringList TextEditHistory::redoTexts(const QString &current) const
{
    TextEditHistory copy = *this;
    copy.follow(current);
    QStringList texts;
    QString text = current;
    for (auto step = copy.m_redo.rbegin(); step != copy.m_redo.rend(); ++step) {
        text = textEditHistoryForward(text, *step);
        texts.prepend(text);
    }
    return texts;
}
