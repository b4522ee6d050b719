#pragma once

#include <QAbstractTextDocumentLayout>
#include <QFont>

#include <functional>
#include <map>
#include <vector>

class QTextEdit;

// The page geometry both text panes share, so equal text stands level in both.
namespace TextPaneMetrics {
inline constexpr qreal insetX = 14;
inline constexpr qreal insetY = 106; // room for note bubbles above the first line
inline constexpr qreal lineSpacing = 5;
inline constexpr qreal tabStop = 28;
inline constexpr qreal minimumTextWidth = 120;
inline const char *const textColorHex = "#334155";
QFont font();
// The text width for a pane of the given viewport width.
qreal availableWidth(qreal viewportWidth);
// Gives a document the pane's font, wrapping, tab stops and layout (any thread may make one).
void setUpDocument(QTextDocument *document);
// Configures a text edit as a pane: plain text, our layout and font, no frame, no drops.
void setUpPane(QTextEdit *edit);
// Shows in a pane a document set up and laid out by another pane (and makes the pane its owner).
// Its width is held until the pane's viewport is first shown.
void adoptDocument(QTextEdit *edit, QTextDocument *document);
} // namespace TextPaneMetrics

// The document layout of the panes: one QTextLayout per block, lines placed with the pane's line
// spacing and, above the lines that hold note locations, an extra band (the band rule of the page
// renderer). An edit lays out only the blocks it touched; the blocks after it only move. A new
// band map repositions only the lines whose band can change.
//
// A change that touches many blocks at once (a new text, a long paste, a new page width) shapes
// only a few at its start: the others get a height estimated from their length, and each is
// shaped when it is drawn (with a screen around) or asked about (a hit, its rectangle, its lines),
// its height then corrected and the blocks after it moved. What is laid out on the window's
// thread then follows what is looked at, not the text.
//
// Coordinates are document coordinates: the insets are included.
class TextPaneDocumentLayout final : public QAbstractTextDocumentLayout {
    Q_OBJECT

public:
    explicit TextPaneDocumentLayout(QTextDocument *document);

    // While held, a new page width is not applied: the lines keep the width they were made at.
    // A document laid out in one pane is held while it moves to another that has not been shown
    // yet, whose provisional size would otherwise lay the whole text out at a width never seen.
    // Releasing applies the page width of that moment (nothing when it is the same).
    void setWidthHeld(bool held);
    bool isWidthHeld() const { return m_widthHeld; }

    // While set, no block is shaped: every change gets estimated heights, and blocks are shaped
    // only when drawn or asked about once it is cleared. A document laid out on a worker is made
    // so, for shaped lines keep the fonts of the thread that shaped them, which go with it.
    void setShapesNothing(bool shapesNothing) { m_shapesNothing = shapesNothing; }


    // Band heights keyed by character location.
    void setSpacing(std::map<qsizetype, qreal> spacing);
    const std::map<qsizetype, qreal> &spacing() const { return m_spacing; }
    qreal textWidth() const { return m_textWidth; }

    // One rectangle per line fragment of [start, end): the glyph extent on that line (x) over the
    // line's text height (y), and the line's own text rectangle.
    struct Segment {
        QRectF glyphs;
        QRectF line;
    };
    std::vector<Segment> segments(int start, int end) const;
    // The text rectangle of the line holding the position; a null rectangle when it is not laid out.
    QRectF lineRectAt(int position) const;

    // How many blocks were shaped since the counter was last reset (tests and benchmarks).
    int shapedBlockCount() const { return m_shapedBlocks; }
    void resetShapedBlockCount() { m_shapedBlocks = 0; }
    // How many blocks stand at an estimated height, not shaped yet at the current width.
    int unshapedBlockCount() const;
    // Past this many blocks touched by one change, they are estimated instead of shaped.
    static constexpr int shapedAtOnceLimit = 4000;

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    // sameBlocks: the blocks are those of the last layout (only the width changed).
    void layoutAll(bool sameBlocks);
    // Shapes the blocks [first, last] when few, or else estimates them (shaping a few to learn
    // the line height and the average advance of this text).
    void layoutBlocks(const QTextBlock &first, const QTextBlock &last, int count,
                      const std::function<bool(int)> &mayHaveLines);
    void shapeBlock(const QTextBlock &block);
    void estimateFromSamples(const QTextBlock &first, const QTextBlock &last,
                             const std::function<bool(int)> &mayHaveLines);
    void estimateBlock(const QTextBlock &block, std::size_t number, int blockStart, bool mayHaveLines);
    void estimateLength(std::size_t number, int blockStart, int length);
    void positionLines(const QTextBlock &block);
    // Shapes the block of that number when it stands at an estimate; true when its height changed.
    bool ensureShaped(int number) const;
    bool ensureShapedRange(qreal fromY, qreal toY) const;
    void publishLater() const;
    void repositionBandBlocks(const std::map<qsizetype, qreal> &previous);
    void refreshTops() const;
    void markTopsDirty(std::size_t from) const;
    int blockIndexAtY(qreal y) const;
    void publish(qreal fromY);

    std::map<qsizetype, qreal> m_spacing;
    qreal m_pageWidth = -1;
    qreal m_textWidth = TextPaneMetrics::minimumTextWidth;
    std::vector<qreal> m_heights; // per block, line spacing included
    std::vector<qreal> m_bands; // per block, sum of its lines' bands
    std::vector<char> m_shaped; // per block, whether its lines are laid out at the current width
    std::vector<int> m_lengths; // per block, its length when last laid out or estimated
    qreal m_lineEstimate = 0; // an unwrapped line's height, line spacing included
    qreal m_advanceEstimate = 0; // a character's average advance
    mutable bool m_publishPending = false;
    mutable std::vector<qreal> m_tops; // per block, from the first line (insets excluded)
    mutable bool m_topsDirty = true;
    mutable std::size_t m_topsDirtyFrom = 0; // the first top to recompute, while dirty
    int m_characterCount = 0;
    QSizeF m_lastSize; // invalid until the first size is published, so that one always goes out
    int m_shapedBlocks = 0;
    bool m_widthHeld = false;
    bool m_shapesNothing = false;
};
