#include "texteditor/TextPaneDocumentLayout.h"

#include "model/AppFont.h"
#include "model/HexColor.h"
#include "model/TypeScale.h"
#include "textengine/TextBandLayout.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace TextPaneMetrics {

QFont font() { return AppFont::font(TypeScale::heading); }

qreal availableWidth(qreal viewportWidth) { return std::max(viewportWidth - 2 * insetX, minimumTextWidth); }

void setUpDocument(QTextDocument *document)
{
    document->setUndoRedoEnabled(false);
    document->setDocumentMargin(0);
    document->setDefaultFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(tabStop);
    document->setDefaultTextOption(option);
    document->setDocumentLayout(new TextPaneDocumentLayout(document));
}

void setUpPane(QTextEdit *edit)
{
    setUpDocument(edit->document());
    edit->setAcceptRichText(false);
    edit->setUndoRedoEnabled(false);
    edit->setAcceptDrops(false);
    edit->viewport()->setAcceptDrops(false);
    edit->setFrameShape(QFrame::NoFrame);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    edit->setFont(font());
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, HexColor::drawingColor(QString::fromLatin1(textColorHex)));
    palette.setColor(QPalette::Base, Qt::transparent);
    edit->setPalette(palette);
    edit->viewport()->setAutoFillBackground(false);
}

} // namespace TextPaneMetrics

namespace {

// Releases a held layout when the viewport it serves is first shown, at its real size.
class PaneLayoutWidthRelease final : public QObject {
public:
    PaneLayoutWidthRelease(TextPaneDocumentLayout *layout, QWidget *viewport)
        : QObject(viewport)
        , m_layout(layout)
    {
        viewport->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            if (m_layout)
                m_layout->setWidthHeld(false);
            deleteLater();
        }
        return false;
    }

private:
    QPointer<TextPaneDocumentLayout> m_layout;
};

} // namespace

void TextPaneMetrics::adoptDocument(QTextEdit *edit, QTextDocument *document)
{
    auto *layout = static_cast<TextPaneDocumentLayout *>(document->documentLayout());
    const bool shown = edit->viewport()->isVisible();
    // A document kept from a pane that was never shown may still be held.
    layout->setWidthHeld(!shown);
    document->setParent(edit);
    edit->setDocument(document);
    if (!shown)
        new PaneLayoutWidthRelease(layout, edit->viewport());
}

using namespace TextPaneMetrics;

TextPaneDocumentLayout::TextPaneDocumentLayout(QTextDocument *document)
    : QAbstractTextDocumentLayout(document)
{
}

void TextPaneDocumentLayout::setSpacing(std::map<qsizetype, qreal> spacing)
{
    if (spacing == m_spacing)
        return;
    std::map<qsizetype, qreal> previous = std::move(m_spacing);
    m_spacing = std::move(spacing);
    repositionBandBlocks(previous);
}

// Lines whose band can change: those of blocks holding an old or a new key, and of blocks that
// carry a band now (their text may have moved away from the key).
void TextPaneDocumentLayout::repositionBandBlocks(const std::map<qsizetype, qreal> &previous)
{
    QTextDocument *doc = document();
    std::set<int> blocks;
    for (std::size_t index = 0; index < m_bands.size(); ++index) {
        if (m_bands[index] > 0)
            blocks.insert(int(index));
    }
    auto addKeys = [&](const std::map<qsizetype, qreal> &map) {
        for (const auto &entry : map) {
            const QTextBlock block = doc->findBlock(int(std::min<qsizetype>(entry.first, m_characterCount - 1)));
            if (block.isValid())
                blocks.insert(block.blockNumber());
        }
    };
    addKeys(previous);
    addKeys(m_spacing);
    if (blocks.empty())
        return;
    for (int index : blocks) {
        const QTextBlock block = doc->findBlockByNumber(index);
        if (block.isValid() && std::size_t(index) < m_heights.size())
            positionLines(block);
    }
    markTopsDirty(0);
    refreshTops();
    publish(m_tops[std::size_t(*blocks.begin())]);
}

