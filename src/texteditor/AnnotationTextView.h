#pragma once

#include "model/TextComparisonState.h"
#include "textengine/TextAnnotationCalloutLayout.h"

#include <QTextEdit>

#include <functional>
#include <optional>
#include <vector>

class TextPaneDocumentLayout;

// The edited pane's text view: undo and redo keys of the comparison, the markup keys "1", "2"
// and "3" on a selection, the markups' underlines and strike-throughs, and the note bubbles with
// their delete buttons. It keeps no document state; it calls the callbacks it is given.
class AnnotationTextView final : public QTextEdit {
    Q_OBJECT

public:
    std::function<bool(const QString &)> handleMarkupShortcut;
    std::function<void(const TextMarkupAnnotation &)> editCalloutAction;
    std::function<void(const QUuid &)> deleteCalloutAction;
    std::function<bool()> undoEditAction;
    std::function<bool()> redoEditAction;
    // Puts the text in place of a long selection (a paste, a cut, a key typed over it) by other
    // means than the document's own edit; false leaves it to the document.
    std::function<bool(const QString &)> replaceLongSelectionAction;
    // Past this many selected or inserted characters, an edit goes to replaceLongSelectionAction.
    static constexpr int longSelectionLimit = 100'000;

    struct CalloutHit {
        enum Kind { Edit, Delete } kind;
        TextMarkupAnnotation annotation;
    };

    explicit AnnotationTextView(QWidget *parent = nullptr);
    ~AnnotationTextView() override;

    void setTextAnnotations(std::vector<TextMarkupAnnotation> annotations);
    // Shows a document another edited pane laid out (TextPaneMetrics::adoptDocument).
    void adoptDocument(QTextDocument *adopted);
    TextPaneDocumentLayout *paneLayout() const;

    // The bubbles in document coordinates (the scroll offset not applied).
    const std::vector<TextAnnotationCalloutPlacement> &calloutPlacements() const;
    std::optional<CalloutHit> calloutHit(QPointF documentPoint) const;
    // The delete button of a bubble.
    static QRectF deleteButtonRect(const QRectF &bubble);
    // The scroll offset between document and viewport coordinates.
    QPointF scrollOffset() const;
    // The document's raw text, copied out whole once and then kept up with each edit.
    const QString &documentText() const;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void connectDocument();
    bool replacedLongSelection(QKeyEvent *event);
    void drawMarkupLines(QPainter &painter) const;
    void drawCallouts(QPainter &painter) const;
    static void drawDeleteButton(QPainter &painter, const QRectF &button);
    std::vector<TextMarkupAnnotation> m_annotations;
    mutable QString m_documentText;
    mutable bool m_documentTextDirty = true;
    mutable std::vector<TextAnnotationCalloutPlacement> m_placements;
    mutable bool m_placementsDirty = true;
    bool m_swallowMouse = false;
};

// The keys the view answers, by modifiers masked to Shift, Ctrl, Alt and Meta.
namespace AnnotationKeys {
enum class Action { None, Undo, Redo, Shortcut };
Action classify(int key, Qt::KeyboardModifiers modifiers, const QString &text, bool hasSelection);
} // namespace AnnotationKeys
