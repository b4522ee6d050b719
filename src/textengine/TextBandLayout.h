#pragma once

#include <QFont>
#include <QRectF>
#include <QString>
#include <QTextLayout>

#include <limits>
#include <map>
#include <memory>
#include <vector>

class QPainter;

// Plain-text layout in which a line can carry an extra band of space above its text, so that
// note bubbles fit above the annotated words. The bands come from a map of character location
// to height: a line reserves ceil(sum + 8 * (count - 1)) for the keys that fall into its
// character range (its paragraph break included on the paragraph's last line).
//
// One QTextLayout per paragraph; lines are laid out lazily down to a given depth, so a page
// that is cut at a fixed height never lays out the rest of a long text. The page renderer
// draws with it directly; the editor panes can drive it from a QAbstractTextDocumentLayout.
class TextBandLayout {
public:
    struct Line {
        qsizetype start = 0;   // first UTF-16 unit in the whole text
        qsizetype end = 0;     // one past the line's last unit, paragraph break excluded
        qsizetype keyEnd = 0;  // end of the character range that band keys are looked up in
        qreal top = 0;         // top of the line fragment (the band starts here)
        qreal band = 0;        // reserved space above the text
        qreal textHeight = 0;  // ascent + descent + leading of the line itself
        qreal width = 0;       // natural width of the line's text
        int paragraph = 0;
        int lineInParagraph = 0;

        qreal textTop() const { return top + band; }
        qreal textBottom() const { return top + band + textHeight; }
        // The line's text without its band: what underlines, strikes and bubbles refer to.
        QRectF usedRect() const { return QRectF(0, textTop(), width, textHeight); }
    };

    TextBandLayout(const QString &text, const QFont &font, qreal width, qreal lineSpacing);
    ~TextBandLayout();
    TextBandLayout(const TextBandLayout &) = delete;
    TextBandLayout &operator=(const TextBandLayout &) = delete;

    // Replaces the band map; the layout starts again from the first line.
    void setSpacing(std::map<qsizetype, qreal> spacingByLocation);

    // Lays out further lines until one starts at or below stopY (everything by default).
    void layout(qreal stopY = std::numeric_limits<qreal>::infinity());

    bool isComplete() const { return m_nextParagraph >= m_paragraphs.size(); }
    // Bottom of the last laid-out line fragment, line spacing included.
    qreal height() const { return m_bottom; }
    const std::vector<Line> &lines() const { return m_lines; }
    const QString &text() const { return m_text; }

    // Index of the laid-out line holding the position (a paragraph break belongs to its
    // paragraph's last line); -1 when that line is not laid out.
    int lineAt(qsizetype position) const;
    // x of the caret before the position on the line.
    qreal xAt(int line, qsizetype position) const;
    // One rectangle per line fragment for [start, end), with the used rect's top and height.
    std::vector<std::pair<int, QRectF>> segmentRects(qsizetype start, qsizetype end) const;
    // Draws the glyphs of the laid-out lines whose text ends at or above maxBottom.
    void draw(QPainter *painter, QPointF origin, qreal maxBottom) const;

    // The band rule on its own: the extra height for a line whose characters are [cs, ce).
    static qreal bandFor(const std::map<qsizetype, qreal> &spacing, qsizetype cs, qsizetype ce, qsizetype textLength);

private:
    struct Paragraph {
        qsizetype start;
        qsizetype length;
        qsizetype breakLength; // 0, 1 ("\n", "\r", U+2029) or 2 ("\r\n")
        std::unique_ptr<QTextLayout> layout;
    };

    QString m_text;
    QFont m_font;
    qreal m_width;
    qreal m_lineSpacing;
    std::map<qsizetype, qreal> m_spacing;
    std::vector<Paragraph> m_paragraphs;
    std::vector<Line> m_lines;
    std::size_t m_nextParagraph = 0;
    qreal m_bottom = 0;
};