void TextPaneDocumentLayout::shapeBlock(const QTextBlock &block)
{
    QTextLayout *layout = block.layout();
    layout->setTextOption(document()->defaultTextOption());
    layout->beginLayout();
    while (true) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        line.setLineWidth(m_textWidth);
    }
    layout->endLayout();
    const_cast<QTextBlock &>(block).setLineCount(layout->lineCount());
    ++m_shapedBlocks;
    m_shaped[std::size_t(block.blockNumber())] = 1;
    positionLines(block);
}

// As many lines as its characters fill at the average advance, the band of its first line above.
// Its old lines go: Qt's cursor then asks for the block's rectangle, which shapes it, before it
// moves through the block's lines. A block new to the document has none (and asking for its
// QTextLayout would make one).
void TextPaneDocumentLayout::estimateBlock(const QTextBlock &block, std::size_t number, int blockStart,
                                           bool mayHaveLines)
{
    if (mayHaveLines) {
        QTextLayout *layout = block.layout();
        if (layout->lineCount() > 0)
            layout->clearLayout();
    }
    estimateLength(number, blockStart, block.length());
}

void TextPaneDocumentLayout::estimateLength(std::size_t number, int blockStart, int length)
{
    const qreal natural = qreal(length - 1) * m_advanceEstimate;
    const int lines = std::max(1, int(std::ceil(natural / m_textWidth)));
    const qreal band = m_spacing.empty()
        ? 0
        : TextBandLayout::bandFor(m_spacing, blockStart, blockStart + length, m_characterCount - 1);
    m_heights[number] = lines * m_lineEstimate + band;
    m_bands[number] = band;
    m_shaped[number] = 0;
    m_lengths[number] = length;
}

void TextPaneDocumentLayout::layoutBlocks(const QTextBlock &first, const QTextBlock &last, int count,
                                          const std::function<bool(int)> &mayHaveLines)
{
    if (m_shapesNothing) {
        estimateFromSamples(first, last, mayHaveLines);
        return;
    }
    if (count <= shapedAtOnceLimit) {
        for (QTextBlock block = first; block.isValid(); block = block.next()) {
            shapeBlock(block);
            if (block == last)
                break;
        }
        return;
    }
    // The first blocks are shaped: the height their single lines take most often and the advance
    // of their characters stand for the rest of the text.
    constexpr int sampled = 64;
    std::map<qreal, int> lineHeights;
    qreal width = 0;
    qint64 characters = 0;
    QTextBlock block = first;
    for (int index = 0; index < sampled && block.isValid(); ++index, block = block.next()) {
        shapeBlock(block);
        const QTextLayout *layout = block.layout();
        if (layout->lineCount() == 1 && block.length() > 1) {
            ++lineHeights[layout->lineAt(0).height()];
            width += layout->lineAt(0).naturalTextWidth();
            characters += block.length() - 1;
        }
        if (block == last)
            return;
    }
    const QFontMetricsF metrics(document()->defaultFont());
    const auto common = std::max_element(lineHeights.begin(), lineHeights.end(),
                                         [](const auto &a, const auto &b) { return a.second < b.second; });
    m_lineEstimate = (common == lineHeights.end() ? metrics.lineSpacing() : common->first) + lineSpacing;
    m_advanceEstimate = characters > 0 ? width / qreal(characters) : metrics.averageCharWidth();
    if (!block.isValid())
        return;
    int number = block.blockNumber();
    int position = block.position();
    for (; block.isValid(); block = block.next(), ++number) {
        estimateBlock(block, std::size_t(number), position, mayHaveLines(number));
        position += block.length();
        if (block == last)
            break;
    }
}

