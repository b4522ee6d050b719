#include "markup/LabelTextMeasures.h"

#include "markup/LabelFont.h"

#include <QHash>
#include <QTextBoundaryFinder>

#include <list>

namespace LabelTextMeasures {

namespace {

// Spans are keyed by piece and character indices packed into one number; longer texts are
// measured on every request instead (no label is that long in practice).
constexpr quint64 indexLimit = quint64(1) << 21;
// A text's kept spans are dropped together past this many (each zoom level that breaks lines
// elsewhere asks for a few new ones).
constexpr size_t spanLimit = 4096;

// A small least-recently-used cache by text.
class MeasureCache {
public:
    std::shared_ptr<const Text> find(const QString &text)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_index.find(text);
        if (it == m_index.end())
            return nullptr;
        m_order.splice(m_order.begin(), m_order, it->second);
        return it->second->second;
    }

    void insert(const QString &text, std::shared_ptr<const Text> measures)
    {
        std::lock_guard lock(m_mutex);
        if (m_index.count(text))
            return;
        m_order.emplace_front(text, std::move(measures));
        m_index.emplace(text, m_order.begin());
        if (m_order.size() > capacity) {
            m_index.erase(m_order.back().first);
            m_order.pop_back();
        }
    }

private:
    static constexpr size_t capacity = 2048;
    using Entry = std::pair<QString, std::shared_ptr<const Text>>;
    struct Hash {
        size_t operator()(const QString &text) const { return qHash(text); }
    };
    std::mutex m_mutex;
    std::list<Entry> m_order;
    std::unordered_map<QString, std::list<Entry>::iterator, Hash> m_index;
};

MeasureCache &cache()
{
    static MeasureCache instance;
    return instance;
}

} // namespace

bool isLineSeparator(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x000A && u <= 0x000D) || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

Text::Text(const QString &text)
{
    const QFontMetricsF metrics = LabelFont::referenceMetrics();
    qsizetype pieceStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isLineSeparator(text.at(i)))
            continue;
        Piece piece;
        piece.text = text.mid(pieceStart, i - pieceStart);
        piece.bounds.push_back(0);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, piece.text);
        qsizetype position = 0;
        for (qsizetype next = finder.toNextBoundary(); next > position; next = finder.toNextBoundary()) {
            piece.advances.push_back(LabelFont::referenceAdvance(metrics, piece.text.mid(position, next - position)));
            piece.bounds.push_back(next);
            position = next;
            if (next >= piece.text.size())
                break;
        }
        m_pieces.push_back(std::move(piece));
        pieceStart = i + 1;
    }
}

double Text::span(size_t piece, size_t first, size_t last) const
{
    const Piece &p = m_pieces[piece];
    if (piece >= indexLimit || first >= indexLimit || last >= indexLimit)
        return LabelFont::referenceAdvance(LabelFont::referenceMetrics(), p.mid(first, last));
    const quint64 key = (quint64(piece) << 42) | (quint64(first) << 21) | quint64(last);
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_spans.find(key);
        if (found != m_spans.end())
            return found->second;
    }
    // Measured outside the lock: two threads may both measure it, and get the same number.
    const double width = LabelFont::referenceAdvance(LabelFont::referenceMetrics(), p.mid(first, last));
    std::lock_guard lock(m_mutex);
    if (m_spans.size() >= spanLimit)
        m_spans.clear();
    m_spans.emplace(key, width);
    return width;
}

std::shared_ptr<const Text> measures(const QString &text)
{
    std::shared_ptr<const Text> found = cache().find(text);
    if (found)
        return found;
    auto made = std::make_shared<const Text>(text);
    cache().insert(text, made);
    return made;
}

} // namespace LabelTextMeasures
