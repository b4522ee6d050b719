#pragma once

#include <QWidget>

class BusySpinner;

// The program's one sign of long work: a turning face, with the words of the work beside it when
// it has any. It turns only while shown, so a hidden mark runs no timer. Two faces, by where it
// stands: a small ring in the accent colour beside a line of text ("正在对比…" in a header), or a
// wheel of spokes standing alone in a row of controls (a video loading).
class BusyMark final : public QWidget {
    Q_OBJECT

public:
    enum class Face {
        Ring,   // 10 points, the accent colour, with the text in the caption font beside it
        Spokes, // 28 × 28 points, the secondary text colour
    };

    explicit BusyMark(Face face, const QString &text = QString(), QWidget *parent = nullptr);

    Face face() const { return m_face; }
    QString text() const { return m_text; }
    // The words of the work now under way (the same mark may stand for several in turn).
    void setText(const QString &text);
    // The face's turn in degrees, 0…330.
    int angle() const;
    bool isTurning() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    Face m_face;
    QString m_text;
    BusySpinner *m_spinner = nullptr;
};