// As layoutBlocks, but the samples are shaped apart from the document: its blocks keep no lines
// (and no glyphs of this thread's fonts, which go with the thread).
void TextPaneDocumentLayout::estimateFromSamples(const QTextBlock &first, const QTextBlock &last,
                                                 const std::function<bool(int)> &mayHaveLines)
{
    constexpr int sampled = 64;
    std::map<qreal, int> lineHeights;
    qreal width = 0;
    qint64 characters = 0;
    QTextBlock block = first;
    for (int index = 0; index < sampled && block.isValid(); ++index, block = block.next()) {
        QTextLayout sample(block.text(), document()->defaultFont());
        sample.setTextOption(document()->defaultTextOption());
        sample.beginLayout();
        QTextLine line = sample.createLine();
        if (line.isValid()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(m_textWidth);
        }
        const bool single = line.isValid() && !sample.createLine().isValid();
        sample.endLayout();
        if (single && block.length() > 1) {
            ++lineHeights[sample.lineAt(0).height()];
            width += sample.lineAt(0).naturalTextWidth();
            characters += block.length() - 1;
        }
        if (block == last)
            break;
    }
    const QFontMetricsF metrics(document()->defaultFont());
    const auto common = std::max_element(lineHeights.begin(), lineHeights.end(),
                                         [](const auto &a, const auto &b) { return a.second < b.second; });
    m_lineEstimate = (common == lineHeights.end() ? metrics.lineSpacing() : common->first) + lineSpacing;
    m_advanceEstimate = characters > 0 ? width / qreal(characters) : metrics.averageCharWidth();
    int number = first.blockNumber();
    int position = first.position();
    for (block = first; block.isValid(); block = block.next(), ++number) {
        estimateBlock(block, std::size_t(number), position, mayHaveLines(number));
        position += block.length();
        if (block == last)
            break;
    }
}

int TextPaneDocumentLayout::unshapedBlockCount() const
{
    return int(std::count(m_shaped.begin(), m_shaped.end(), char(0)));
}

bool TextPaneDocumentLayout::ensureShaped(int number) const
{
    if (m_shapesNothing || number < 0 || std::size_t(number) >= m_shaped.size() || m_shaped[std::size_t(number)])
        return false;
    auto *self = const_cast<TextPaneDocumentLayout *>(this);
    const qreal before = m_heights[std::size_t(number)];
    self->shapeBlock(document()->findBlockByNumber(number));
    if (m_heights[std::size_t(number)] == before)
        return false;
    markTopsDirty(std::size_t(number));
    publishLater();
    return true;
}

// Shapes the blocks between two heights (insets excluded). A corrected height moves the blocks
// after it, which may bring others in: a few rounds settle it.
bool TextPaneDocumentLayout::ensureShapedRange(qreal fromY, qreal toY) const
{
    refreshTops();
    if (m_tops.empty())
        return false;
    // One pass down the stretch: a corrected height moves what follows, and the running top takes
    // it in at once, so the blocks it brings into the stretch are shaped in the same pass.
    std::size_t index = std::size_t(std::max(0, blockIndexAtY(fromY)));
    qreal top = m_tops[index];
    bool changed = false;
    for (; index < m_heights.size() && top <= toY; ++index) {
        changed = ensureShaped(int(index)) || changed;
        top += m_heights[index];
    }
    refreshTops();
    return changed;
}

// Heights corrected while painting or answering a question go out once the event is over.
void TextPaneDocumentLayout::publishLater() const
{
    if (m_publishPending)
        return;
    m_publishPending = true;
    auto *self = const_cast<TextPaneDocumentLayout *>(this);
    QMetaObject::invokeMethod(
        self,
        [self] {
            self->m_publishPending = false;
            self->publish(0);
        },
        Qt::QueuedConnection);
}

void TextPaneDocumentLayout::positionLines(const QTextBlock &block)
{
    if (!m_shaped[std::size_t(block.blockNumber())]) {
        estimateBlock(block, std::size_t(block.blockNumber()), block.position(), true);
        return;
    }
    QTextLayout *layout = block.layout();
    const qsizetype textLength = m_characterCount - 1;
    const int blockStart = block.position();
    qreal y = 0;
    qreal bands = 0;
    const int count = layout->lineCount();
    for (int index = 0; index < count; ++index) {
        QTextLine line = layout->lineAt(index);
        const qsizetype start = blockStart + line.textStart();
        // A block's separator belongs to its last line.
        const qsizetype keyEnd
            = index + 1 < count ? blockStart + layout->lineAt(index + 1).textStart() : blockStart + block.length();
        const qreal band = TextBandLayout::bandFor(m_spacing, start, keyEnd, textLength);
        line.setPosition(QPointF(0, y + band));
        y += band + line.height() + lineSpacing;
        bands += band;
    }
    const std::size_t number = std::size_t(block.blockNumber());
    m_heights[number] = y;
    m_bands[number] = bands;
    m_lengths[number] = block.length();
}

