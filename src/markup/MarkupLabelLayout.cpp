#include "markup/LabelFont.h"
#include "markup/LabelTextMeasures.h"
#include "markup/MarkupGeometry.h"
#include "model/TextRules.h"

#include <QHashFunctions>

#include <algorithm>
#include <cmath>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace MarkupGeometry {

namespace {

// Breaks one piece without newlines into lines. The running width is the sum of the characters'
// advances, so each character is measured once; near the limit, where shaping across characters
// could tip the decision, the candidate is measured whole. Every width is a kept reference width
// times the same factor LabelFont::advance multiplies by, so the result is the one measuring the
// strings at this size would give.
void wrapPiece(const LabelTextMeasures::Text &measures, size_t index, double fontSize, double maxWidth,
               std::vector<WrappedLine> &out)
{
    const LabelTextMeasures::Text::Piece &piece = measures.pieces()[index];
    const double scale = fontSize / LabelFont::referencePixelSize;
    const double nearLimit = maxWidth - std::max(fontSize, 1.0);
    auto line = [&](size_t first, size_t last) {
        out.push_back({piece.mid(first, last), std::ceil(measures.span(index, first, last) * scale)});
    };
    // The current line is characters [lineStart, k).
    size_t lineStart = 0;
    double currentWidth = 0;
    for (size_t k = 0; k < piece.characters(); ++k) {
        const double characterWidth = piece.advances[k] * scale;
        const bool currentEmpty = k == lineStart;
        double candidateWidth = currentWidth + characterWidth;
        if (!currentEmpty && candidateWidth > nearLimit)
            candidateWidth = measures.span(index, lineStart, k + 1) * scale;
        if (!currentEmpty && std::ceil(candidateWidth) > maxWidth) {
            line(lineStart, k);
            lineStart = k;
            currentWidth = characterWidth;
        } else {
            currentWidth = candidateWidth;
        }
    }
    line(lineStart, piece.characters());
}

// The part of a layout that depends only on the text, the sizes and the width request; the bubble
// position is computed on every call because it follows the annotation's anchor.
struct TextBlock {
    QStringList lines;
    std::vector<double> lineWidths;
    double lineHeight = 0;
    double textWidth = 0;
};

struct TextBlockKey {
    QString text;
    double fontSize;
    bool hasLabelWidth;
    double labelWidth;
    double canvasWidth;
    double canvasHeight;

    bool operator==(const TextBlockKey &) const = default;
};

struct TextBlockKeyHash {
    size_t operator()(const TextBlockKey &key) const
    {
        size_t seed = qHash(key.text);
        seed = qHashMulti(seed, key.fontSize, key.hasLabelWidth, key.labelWidth, key.canvasWidth,
                          key.canvasHeight);
        return seed;
    }
};

// A small least-recently-used cache: the overlay, the pointer handling and the renderer ask for
// the same labels over and over, and wrapping measures every character.
class TextBlockCache {
public:
    std::shared_ptr<const TextBlock> find(const TextBlockKey &key)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_index.find(key);
        if (it == m_index.end())
            return nullptr;
        m_order.splice(m_order.begin(), m_order, it->second);
        return it->second->second;
    }

    void insert(const TextBlockKey &key, std::shared_ptr<const TextBlock> block)
    {
        std::lock_guard lock(m_mutex);
        if (m_index.count(key))
            return;
        m_order.emplace_front(key, std::move(block));
        m_index.emplace(key, m_order.begin());
        if (m_order.size() > capacity) {
            m_index.erase(m_order.back().first);
            m_order.pop_back();
        }
    }

private:
    static constexpr size_t capacity = 2048;
    using Entry = std::pair<TextBlockKey, std::shared_ptr<const TextBlock>>;
    std::mutex m_mutex;
    std::list<Entry> m_order;
    std::unordered_map<TextBlockKey, std::list<Entry>::iterator, TextBlockKeyHash> m_index;
};

TextBlockCache &textBlockCache()
{
    static TextBlockCache cache;
    return cache;
}

