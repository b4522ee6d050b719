#include "texteditor/TextPaneDocumentFill.h"

#include "texteditor/TextPaneDocumentLayout.h"
#include "textengine/CarriedChanges.h"
#include "textengine/TextComparisonExecutor.h"

#include <QBasicTimer>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace PaneText {

QString asBlockText(QString text)
{
    // Most texts hold no mark but "\n": one look through, and the text is kept as it is.
    const auto marks = [](char16_t ch) { return ch == u'\r' || ch == 0x2029 || (ch & 0xFFFE) == 0xFDD0; };
    const char16_t *data = reinterpret_cast<const char16_t *>(text.constData());
    if (std::none_of(data, data + text.size(), marks))
        return text;
    // As QTextCursor::insertText reads its text: "\r\n" is one break, each other mark one.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar &ch : text) {
        if (ch == u'\r' || ch == QChar::ParagraphSeparator || ch == QChar(0xFDD0) || ch == QChar(0xFDD1))
            ch = u'\n';
    }
    return text;
}

std::unique_ptr<QTextDocument> filledDocument(const QString &text, qreal pageWidth, const std::atomic<bool> *cancelled)
{
    auto document = std::make_unique<QTextDocument>();
    TextPaneMetrics::setUpDocument(document.get());
    auto *layout = static_cast<TextPaneDocumentLayout *>(document->documentLayout());
    layout->setShapesNothing(true);
    document->setPageSize(QSizeF(pageWidth, -1));
    // One edit: the layout hears of the whole text once, at its end, and estimates what it does
    // not shape. Between pieces a fill nobody wants any more stops.
    constexpr qsizetype piece = 1 << 16;
    QTextCursor cursor(document.get());
    cursor.beginEditBlock();
    for (qsizetype at = 0; at < text.size();) {
        if (cancelled && cancelled->load())
            return nullptr;
        qsizetype end = std::min(at + piece, text.size());
        // A surrogate pair and a "\r\n" stay whole.
        if (end < text.size() && (text.at(end - 1).isHighSurrogate() || text.at(end - 1) == u'\r'))
            ++end;
        cursor.insertText(QStringView(text).mid(at, end - at).toString());
        at = end;
    }
    if (cancelled && cancelled->load())
        return nullptr;
    cursor.endEditBlock();
    layout->setShapesNothing(false);
    return document;
}

} // namespace PaneText

struct TextPaneDocumentFill::Job {
    std::atomic<bool> cancelled { false };
    std::mutex mutex;
    QTextDocument *document = nullptr; // once made, on the window's thread
    bool ready = false;

    // A document made and never handed over (the application ended first) goes with the job, on
    // the window's thread that holds its last share.
    ~Job() { delete document; }

    QTextDocument *take()
    {
        const std::lock_guard lock(mutex);
        return std::exchange(document, nullptr);
    }
};

TextPaneDocumentFill::TextPaneDocumentFill(QTextEdit *pane, std::function<void(QTextDocument *, const QString &)> adopt)
    : QObject(pane)
    , m_pane(pane)
    , m_adopt(std::move(adopt))
{
}

TextPaneDocumentFill::~TextPaneDocumentFill()
{
    if (m_pending)
        m_pending->cancelled.store(true);
}

void TextPaneDocumentFill::setExecutor(std::shared_ptr<TextComparisonExecutor> executor)
{
    m_executor = std::move(executor);
}

bool TextPaneDocumentFill::needsNewDocument(QStringView current, QStringView text)
{
    // Cheap first: lengths that differ by more than the limit need no comparison.
    if (std::abs(current.size() - text.size()) > newDocumentLimit)
        return true;
    const auto [prefix, suffix] = CarriedChanges::commonEnds(current, text);
    return (current.size() - prefix - suffix) + (text.size() - prefix - suffix) > newDocumentLimit;
}

void TextPaneDocumentFill::start(const QString &text)
{
    cancel();
    auto job = std::make_shared<Job>();
    m_pending = job;
    m_pendingText = text;
    Q_EMIT fillingChanged(true);
    // A pane not shown yet has no width of its own: the document is laid out at the width it
    // gets once shown, not at one it would have to be laid out again for.
    if (!m_pane->viewport()->isVisible()) {
        m_pane->viewport()->installEventFilter(this);
        return;
    }
    launch(job);
}

