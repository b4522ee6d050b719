#include "texteditor/AnnotationTextView.h"

#include "model/HexColor.h"
#include "texteditor/EditorTextRules.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextPaneDocumentLayout.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

#include <map>

namespace AnnotationKeys {

Action classify(int key, Qt::KeyboardModifiers modifiers, const QString &text, bool hasSelection)
{
    const Qt::KeyboardModifiers masked
        = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key == Qt::Key_Z) {
        if (masked == Qt::ControlModifier || masked == Qt::MetaModifier)
            return Action::Undo;
        if (masked == (Qt::ControlModifier | Qt::ShiftModifier) || masked == (Qt::MetaModifier | Qt::ShiftModifier))
            return Action::Redo;
    }
    if (masked == Qt::NoModifier && hasSelection
        && (text == QLatin1String("1") || text == QLatin1String("2") || text == QLatin1String("3")))
        return Action::Shortcut;
    return Action::None;
}

} // namespace AnnotationKeys

AnnotationTextView::AnnotationTextView(QWidget *parent)
    : QTextEdit(parent)
{
    TextPaneMetrics::setUpPane(this);
    connectDocument();
}

void AnnotationTextView::connectDocument()
{
    // The copy of the text follows each edit by the stretch it touched.
    connect(document(), &QTextDocument::contentsChange, this, [this](int from, int removed, int added) {
        if (!m_documentTextDirty
            && !PaneText::spliceEdit(m_documentText, document(), from, removed, added, QChar::ParagraphSeparator))
            m_documentTextDirty = true;
    });
    connect(document(), &QTextDocument::contentsChanged, this, [this] { m_placementsDirty = true; });
    connect(paneLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this] { m_placementsDirty = true; });
    connect(paneLayout(), &QAbstractTextDocumentLayout::update, this, [this] { m_placementsDirty = true; });
}

void AnnotationTextView::adoptDocument(QTextDocument *adopted)
{
    disconnect(document(), nullptr, this, nullptr);
    disconnect(paneLayout(), nullptr, this, nullptr);
    TextPaneMetrics::adoptDocument(this, adopted);
    connectDocument();
    m_documentTextDirty = true;
    m_placementsDirty = true;
}

AnnotationTextView::~AnnotationTextView()
{
    // The document and its layout go down with the base class, after this object's members.
    disconnect(document(), nullptr, this, nullptr);
    disconnect(paneLayout(), nullptr, this, nullptr);
}

TextPaneDocumentLayout *AnnotationTextView::paneLayout() const
{
    return static_cast<TextPaneDocumentLayout *>(document()->documentLayout());
}

void AnnotationTextView::setTextAnnotations(std::vector<TextMarkupAnnotation> annotations)
{
    if (annotations == m_annotations)
        return;
    m_annotations = std::move(annotations);
    m_placementsDirty = true;
    viewport()->update();
}

const QString &AnnotationTextView::documentText() const
{
    if (m_documentTextDirty) {
        m_documentText = document()->toRawText();
        m_documentTextDirty = false;
    }
    return m_documentText;
}

