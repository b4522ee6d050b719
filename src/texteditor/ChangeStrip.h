#pragma once

#include "textengine/TextComparisonChange.h"

#include <QAbstractScrollArea>
#include <QString>

#include <vector>

class QLabel;

// The strip of changes: one chip per change (its number in a blue circle and the start of its
// text), side by side in a row that scrolls sideways without scroll bars, or "暂无修改" when there
// is none. Chips are painted, not widgets, and a chip's text is cut and measured only once the
// row up to it is shown: any number of changes costs what the screen shows. A chip whose text is
// the same as before keeps its measure when the changes are replaced, so a keystroke measures
// only the chips it touched.
class ChangeStrip final : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int stripHeight = 52;
    static constexpr int chipHeight = 34;

    explicit ChangeStrip(QWidget *parent = nullptr);

    // The changes of `text` (the text their offsets refer to).
    void setChanges(const QString &text, const std::vector<TextComparisonChange> &changes);

    int chipCount() const { return int(m_chips.size()); }
    qint64 chipNumber(int index) const;
    // The chip's text: line breaks as spaces, trimmed, cut to 22 characters and "...".
    QString chipText(int index);
    // The chip's rectangle in viewport coordinates (the chips before it are measured first).
    QRect chipRect(int index);
    // How many chips have been cut and measured since the strip was built.
    int measuredChipCount() const { return m_measured; }
    QLabel *emptyLabel() const { return m_empty; }

    // A chip's width for its text.
    static int chipWidth(const QString &text);
    static void paintChip(QPainter &painter, const QRect &rect, qint64 number, const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Chip {
        qint64 number = 0;
        qsizetype start = 0;
        qsizetype end = 0;
        QString text;
        int width = -1; // not measured yet
    };

    QStringView rawText(const Chip &chip) const;
    void measure(Chip &chip);
    // Places the chips from the left until the row reaches `right` (content coordinates).
    void layOutTo(qint64 right);
    // Chips placed so far, their right end; the estimated content width.
    qint64 contentWidth() const;
    void updateScrollRange();

    QString m_text;
    std::vector<Chip> m_chips;
    std::vector<qint64> m_left; // x of each placed chip, content coordinates
    int m_measured = 0;
    bool m_updatingRange = false;
    QLabel *m_empty = nullptr;
};
