#pragma once

#include <QPlainTextEdit>

#include <functional>

// The note field of the popover: multi-line, Return breaks the line, Ctrl+Return (or Meta+Return)
// submits the text as typed. Every change is written back at once; each new focus counter value
// moves the keyboard focus into the field, caret at the end.
class AnnotationNoteInput final : public QPlainTextEdit {
    Q_OBJECT

public:
    std::function<void(const QString &)> textEdited;
    std::function<void()> submit;

    explicit AnnotationNoteInput(QWidget *parent = nullptr);

    // Shows the surface's note text unless the field already holds it.
    void showText(const QString &text);
    void applyFocusSignal(int signal);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_appliedFocusSignal = 0;
    bool m_showing = false;
};