void TextPaneDocumentLayout::layoutAll(bool sameBlocks)
{
    QTextDocument *doc = document();
    const std::size_t count = std::size_t(doc->blockCount());
    m_characterCount = doc->characterCount();
    // Blocks shaped before (at another width) hold lines; when the blocks are not those the flags
    // were kept for, any may.
    std::vector<char> previous(count, 0);
    std::swap(previous, m_shaped);
    const bool known = sameBlocks && m_shaped.size() == previous.size();
    if (known && count > std::size_t(shapedAtOnceLimit) && m_lineEstimate > 0 && m_lengths.size() == count) {
        // Only the width changed, in a long text: the estimates come from the lengths kept, with
        // no walk through the document's blocks; those shaped before lose their lines, and are
        // shaped again where they are looked at.
        int position = 0;
        for (std::size_t number = 0; number < count; ++number) {
            const int length = m_lengths[number];
            if (previous[number]) {
                const QTextBlock block = doc->findBlockByNumber(int(number));
                estimateBlock(block, number, block.position(), true);
            } else {
                estimateLength(number, position, length);
            }
            position += length;
        }
        markTopsDirty(0);
        publish(0);
        return;
    }
    m_heights.assign(count, 0);
    m_bands.assign(count, 0);
    m_lengths.assign(count, 0);
    layoutBlocks(doc->begin(), doc->lastBlock(), doc->blockCount(),
                 [&](int number) { return !known || previous[std::size_t(number)]; });
    markTopsDirty(0);
    publish(0);
}

void TextPaneDocumentLayout::setWidthHeld(bool held)
{
    if (held == m_widthHeld)
        return;
    m_widthHeld = held;
    if (!held)
        documentChanged(0, 0, document()->characterCount());
}

void TextPaneDocumentLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    QTextDocument *doc = document();
    if (!m_widthHeld || m_heights.empty()) {
        const qreal pageWidth = doc->pageSize().width();
        const qreal textWidth = availableWidth(std::max<qreal>(pageWidth, 0));
        const bool widthChanged = std::abs(textWidth - m_textWidth) > 0.01 || m_heights.empty();
        m_pageWidth = pageWidth;
        if (widthChanged) {
            m_textWidth = textWidth;
            // A new page width announces the whole text unchanged.
            layoutAll(from == 0 && charsRemoved == 0 && charsAdded == doc->characterCount()
                      && doc->characterCount() == m_characterCount);
            return;
        }
    }
    // A page size set again without an edit announces the whole text unchanged.
    if (from == 0 && charsRemoved == 0 && charsAdded == doc->characterCount()
        && doc->characterCount() == m_characterCount && std::size_t(doc->blockCount()) == m_heights.size())
        return;

    const QTextBlock first = doc->findBlock(from);
    QTextBlock last = doc->findBlock(from + charsAdded);
    if (!last.isValid())
        last = doc->lastBlock();
    if (!first.isValid()) {
        layoutAll(false);
        return;
    }
    const int firstNumber = first.blockNumber();
    const int touched = last.blockNumber() - firstNumber + 1;
    const int delta = doc->blockCount() - int(m_heights.size());
    const int previouslyTouched = touched - delta;
    if (previouslyTouched < 1 || firstNumber + previouslyTouched > int(m_heights.size())) {
        layoutAll(false);
        return;
    }
    m_characterCount = doc->characterCount();
    const auto at = m_heights.begin() + firstNumber;
    if (delta > 0) {
        m_heights.insert(at, std::size_t(delta), 0);
        m_bands.insert(m_bands.begin() + firstNumber, std::size_t(delta), 0);
        m_shaped.insert(m_shaped.begin() + firstNumber, std::size_t(delta), 0);
        m_lengths.insert(m_lengths.begin() + firstNumber, std::size_t(delta), 0);
    } else if (delta < 0) {
        m_heights.erase(at, at + (-delta));
        m_bands.erase(m_bands.begin() + firstNumber, m_bands.begin() + firstNumber + (-delta));
        m_shaped.erase(m_shaped.begin() + firstNumber, m_shaped.begin() + firstNumber + (-delta));
        m_lengths.erase(m_lengths.begin() + firstNumber, m_lengths.begin() + firstNumber + (-delta));
    }
    // The blocks between the first and the last touched are new to the document.
    const int lastNumber = last.blockNumber();
    layoutBlocks(first, last, touched, [&](int number) { return number == firstNumber || number == lastNumber; });
    // Keys keep their locations while the text moves under them.
    if (!m_spacing.empty())
        repositionBandBlocks(m_spacing);
    markTopsDirty(0);
    refreshTops();
    publish(m_tops[std::size_t(firstNumber)]);
}

