#include "textengine/TextBandLayout.h"

#include <QPainter>
#include <QTextOption>

#include <cmath>

TextBandLayout::TextBandLayout(const QString &text, const QFont &font, qreal width, qreal lineSpacing)
    : m_text(text)
    , m_font(font)
    , m_width(width)
    , m_lineSpacing(lineSpacing)
{
    const qsizetype length = m_text.size();
    qsizetype start = 0;
    for (qsizetype k = 0; k < length; ++k) {
        const char16_t c = m_text.at(k).unicode();
        if (c == u'\n' || c == u'\r' || c == 0x2029) {
            const qsizetype breakLength = (c == u'\r' && k + 1 < length && m_text.at(k + 1) == u'\n') ? 2 : 1;
            m_paragraphs.push_back({start, k - start, breakLength, nullptr});
            k += breakLength - 1;
            start = k + 1;
        }
    }
    m_paragraphs.push_back({start, length - start, 0, nullptr});
}

TextBandLayout::~TextBandLayout() = default;

void TextBandLayout::setSpacing(std::map<qsizetype, qreal> spacingByLocation)
{
    m_spacing = std::move(spacingByLocation);
    m_lines.clear();
    m_nextParagraph = 0;
    m_bottom = 0;
    for (Paragraph &paragraph : m_paragraphs)
        paragraph.layout.reset();
}

qreal TextBandLayout::bandFor(const std::map<qsizetype, qreal> &spacing, qsizetype cs, qsizetype ce,
                              qsizetype textLength)
{
    if (spacing.empty())
        return 0;
    const qsizetype low = std::min(textLength, cs);
    const qsizetype high = std::min(textLength, ce);
    qreal sum = 0;
    int count = 0;
    for (auto it = spacing.lower_bound(low); it != spacing.end() && it->first < high; ++it) {
        sum += it->second;
        ++count;
    }
    if (count == 0)
        return 0;
    return std::ceil(sum + 8.0 * (count - 1));
}

void TextBandLayout::layout(qreal stopY)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const qsizetype textLength = m_text.size();
    while (m_nextParagraph < m_paragraphs.size() && m_bottom < stopY) {
        Paragraph &paragraph = m_paragraphs[m_nextParagraph];
        paragraph.layout = std::make_unique<QTextLayout>(m_text.mid(paragraph.start, paragraph.length), m_font);
        paragraph.layout->setTextOption(option);
        paragraph.layout->beginLayout();
        int index = 0;
        while (true) {
            QTextLine line = paragraph.layout->createLine();
            if (!line.isValid())
                break;
            line.setLeadingIncluded(true);
            line.setLineWidth(m_width);
            Line info;
            info.start = paragraph.start + line.textStart();
            info.end = info.start + line.textLength();
            info.paragraph = int(m_nextParagraph);
            info.lineInParagraph = index++;
            info.top = m_bottom;
            info.textHeight = line.height();
            info.width = line.naturalTextWidth();
            m_lines.push_back(info);
        }
        paragraph.layout->endLayout();
        // A paragraph's break belongs to its last line, as the break glyph does in a text view.
        if (paragraph.layout->lineCount() > 0) {
            Line &last = m_lines.back();
            // Trailing spaces of a wrapped paragraph can sit past the end of the last line.
            last.end = paragraph.start + paragraph.length;
        }
        const std::size_t first = m_lines.size() - std::size_t(paragraph.layout->lineCount());
        for (std::size_t k = first; k < m_lines.size(); ++k) {
            Line &info = m_lines[k];
            info.keyEnd = (k + 1 == m_lines.size()) ? info.end + paragraph.breakLength : m_lines[k + 1].start;
            info.band = bandFor(m_spacing, info.start, info.keyEnd, textLength);
            info.top = m_bottom;
            paragraph.layout->lineAt(int(k - first)).setPosition(QPointF(0, info.textTop()));
            m_bottom = info.textBottom() + m_lineSpacing;
        }
        ++m_nextParagraph;
    }
}

int TextBandLayout::lineAt(qsizetype position) const
{
    if (m_lines.empty())
        return -1;
    auto it = std::upper_bound(m_lines.begin(), m_lines.end(), position,
                               [](qsizetype p, const Line &line) { return p < line.start; });
    if (it == m_lines.begin())
        return -1;
    --it;
    if (position >= it->keyEnd && !(position == it->start))
        return -1;
    return int(it - m_lines.begin());
}

qreal TextBandLayout::xAt(int line, qsizetype position) const
{
    const Line &info = m_lines[std::size_t(line)];
    const Paragraph &paragraph = m_paragraphs[std::size_t(info.paragraph)];
    const qsizetype local = std::clamp<qsizetype>(position, info.start, info.end) - paragraph.start;
    return paragraph.layout->lineAt(info.lineInParagraph).cursorToX(int(local));
}

std::vector<std::pair<int, QRectF>> TextBandLayout::segmentRects(qsizetype start, qsizetype end) const
{
    std::vector<std::pair<int, QRectF>> rects;
    if (end <= start)
        return rects;
    const int first = lineAt(start);
    if (first < 0)
        return rects;
    for (int index = first; index < int(m_lines.size()); ++index) {
        const Line &line = m_lines[std::size_t(index)];
        const qsizetype from = std::max(start, line.start);
        const qsizetype to = std::min(end, line.end);
        if (to > from) {
            const qreal x0 = xAt(index, from);
            const qreal x1 = xAt(index, to);
            rects.emplace_back(index, QRectF(std::min(x0, x1), line.textTop(), std::abs(x1 - x0), line.textHeight));
        }
        if (end <= line.keyEnd)
            break;
    }
    return rects;
}

void TextBandLayout::draw(QPainter *painter, QPointF origin, qreal maxBottom) const
{
    for (const Line &info : m_lines) {
        if (info.textBottom() > maxBottom)
            break;
        const Paragraph &paragraph = m_paragraphs[std::size_t(info.paragraph)];
        paragraph.layout->lineAt(info.lineInParagraph).draw(painter, origin);
    }
}
