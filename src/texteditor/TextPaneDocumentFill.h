#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QTextDocument;
class QTextEdit;
class TextComparisonExecutor;

// Fills a pane with a text far from the one it shows without holding the window: a new document
// is made, filled and laid out on a worker and handed to the pane when it is ready. Filling a
// pane's own document would cost the window thread a moment per line (Qt makes each line a block
// as it goes), and seconds for a long text.
//
// Small changes stay with the pane's document (`needsNewDocument` says which is which). Without
// an executor every fill is made at once on the calling thread.
class TextPaneDocumentFill final : public QObject {
    Q_OBJECT

public:
    // Changes that take away and put in more characters than this between them get a new document.
    static constexpr qsizetype newDocumentLimit = 100'000;

    // `adopt` receives the finished document (already on the window's thread, laid out at the
    // pane's page width) and the text it holds.
    TextPaneDocumentFill(QTextEdit *pane, std::function<void(QTextDocument *, const QString &)> adopt);
    ~TextPaneDocumentFill() override;

    void setExecutor(std::shared_ptr<TextComparisonExecutor> executor);
    bool hasExecutor() const { return bool(m_executor); }

    // Whether showing `text` in place of `current` changes enough to be made in a new document.
    static bool needsNewDocument(QStringView current, QStringView text);

    // Starts making the document of `text`; a fill not yet handed over is dropped.
    void start(const QString &text);
    // Drops the fill not yet handed over, if any.
    void cancel();
    bool isFilling() const { return m_pending != nullptr; }
    const QString &fillingText() const { return m_pendingText; }

    // Deletes a document the pane no longer shows, in an event of its own.
    void dispose(QTextDocument *document);

Q_SIGNALS:
    void fillingChanged(bool filling);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Job;
    void launch(const std::shared_ptr<Job> &job);
    void deliver(const std::shared_ptr<Job> &job);

    QTextEdit *m_pane;
    std::function<void(QTextDocument *, const QString &)> m_adopt;
    std::shared_ptr<TextComparisonExecutor> m_executor;
    std::shared_ptr<Job> m_pending;
    QString m_pendingText;
};

namespace PaneText {
// The text a document holds after `text` is put into it (as rawText reads it back): Qt makes a
// block break of "\r\n", "\r", "\n", the paragraph separator and the frame marks.
QString asBlockText(QString text);
// Makes a pane document holding `text` and lays it out at the page width, on the calling thread.
// Null when `cancelled` is set before it is done.
std::unique_ptr<QTextDocument> filledDocument(const QString &text, qreal pageWidth, const std::atomic<bool> *cancelled);
// Deletes a document no pane shows any more once the window's thread is free of the event at hand.
void disposeLater(QTextDocument *document);
} // namespace PaneText
