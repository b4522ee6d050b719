#include "textengine/TextComparisonSession.h"

#include "model/MarkupViewModel.h"
#include "platform/SystemMemory.h"
#include "textengine/TextComparisonDiff.h"
#include "textengine/TextComparisonExecutor.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

TextComparisonSession::TextComparisonSession(MarkupViewModel &model, std::shared_ptr<TextComparisonExecutor> executor,
                                             QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_executor(std::move(executor))
    , m_search([](const QString &original, const QString &edited, const std::atomic<bool> *cancelled) {
        return TextComparisonDiff::compare(original, edited, cancelled);
    })
{
    setObjectName(QStringLiteral("textComparisonSession"));
    connect(&m_model, &MarkupViewModel::textComparisonChanged, this, &TextComparisonSession::documentChanged);
    documentChanged();
}

TextComparisonSession::~TextComparisonSession()
{
    if (m_flag)
        m_flag->store(true);
}

void TextComparisonSession::setExecutor(std::shared_ptr<TextComparisonExecutor> executor)
{
    m_executor = std::move(executor);
}

void TextComparisonSession::setSearch(Search search) { m_search = std::move(search); }

std::shared_ptr<const TextComparisonResult> TextComparisonSession::resultFor(const QString &original,
                                                                             const QString &edited) const
{
    if (!m_result || original != m_original || edited != m_edited)
        return nullptr;
    return m_result;
}

void TextComparisonSession::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (active) {
        if (m_hasDocument && !m_result && !m_flag)
            startSearch();
    } else if (m_waiting.empty()) {
        stopSearch();
    }
}

void TextComparisonSession::cancel()
{
    m_waiting.clear();
    m_active = false;
    stopSearch();
}

bool TextComparisonSession::whenCompared(std::function<void(const TextComparisonResult &)> done)
{
    if (!m_hasDocument) {
        done(TextComparisonResult{});
        return true;
    }
    if (m_result) {
        done(*m_result);
        return true;
    }
    m_waiting.push_back(std::move(done));
    if (!m_flag)
        startSearch();
    return false;
}

std::size_t TextComparisonSession::dropWaiting()
{
    const std::size_t dropped = m_waiting.size();
    m_waiting.clear();
    if (dropped > 0 && !m_active)
        stopSearch();
    return dropped;
}

void TextComparisonSession::documentChanged()
{
    const std::optional<TextComparisonState> &document = m_model.textComparison();
    if (document && m_hasDocument && document->originalText == m_original && document->editedText == m_edited)
        return; // markups only: the result stands
    stopSearch();
    ++m_version;
    m_result.reset();
    m_hasDocument = document.has_value();
    m_original = document ? document->originalText : QString();
    m_edited = document ? document->editedText : QString();
    if (m_hasDocument && m_known && m_original == m_knownOriginal && m_edited == m_knownEdited)
        m_result = m_known;
    else if (m_hasDocument && (m_active || !m_waiting.empty()))
        startSearch();
    Q_EMIT resultChanged();
    if (!m_hasDocument || m_result)
        runWaiting();
}

namespace {

// Texts past this size have their search's freed memory handed back when it ends.
constexpr qsizetype trimAfterCodeUnits = 1 << 20;

} // namespace

void TextComparisonSession::startSearch()
{
    auto flag = std::make_shared<std::atomic<bool>>(false);
    m_flag = flag;
    Q_EMIT comparingChanged(true);
    const quint64 version = m_version;
    const QPointer<TextComparisonSession> receiver(this);
    QThread *const home = thread();
    auto job = [search = m_search, original = m_original, edited = m_edited, flag, version, receiver, home] {
        std::shared_ptr<const TextComparisonResult> result;
        bool failed = false;
        try {
            if (std::optional<TextComparisonResult> found = search(original, edited, flag.get()))
                result = std::make_shared<const TextComparisonResult>(std::move(*found));
        } catch (...) {
            failed = true; // out of memory: the window keeps what it shows
        }
        // A search of long texts frees far more than it keeps, in its own thread's heap, which
        // would otherwise stay with the process after every keystroke's search.
        if (original.size() + edited.size() > trimAfterCodeUnits)
            SystemMemory::returnFreedMemory();
        if (flag->load())
            return; // no longer wanted: a newer text or the end of the workspace cancelled it
        if (!result)
            failed = true;
        auto deliver = [receiver, version, result, failed] {
            if (receiver)
                receiver->answer(version, result, failed);
        };
        // Inline and held executors run on the window's thread: the answer is taken at once.
        if (QThread::currentThread() == home)
            deliver();
        else
            QMetaObject::invokeMethod(QCoreApplication::instance(), deliver, Qt::QueuedConnection);
    };
    try {
        m_executor->start(std::move(job));
    } catch (...) {
        if (m_flag == flag)
            answer(version, nullptr, true);
    }
}

void TextComparisonSession::stopSearch()
{
    if (!m_flag)
        return;
    m_flag->store(true);
    m_flag.reset();
    Q_EMIT comparingChanged(false);
}

void TextComparisonSession::answer(quint64 version, std::shared_ptr<const TextComparisonResult> result, bool failed)
{
    // Answers of older texts come late or out of order: only the current version's counts.
    if (version != m_version || m_result)
        return;
    if (m_flag) {
        m_flag->store(true); // a second search of the same texts (started after a return) is moot
        m_flag.reset();
        Q_EMIT comparingChanged(false);
    }
    if (failed) {
        // The panes keep what they show; what waited for this result learns that it will not come.
        const bool exportsWaited = !m_waiting.empty();
        m_waiting.clear();
        if (exportsWaited)
            m_model.setErrorMessage(QStringLiteral("文案对比未能完成，无法导出"));
        return;
    }
    m_result = std::move(result);
    m_known = m_result;
    m_knownOriginal = m_original;
    m_knownEdited = m_edited;
    Q_EMIT resultChanged();
    runWaiting();
}

void TextComparisonSession::runWaiting()
{
    if (m_waiting.empty())
        return;
    const TextComparisonResult empty;
    const TextComparisonResult &current = m_result ? *m_result : empty;
    std::vector<std::function<void(const TextComparisonResult &)>> waiting;
    waiting.swap(m_waiting);
    for (const auto &done : waiting)
        done(current);
    if (!m_active && m_waiting.empty())
        stopSearch();
}