void TextPaneDocumentLayout::markTopsDirty(std::size_t from) const
{
    m_topsDirtyFrom = m_topsDirty ? std::min(m_topsDirtyFrom, from) : from;
    m_topsDirty = true;
}

// From the first block whose height changed: the blocks shaped while painting lie near where the
// reader is, and the tops above them stand.
void TextPaneDocumentLayout::refreshTops() const
{
    if (!m_topsDirty)
        return;
    const std::size_t from = m_tops.size() == m_heights.size() ? std::min(m_topsDirtyFrom, m_tops.size()) : 0;
    m_tops.resize(m_heights.size());
    qreal top = from == 0 ? 0 : m_tops[from - 1] + m_heights[from - 1];
    for (std::size_t index = from; index < m_heights.size(); ++index) {
        m_tops[index] = top;
        top += m_heights[index];
    }
    m_topsDirty = false;
}

void TextPaneDocumentLayout::publish(qreal fromY)
{
    const QSizeF size = documentSize();
    if (size != m_lastSize) {
        m_lastSize = size;
        Q_EMIT documentSizeChanged(size);
    }
    Q_EMIT update(QRectF(0, fromY + insetY - 200, 1e9, 1e9));
}

QSizeF TextPaneDocumentLayout::documentSize() const
{
    refreshTops();
    const qreal total = m_tops.empty() ? 0 : m_tops.back() + m_heights.back();
    return QSizeF(std::max<qreal>(m_pageWidth, 0), total + 2 * insetY);
}

QRectF TextPaneDocumentLayout::frameBoundingRect(QTextFrame *) const { return QRectF(QPointF(0, 0), documentSize()); }

QRectF TextPaneDocumentLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid())
        return QRectF();
    const std::size_t number = std::size_t(block.blockNumber());
    if (number >= m_heights.size())
        return QRectF();
    ensureShaped(int(number));
    refreshTops();
    return QRectF(insetX, insetY + m_tops[number], m_textWidth, m_heights[number]);
}

int TextPaneDocumentLayout::blockIndexAtY(qreal y) const
{
    refreshTops();
    if (m_tops.empty())
        return -1;
    auto it = std::upper_bound(m_tops.begin(), m_tops.end(), y);
    if (it == m_tops.begin())
        return 0;
    return int(it - m_tops.begin()) - 1;
}

int TextPaneDocumentLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy) const
{
    int index = blockIndexAtY(point.y() - insetY);
    if (index < 0)
        return -1;
    if (ensureShaped(index)) {
        index = blockIndexAtY(point.y() - insetY);
        ensureShaped(index);
        refreshTops();
    }
    const QTextBlock block = document()->findBlockByNumber(index);
    const QTextLayout *layout = block.layout();
    if (!block.isValid() || layout->lineCount() == 0)
        return block.isValid() ? block.position() : -1;
    const qreal y = point.y() - insetY - m_tops[std::size_t(index)];
    QTextLine chosen = layout->lineAt(layout->lineCount() - 1);
    for (int line = 0; line < layout->lineCount(); ++line) {
        const QTextLine candidate = layout->lineAt(line);
        if (y < candidate.y() + candidate.height() + lineSpacing) {
            chosen = candidate;
            break;
        }
    }
    return block.position() + chosen.xToCursor(point.x() - insetX);
}

