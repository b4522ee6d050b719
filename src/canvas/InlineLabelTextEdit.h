#pragma once

#include <QPlainTextEdit>

// The multi-line field of the inline label editor. Return types a new line; Return or keypad
// Enter with Alt alone (Shift, Ctrl and Meta up) asks to confirm and is consumed. The key reaches
// this handler only while the field has the keyboard focus, so the shortcut needs no global
// monitor.
class InlineLabelTextEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit InlineLabelTextEdit(QWidget *parent = nullptr);

    // Whether a key press is the confirm shortcut.
    static bool isConfirmKey(int key, Qt::KeyboardModifiers modifiers);

Q_SIGNALS:
    void confirmRequested();
    void focusChanged(bool focused);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};