std::shared_ptr<const TextBlock> makeTextBlock(const QString &text, double fontSize,
                                               std::optional<double> labelWidth, QSizeF size)
{
    const double maxBubbleWidth = std::max(size.width() - 16, 48.0);
    const double maxTextWidth = maxBubbleWidth - 14;

    auto block = std::make_shared<TextBlock>();
    std::vector<WrappedLine> lines;
    if (!labelWidth) {
        const double wrapWidth = std::max(std::min(maxTextWidth, std::max(0.32 * size.width(), 160.0)), 32.0);
        lines = wrappedLines(text, fontSize, wrapWidth);
        double widest = 0;
        for (const WrappedLine &line : lines)
            widest = std::max(widest, line.width);
        block->textWidth = std::max(std::ceil(widest), 82.0);
    } else {
        const double l = *labelWidth;
        const double requested = l <= 1 ? l * size.width() : l;
        // A request that is not a number falls to the narrowest column.
        const double width = std::isnan(requested) ? 32.0 : std::clamp(requested, 32.0, maxTextWidth);
        lines = wrappedLines(text, fontSize, width);
        block->textWidth = width;
    }
    for (WrappedLine &line : lines) {
        block->lines.append(std::move(line.text));
        block->lineWidths.push_back(line.width);
    }
    block->lineHeight = std::ceil(std::max(LabelFont::naturalLineHeight(fontSize), 1.22 * fontSize));
    return block;
}

} // namespace

double textWidth(const QString &text, double fontSize)
{
    return std::ceil(LabelFont::advance(text, fontSize));
}

std::vector<WrappedLine> wrappedLines(const QString &text, double fontSize, double maxWidth)
{
    const std::shared_ptr<const LabelTextMeasures::Text> measures = LabelTextMeasures::measures(text);
    std::vector<WrappedLine> result;
    for (size_t i = 0; i < measures->pieces().size(); ++i) {
        if (measures->pieces()[i].text.isEmpty())
            result.push_back({QStringLiteral(" "), 0});
        else
            wrapPiece(*measures, i, fontSize, maxWidth, result);
    }
    if (result.empty())
        result.push_back({QStringLiteral(" "), 0});
    return result;
}

std::optional<MarkupLabelLayout> labelLayout(const MarkupAnnotation &annotation, QSizeF size)
{
    const QString text = TextRules::trimmed(annotation.displayText());
    if (text.isEmpty())
        return std::nullopt;

    const QPointF anchor = labelPoint(annotation, size);
    const double fontSize = scaledFontSize(annotation.fontSize, size);

    const TextBlockKey key{text,
                           fontSize,
                           annotation.labelWidth.has_value(),
                           annotation.labelWidth.value_or(0),
                           size.width(),
                           size.height()};
    std::shared_ptr<const TextBlock> block = textBlockCache().find(key);
    if (!block) {
        block = makeTextBlock(text, fontSize, annotation.labelWidth, size);
        textBlockCache().insert(key, block);
    }

    const double maxBubbleWidth = std::max(size.width() - 16, 48.0);
    const double bubbleWidth = std::min(block->textWidth + 14, maxBubbleWidth);
    const double bubbleHeight = block->lineHeight * std::max<qsizetype>(block->lines.size(), 1) + 10;
    const double x = std::min(std::max(size.width() - bubbleWidth - 8, 8.0), std::max(anchor.x(), 8.0));
    const double y = std::min(std::max(size.height() - bubbleHeight - 8, 8.0), std::max(anchor.y(), 8.0));

    MarkupLabelLayout layout;
    layout.bubbleRect = Rect(x, y, bubbleWidth, bubbleHeight);
    layout.textRect = layout.bubbleRect.insetBy(7, 5);
    layout.lines = block->lines;
    layout.lineWidths = block->lineWidths;
    layout.lineHeight = block->lineHeight;
    layout.fontSize = fontSize;
    return layout;
}

} // namespace MarkupGeometry