QPointF AnnotationTextView::scrollOffset() const
{
    return QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

const std::vector<TextAnnotationCalloutPlacement> &AnnotationTextView::calloutPlacements() const
{
    if (!m_placementsDirty)
        return m_placements;
    m_placementsDirty = false;
    m_placements.clear();
    // Without markups there is nothing to place, and no copy of a long text to make for it.
    if (m_annotations.empty())
        return m_placements;
    const QString &text = documentText();
    const qreal viewWidth = viewport()->width();
    const qreal maxBubbleWidth = std::max(viewWidth - 28, qreal(132));
    std::map<qint64, std::vector<TextAnnotationCalloutLayout::RawCallout>> groups;
    for (const TextMarkupAnnotation &annotation : m_annotations) {
        if (!TextAnnotationCalloutLayout::getsBubble(annotation, text))
            continue;
        const std::optional<TextRange> range
            = EditorTextRules::clippedRange(annotation.location, annotation.length, text.size());
        if (!range)
            continue;
        const auto runs = TextAnnotationCalloutLayout::visibleCharacterRanges(range->location, range->length, text);
        const qint64 start = runs.empty() ? range->location : runs.front().first;
        const qint64 length = runs.empty() ? range->length : runs.front().second;
        const auto segments = paneLayout()->segments(int(start), int(start + length));
        if (segments.empty())
            continue;
        QRectF glyphs;
        for (const auto &segment : segments)
            glyphs = glyphs.isNull() ? segment.glyphs : glyphs.united(segment.glyphs);
        const QRectF line = segments.front().line;
        const QRectF area = glyphs.isEmpty() ? line : glyphs;
        TextAnnotationCalloutLayout::RawCallout raw;
        raw.annotation = annotation;
        raw.targetRect
            = QRectF(area.x(), line.y(), std::max(area.width(), qreal(24)), std::max(line.height(), qreal(18)));
        raw.lineKey = std::lround(line.y() * 0.5);
        raw.bubbleWidth = TextAnnotationCalloutLayout::bubbleWidth(annotation, maxBubbleWidth);
        raw.bubbleHeight = TextAnnotationCalloutLayout::bubbleHeight(annotation, raw.bubbleWidth);
        if (raw.bubbleWidth <= 0 || raw.bubbleHeight <= 0)
            continue;
        groups[raw.lineKey].push_back(raw);
    }
    const QRectF bounds(0, 0, viewWidth, paneLayout()->documentSize().height());
    for (const auto &group : groups) {
        auto placed = TextAnnotationCalloutLayout::placements(group.first, groups, bounds, 12);
        m_placements.insert(m_placements.end(), placed.begin(), placed.end());
    }
    return m_placements;
}

QRectF AnnotationTextView::deleteButtonRect(const QRectF &bubble)
{
    return QRectF(bubble.right() - 22 - 6, bubble.center().y() - 11, 22, 22);
}

std::optional<AnnotationTextView::CalloutHit> AnnotationTextView::calloutHit(QPointF point) const
{
    const auto &placements = calloutPlacements();
    for (auto it = placements.rbegin(); it != placements.rend(); ++it) {
        if (deleteButtonRect(it->bubbleRect).contains(point))
            return CalloutHit { CalloutHit::Delete, it->annotation };
        if (it->bubbleRect.contains(point))
            return CalloutHit { CalloutHit::Edit, it->annotation };
    }
    return std::nullopt;
}

bool AnnotationTextView::event(QEvent *event)
{
    // Undo and redo belong to the comparison: no window shortcut may take them first.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        const auto action
            = AnnotationKeys::classify(key->key(), key->modifiers(), key->text(), textCursor().hasSelection());
        if (action == AnnotationKeys::Action::Undo || action == AnnotationKeys::Action::Redo) {
            event->accept();
            return true;
        }
    }
    return QTextEdit::event(event);
}