std::vector<TextPaneDocumentLayout::Segment> TextPaneDocumentLayout::segments(int start, int end) const
{
    std::vector<Segment> result;
    if (end <= start)
        return result;
    QTextDocument *doc = document();
    // The ends of the stretch are shaped, and the blocks between as far as one change would shape
    // them: a stretch over a long text (all of it selected) is not laid out for its rectangles.
    const QTextBlock firstBlock = doc->findBlock(start);
    const QTextBlock lastBlock = doc->findBlock(std::max(start, end - 1));
    ensureShaped(firstBlock.blockNumber());
    ensureShaped(lastBlock.blockNumber());
    int shapedBetween = 0;
    for (QTextBlock block = firstBlock; block.isValid() && block.position() < end && shapedBetween < shapedAtOnceLimit;
         block = block.next(), ++shapedBetween)
        ensureShaped(block.blockNumber());
    refreshTops();
    for (QTextBlock block = firstBlock; block.isValid() && block.position() < end; block = block.next()) {
        const std::size_t number = std::size_t(block.blockNumber());
        if (number >= m_tops.size())
            break;
        if (!m_shaped[number]) {
            // Its estimate: the whole block (it lies inside the stretch), as wide as its characters.
            const qreal height = m_heights[number] - m_bands[number] - lineSpacing;
            const qreal width = std::min(m_textWidth, qreal(block.length() - 1) * m_advanceEstimate);
            const QRectF estimate(insetX, insetY + m_tops[number] + m_bands[number], width, height);
            result.push_back({ estimate, estimate });
            continue;
        }
        const QTextLayout *layout = block.layout();
        const int blockStart = block.position();
        const qreal top = insetY + m_tops[number];
        for (int index = 0; index < layout->lineCount(); ++index) {
            const QTextLine line = layout->lineAt(index);
            const int lineStart = blockStart + line.textStart();
            const int lineEnd = lineStart + line.textLength();
            const int from = std::max(start, lineStart);
            const int to = std::min(end, lineEnd);
            if (to <= from)
                continue;
            const qreal x0 = line.cursorToX(from - blockStart);
            const qreal x1 = line.cursorToX(to - blockStart);
            const QRectF lineRect(insetX, top + line.y(), line.naturalTextWidth(), line.height());
            result.push_back(
                { QRectF(insetX + std::min(x0, x1), lineRect.top(), std::abs(x1 - x0), line.height()), lineRect });
        }
    }
    return result;
}

QRectF TextPaneDocumentLayout::lineRectAt(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid() || std::size_t(block.blockNumber()) >= m_heights.size())
        return QRectF();
    ensureShaped(block.blockNumber());
    refreshTops();
    const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
    if (!line.isValid())
        return QRectF();
    return QRectF(insetX, insetY + m_tops[std::size_t(block.blockNumber())] + line.y(), line.naturalTextWidth(),
                  line.height());
}

void TextPaneDocumentLayout::draw(QPainter *painter, const PaintContext &context)
{
    if (m_heights.empty())
        return;
    const QRectF clip = context.clip.isValid() ? context.clip : frameBoundingRect(nullptr);
    // What is painted is shaped, and a screen above and below, so that scrolling a little moves
    // no line that is already on screen.
    const qreal margin = std::max<qreal>(clip.height(), 200);
    ensureShapedRange(clip.top() - insetY - margin, clip.bottom() - insetY + margin);
    int index = std::max(0, blockIndexAtY(clip.top() - insetY));
    QTextBlock block = document()->findBlockByNumber(index);
    const int cursorWidth = property("cursorWidth").isValid() ? property("cursorWidth").toInt() : 1;
    painter->setPen(context.palette.color(QPalette::Text));
    for (; block.isValid() && std::size_t(index) < m_tops.size(); block = block.next(), ++index) {
        const qreal top = insetY + m_tops[std::size_t(index)];
        if (top > clip.bottom())
            break;
        const int blockStart = block.position();
        const int blockEnd = blockStart + block.length();
        QList<QTextLayout::FormatRange> ranges;
        for (const Selection &selection : context.selections) {
            const int selectionStart = selection.cursor.selectionStart();
            const int selectionEnd = selection.cursor.selectionEnd();
            const int from = std::max(selectionStart, blockStart);
            const int to = std::min(selectionEnd, blockEnd);
            if (to <= from)
                continue;
            QTextLayout::FormatRange range;
            range.start = from - blockStart;
            range.length = to - from;
            range.format = selection.format;
            ranges.append(range);
        }
        const QPointF offset(insetX, top);
        block.layout()->draw(painter, offset, ranges, clip);
        if (context.cursorPosition >= blockStart && context.cursorPosition < blockEnd)
            block.layout()->drawCursor(painter, offset, context.cursorPosition - blockStart, cursorWidth);
    }
}
