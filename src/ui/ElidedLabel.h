#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

// One line of text cut with "…" where it does not fit. Where the cut falls, how the line sits in
// its width and how wide it asks to be are the caller's: the header's status line fills its row
// and cuts in the middle, a file name in the video transport is as wide as its text, the
// compression details' name takes any width it is given.
class ElidedLabel : public QWidget
{
    Q_OBJECT

public:
    enum class SizeRule {
        FillsRow,      // no width of its own: grows into whatever its row leaves
        FitsText,      // asks for its text's width (and 2 spare pixels), keeps its line height
        TakesAnyWidth, // takes the width its layout gives, however narrow
    };

    struct Look {
        QFont font;
        QColor color;
        Qt::TextElideMode elideMode = Qt::ElideMiddle;
        Qt::Alignment alignment = Qt::AlignLeft;
        SizeRule sizeRule = SizeRule::FillsRow;
        // The full text as the tooltip, for lines that are often cut.
        bool fullTextToolTip = true;
    };

    explicit ElidedLabel(Look look, QWidget *parent = nullptr);
    void setText(const QString &text);
    QString text() const { return m_text; }
    // The text as it fits the current width.
    QString shownText() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Look m_look;
    QString m_text;
};