void AnnotationTextView::keyPressEvent(QKeyEvent *event)
{
    const QTextCursor cursor = textCursor();
    switch (AnnotationKeys::classify(event->key(), event->modifiers(), event->text(), cursor.hasSelection())) {
    case AnnotationKeys::Action::Undo:
        if (undoEditAction && undoEditAction()) {
            event->accept();
            return;
        }
        break;
    case AnnotationKeys::Action::Redo:
        if (redoEditAction && redoEditAction()) {
            event->accept();
            return;
        }
        break;
    case AnnotationKeys::Action::Shortcut:
        if (handleMarkupShortcut && handleMarkupShortcut(event->text())) {
            event->accept();
            return;
        }
        break;
    case AnnotationKeys::Action::None:
        break;
    }
    if (replacedLongSelection(event)) {
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

// A key that takes a long selection away (typing over it, deleting or cutting it) would have the
// document drop its blocks one by one on the window's thread.
bool AnnotationTextView::replacedLongSelection(QKeyEvent *event)
{
    const QTextCursor cursor = textCursor();
    if (isReadOnly() || !replaceLongSelectionAction
        || cursor.selectionEnd() - cursor.selectionStart() <= longSelectionLimit)
        return false;
    if (event->matches(QKeySequence::Cut)) {
        copy();
        return replaceLongSelectionAction(QString());
    }
    if (event->matches(QKeySequence::Delete) || event->matches(QKeySequence::DeleteStartOfWord)
        || event->matches(QKeySequence::DeleteEndOfWord) || event->matches(QKeySequence::DeleteEndOfLine)
        || event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        return replaceLongSelectionAction(QString());
    const Qt::KeyboardModifiers masked = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (masked == Qt::NoModifier && event->modifiers() == Qt::NoModifier
        && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
        return replaceLongSelectionAction(QStringLiteral("\n"));
    const QString text = event->text();
    if (masked == Qt::NoModifier && !text.isEmpty() && (text.at(0).isPrint() || text.at(0) == u'\t'))
        return replaceLongSelectionAction(text);
    return false;
}

void AnnotationTextView::insertFromMimeData(const QMimeData *source)
{
    const QTextCursor cursor = textCursor();
    if (source && replaceLongSelectionAction && !isReadOnly()) {
        const QString text = source->text();
        if (!text.isNull()
            && (text.size() > longSelectionLimit || cursor.selectionEnd() - cursor.selectionStart() > longSelectionLimit)
            && replaceLongSelectionAction(text)) {
            ensureCursorVisible();
            return;
        }
    }
    QTextEdit::insertFromMimeData(source);
}

void AnnotationTextView::paintEvent(QPaintEvent *event)
{
    QTextEdit::paintEvent(event);
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-scrollOffset());
    drawMarkupLines(painter);
    drawCallouts(painter);
}

void AnnotationTextView::drawMarkupLines(QPainter &painter) const
{
    if (m_annotations.empty())
        return;
    const QString &text = documentText();
    const QRectF visible = QRectF(viewport()->rect()).translated(scrollOffset());
    for (const TextMarkupAnnotation &annotation : m_annotations) {
        if (!annotation.underline && !annotation.strikethrough)
            continue;
        // The runs are cut to the text: a markup outside it draws nothing.
        const auto runs
            = TextAnnotationCalloutLayout::visibleCharacterRanges(annotation.location, annotation.length, text);
        for (const auto &run : runs) {
            const auto segments = paneLayout()->segments(int(run.first), int(run.first + run.second));
            for (const auto &segment : segments) {
                if (segment.line.bottom() < visible.top() || segment.line.top() > visible.bottom())
                    continue;
                if (annotation.underline) {
                    painter.setPen(
                        QPen(HexColor::drawingColor(annotation.underlineColorHex), 2.4, Qt::SolidLine, Qt::FlatCap));
                    const qreal y = segment.line.bottom() - 2.5;
                    painter.drawLine(QPointF(segment.glyphs.left(), y), QPointF(segment.glyphs.right(), y));
                }
                if (annotation.strikethrough) {
                    painter.setPen(QPen(QColor(0xDC, 0x26, 0x26), 2.4, Qt::SolidLine, Qt::FlatCap));
                    const qreal y = segment.line.center().y();
                    painter.drawLine(QPointF(segment.glyphs.left(), y), QPointF(segment.glyphs.right(), y));
                }
            }
        }
    }
}

void AnnotationTextView::drawCallouts(QPainter &painter) const
{
    const QRectF visible = QRectF(viewport()->rect()).translated(scrollOffset());
    for (const TextAnnotationCalloutPlacement &placement : calloutPlacements()) {
        if (!placement.bubbleRect.united(placement.targetRect).intersects(visible))
            continue;
        TextAnnotationCalloutLayout::drawCallout(&painter, placement);
        drawDeleteButton(painter, deleteButtonRect(placement.bubbleRect));
    }
}

void AnnotationTextView::drawDeleteButton(QPainter &painter, const QRectF &button)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 41));
    painter.drawEllipse(button.translated(0, 2).adjusted(-1, -1, 1, 1));
    painter.setBrush(QColor(0xDC, 0x26, 0x26));
    painter.drawEllipse(button);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 235), 1));
    painter.drawEllipse(button.adjusted(0.5, 0.5, -0.5, -0.5));
    const qreal inset = button.width() * 0.3;
    const QRectF cross = button.adjusted(inset, inset, -inset, -inset);
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
    painter.restore();
}

void AnnotationTextView::mousePressEvent(QMouseEvent *event)
{
    const std::optional<CalloutHit> hit = calloutHit(event->position() + scrollOffset());
    if (!hit) {
        m_swallowMouse = false;
        QTextEdit::mousePressEvent(event);
        return;
    }
    // A click on a bubble never reaches the text: the caret stays where it was.
    m_swallowMouse = true;
    event->accept();
    if (hit->kind == CalloutHit::Delete) {
        if (deleteCalloutAction)
            deleteCalloutAction(hit->annotation.id);
    } else if (editCalloutAction) {
        editCalloutAction(hit->annotation);
    }
}

void AnnotationTextView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_swallowMouse) {
        m_swallowMouse = false;
        event->accept();
        return;
    }
    QTextEdit::mouseReleaseEvent(event);
}

void AnnotationTextView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_swallowMouse) {
        event->accept();
        return;
    }
    QTextEdit::mouseMoveEvent(event);
}

void AnnotationTextView::resizeEvent(QResizeEvent *event)
{
    m_placementsDirty = true;
    QTextEdit::resizeEvent(event);
}
