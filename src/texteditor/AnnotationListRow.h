#pragma once

#include "model/TextComparisonState.h"
#include "ui/FeedbackButton.h"

// One row of the list of notes.
class AnnotationListRow : public FeedbackButton {
    Q_OBJECT

public:
    AnnotationListRow(const TextMarkupAnnotation &annotation, const QString &snippet, bool focused,
                      QWidget *parent = nullptr);
    // Shows another markup in this row (the list keeps its rows while the text is typed in).
    void setContent(const TextMarkupAnnotation &annotation, const QString &snippet, bool focused);
    const TextMarkupAnnotation &annotation() const { return m_annotation; }
    const QString &snippet() const { return m_snippet; }
    bool isFocused() const { return m_focused; }
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    TextMarkupAnnotation m_annotation;
    QString m_snippet;
    bool m_focused;
};