bool TextPaneDocumentFill::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pane->viewport() && event->type() == QEvent::Show) {
        m_pane->viewport()->removeEventFilter(this);
        // After the layouts that follow the show have given the pane its size.
        QMetaObject::invokeMethod(
            this,
            [this, job = std::weak_ptr<Job>(m_pending)] {
                if (const std::shared_ptr<Job> pending = job.lock(); pending && pending == m_pending)
                    launch(pending);
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void TextPaneDocumentFill::launch(const std::shared_ptr<Job> &job)
{
    const QString text = m_pendingText;
    // A text this long scrolls: when the pane's scroll bar is not shown yet, it will be, and the
    // page is narrower by it.
    qreal pageWidth = m_pane->document()->pageSize().width();
    const QScrollBar *bar = m_pane->verticalScrollBar();
    if (!bar->isVisible() && m_pane->verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded)
        pageWidth = std::max<qreal>(pageWidth - bar->sizeHint().width(), 0);
    QThread *const home = thread();
    const QPointer<TextPaneDocumentFill> receiver(this);
    auto work = [job, text, pageWidth, home, receiver] {
        std::unique_ptr<QTextDocument> document;
        try {
            document = PaneText::filledDocument(text, pageWidth, &job->cancelled);
        } catch (...) {
            document.reset(); // out of memory: the pane keeps its document and gets the text in place
        }
        if (document)
            document->moveToThread(home);
        {
            const std::lock_guard lock(job->mutex);
            job->document = document.release();
            job->ready = true;
        }
        const auto handOver = [job, receiver] {
            if (receiver)
                receiver->deliver(job);
            else
                delete job->take();
        };
        // Inline and held executors run on the window's thread: the document is taken at once.
        if (QThread::currentThread() == home)
            handOver();
        else
            QMetaObject::invokeMethod(QCoreApplication::instance(), handOver, Qt::QueuedConnection);
    };
    try {
        if (!m_executor)
            throw std::runtime_error("no executor");
        m_executor->start(work);
    } catch (...) {
        // No worker to be had: the document is made here and now.
        work();
    }
}

void TextPaneDocumentFill::cancel()
{
    if (!m_pending)
        return;
    m_pane->viewport()->removeEventFilter(this);
    m_pending->cancelled.store(true);
    m_pending.reset();
    m_pendingText.clear();
    Q_EMIT fillingChanged(false);
}

void TextPaneDocumentFill::deliver(const std::shared_ptr<Job> &job)
{
    QTextDocument *document = job->take();
    if (job != m_pending) {
        dispose(document);
        return;
    }
    bool ready = false;
    {
        const std::lock_guard lock(job->mutex);
        ready = job->ready;
    }
    if (!ready)
        return;
    m_pending.reset();
    const QString text = std::exchange(m_pendingText, QString());
    Q_EMIT fillingChanged(false);
    m_adopt(document, text);
}

void TextPaneDocumentFill::dispose(QTextDocument *document)
{
    PaneText::disposeLater(document);
}

namespace {

// The documents no pane shows any more, deleted one a frame: a long one takes a moment, and two
// at once (both panes' when the window closes) would add up. A timer of no interval may fire
// twice in one turn of the loop, with nothing between. The bin belongs to
// the application, which deletes what is left in it at its end.
class PaneDocumentBin final : public QObject {
public:
    static void add(QTextDocument *document)
    {
        static QPointer<PaneDocumentBin> bin;
        if (!bin)
            bin = new PaneDocumentBin;
        document->setParent(bin);
        bin->m_documents.push_back(document);
        if (!bin->m_timer.isActive())
            bin->m_timer.start(deleteIntervalMs, Qt::PreciseTimer, bin);
    }

protected:
    void timerEvent(QTimerEvent *) override
    {
        if (!m_documents.empty()) {
            delete m_documents.front();
            m_documents.erase(m_documents.begin());
        }
        if (m_documents.empty())
            m_timer.stop();
    }

private:
    PaneDocumentBin()
        : QObject(QCoreApplication::instance())
    {
    }

    static constexpr int deleteIntervalMs = 16;
    std::vector<QTextDocument *> m_documents;
    QBasicTimer m_timer;
};

} // namespace

namespace PaneText {

void disposeLater(QTextDocument *document)
{
    if (document)
        PaneDocumentBin::add(document);
}

} // namespace PaneText
