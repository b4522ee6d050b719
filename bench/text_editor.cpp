// Typing, scrolling and opening in the text comparison editor, against a bare QPlainTextEdit
// holding the same text (what Qt's own editing costs on this machine). Fixtures are generated:
// a 1,400-character document and a novel of 8,000 lines with 50 edited lines and 50 notes.
// Each round builds the editor afresh; every figure is given as min / median over the rounds,
// ours, the peer and the ratio, on cores 6 and 7 and on all cores.
//
//   bench_text_editor [rounds]
//
// The window's own thread in the real window (cores 6 and 7), on texts whose comparison is long:
// each keystroke's time to the repaint of the edited pane (p95 and max) and the longest stall of
// the window's event loop from the first keystroke until the last comparison is shown; then how
// long the window takes to answer a switch of workspace and a close during a long comparison (the
// program's search of 36,000 shuffled lines, held open until it is cancelled, so that it is still
// running when the window is switched or closed however fast the machine). The first comparison
// is timed from the paste of the edited text.
//
//   bench_text_editor window [keystrokes] [ids|reversed|20k|100k|switch]   (all cases without a name)
//
// The edited text's history: keystrokes typed into an 8,000,000-character text (their time on the
// window's thread and to the repaint), then undone and redone, and the resident growth they leave.
//
//   bench_text_editor history [keystrokes]   (100 without a number)
#include "BenchSupport.h"
#include "model/MarkupViewModel.h"
#include "platform/SystemMemory.h"
#include "shell/MainWindow.h"
#include "shell/TextComparisonHookup.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextComparisonSurface.h"
#include "texteditor/TextComparisonWorkspace.h"
#include "texteditor/TextExportDialogs.h"
#include "textengine/TextComparisonDiff.h"
#include "textengine/TextComparisonExecutor.h"
#include "textengine/TextComparisonSession.h"
#include "ui/ShellDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <vector>

#include <sched.h>
#include <unistd.h>

namespace {

using BenchSupport::useCores;

QString line(QRandomGenerator &rng, int minimum, int spread)
{
    static const QString pool
        = QStringLiteral("天地玄黄宇宙洪荒日月盈昃辰宿列张寒来暑往秋收冬藏闰余成岁律吕调阳云腾致雨露结为霜，。");
    QString text;
    const int length = minimum + int(rng.bounded(spread));
    for (int k = 0; k < length; ++k)
        text += pool.at(int(rng.bounded(int(pool.size()))));
    return text;
}

// Counts paints of the watched viewports.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Processes events until every counter has seen a paint (or a second has passed).
void waitForPaint(std::vector<PaintCounter *> counters)
{
    for (PaintCounter *counter : counters)
        counter->paints = 0;
    QElapsedTimer guard;
    guard.start();
    while (guard.elapsed() < 1000) {
        QCoreApplication::processEvents();
        if (std::all_of(counters.begin(), counters.end(), [](PaintCounter *c) { return c->paints > 0; }))
            return;
    }
}

void typeKey(QWidget *target)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(target, &release);
}

struct Stats {
    double median = 0;
    double p95 = 0;
};

Stats stats(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    Stats result;
    result.median = values[values.size() / 2];
    result.p95 = values[std::min(values.size() - 1, std::size_t(double(values.size()) * 0.95))];
    return result;
}

struct Fixture {
    QString original;
    QString edited;
    std::vector<std::pair<qint64, qint64>> notes;
};

Fixture smallDocument()
{
    QRandomGenerator rng(7);
    Fixture fixture;
    while (fixture.original.size() < 1400)
        fixture.original += line(rng, 20, 40) + u'\n';
    fixture.original.truncate(1400);
    fixture.edited = fixture.original;
    fixture.edited.insert(200, QStringLiteral("新增的一句话"));
    fixture.edited.remove(900, 12);
    fixture.notes = { { 10, 4 }, { 300, 6 }, { 700, 3 } };
    return fixture;
}

Fixture novel()
{
    QRandomGenerator rng(11);
    QStringList lines;
    for (int k = 0; k < 8000; ++k)
        lines << line(rng, 30, 60);
    Fixture fixture;
    fixture.original = lines.join(u'\n');
    for (int k = 0; k < 50; ++k)
        lines[80 + k * 157] += QStringLiteral("（改）");
    fixture.edited = lines.join(u'\n');
    qint64 position = 0;
    for (int k = 0; k < 8000; ++k) {
        if (k % 160 == 5)
            fixture.notes.emplace_back(position + 2, 4);
        position += lines[k].size() + 1;
    }
    return fixture;
}

// The editor as the window builds it: a surface whose actions end in a real view model.
struct Editor {
    QTemporaryDir directory;
    QSettings settings { directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat };
    MarkupViewModel model { settings };
    TextComparisonSession session { model, TextComparisonExecutors::threaded() };
    ModalTextExportDialogs dialogs;
    std::unique_ptr<TextComparisonSurface> surface;
    PaintCounter editedPaints, originalPaints;
    double openMilliseconds = 0;

    explicit Editor(const Fixture &fixture)
    {
        model.setTextComparison(QStringLiteral("novel.txt"), fixture.original);
        model.updateEditedComparisonText(fixture.edited);
        for (auto [location, length] : fixture.notes) {
            const auto created = model.addTextMarkupAnnotation(location, length);
            model.updateTextMarkupAnnotation(created->id, QStringLiteral("这里要改一下"), true, std::nullopt,
                                             std::nullopt, std::nullopt, std::nullopt);
        }
        TextComparisonActions actions;
        actions.editText = [this](const QString &text) { model.updateEditedComparisonText(text); };
        actions.undo = [this] { return model.undoTextComparisonEdit(); };
        actions.redo = [this] { return model.redoTextComparisonEdit(); };
        QElapsedTimer timer;
        timer.start();
        session.setActive(true);
        surface = std::make_unique<TextComparisonSurface>(*model.textComparison(), session, actions, dialogs);
        QObject::connect(&model, &MarkupViewModel::textComparisonChanged, surface.get(),
                         [this] { surface->setComparison(*model.textComparison()); });
        view()->viewport()->installEventFilter(&editedPaints);
        surface->originalView()->viewport()->installEventFilter(&originalPaints);
        surface->resize(1400, 900);
        surface->show();
        waitForPaint({ &editedPaints });
        openMilliseconds = double(timer.nsecsElapsed()) / 1e6;
        view()->setFocus();
    }

    AnnotationTextView *view() { return surface->editor()->textView(); }
};

struct Peer {
    QPlainTextEdit edit;
    PaintCounter paints;
    explicit Peer(const QString &text)
    {
        edit.setPlainText(text);
        edit.viewport()->installEventFilter(&paints);
        edit.resize(600, 700);
        edit.show();
        waitForPaint({ &paints });
        edit.setFocus();
    }
};

void placeCaretMidView(QTextEdit *edit)
{
    const int position = edit->cursorForPosition(edit->viewport()->rect().center()).position();
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(position);
    edit->setTextCursor(cursor);
}

// `alsoRepaint`: a pane whose text may not change with the key is repainted anyway, so the time
// covers a paint of both panes.
std::vector<double> timeKeystrokes(int count, QWidget *target, std::vector<PaintCounter *> counters,
                                   QWidget *alsoRepaint = nullptr)
{
    std::vector<double> times;
    for (int k = 0; k < count; ++k) {
        QElapsedTimer timer;
        timer.start();
        typeKey(target);
        if (alsoRepaint)
            alsoRepaint->update();
        waitForPaint(counters);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return times;
}

std::vector<double> timeScrolls(int count, QScrollBar *bar, std::vector<PaintCounter *> counters)
{
    std::vector<double> times;
    for (int k = 0; k < count; ++k) {
        QElapsedTimer timer;
        timer.start();
        bar->setValue(bar->value() + bar->singleStep() * 3);
        waitForPaint(counters);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return times;
}

QString loadAverage()
{
    QFile file("/proc/loadavg");
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

// One figure per round, ours and the peer's.
struct Rounds {
    std::vector<double> ours;
    std::vector<double> peer;
};

std::pair<double, double> minAndMedian(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return { values.front(), values[values.size() / 2] };
}

void report(const char *what, const Rounds &rounds, double goal)
{
    const auto [oursMin, oursMedian] = minAndMedian(rounds.ours);
    std::printf("%-48s ours %7.2f / %7.2f ms", what, oursMin, oursMedian);
    if (!rounds.peer.empty()) {
        const auto [peerMin, peerMedian] = minAndMedian(rounds.peer);
        std::printf(" | peer %6.2f / %6.2f ms | ratio %5.1f / %5.1f", peerMin, peerMedian, oursMin / peerMin,
                    oursMedian / peerMedian);
    }
    if (goal > 0)
        std::printf(" | goal <= %.0f ms: %s", goal, oursMedian <= goal ? "met (median round)" : "MISSED (median round)");
    std::printf("\n");
    std::fflush(stdout);
}

void measure(int rounds, const char *label)
{
    std::printf("-- %s, %d rounds, min / median over the rounds (load average before: %s)\n", label, rounds,
                qPrintable(loadAverage()));
    Rounds smallKeys, open, novelKeysP95, novelKeysMedian, scrollP95;
    for (int round = 0; round < rounds; ++round) {
        {
            const Fixture fixture = smallDocument();
            Editor editor(fixture);
            placeCaretMidView(editor.view());
            Peer peer(fixture.edited);
            const auto ours = stats(timeKeystrokes(60, editor.view(), { &editor.editedPaints, &editor.originalPaints },
                                                   editor.surface->originalView()->viewport()));
            const auto theirs = stats(timeKeystrokes(60, &peer.edit, { &peer.paints }));
            smallKeys.ours.push_back(ours.median);
            smallKeys.peer.push_back(theirs.median);
        }
        const Fixture fixture = novel();
        Editor editor(fixture);
        open.ours.push_back(editor.openMilliseconds);
        QScrollBar *bar = editor.view()->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        waitForPaint({ &editor.editedPaints });
        placeCaretMidView(editor.view());
        Peer peer(fixture.edited);
        peer.edit.verticalScrollBar()->setValue(peer.edit.verticalScrollBar()->maximum() / 2);
        waitForPaint({ &peer.paints });
        const auto ours = stats(timeKeystrokes(40, editor.view(), { &editor.editedPaints, &editor.originalPaints },
                                               editor.surface->originalView()->viewport()));
        const auto theirs = stats(timeKeystrokes(40, &peer.edit, { &peer.paints }));
        novelKeysP95.ours.push_back(ours.p95);
        novelKeysP95.peer.push_back(theirs.p95);
        novelKeysMedian.ours.push_back(ours.median);
        novelKeysMedian.peer.push_back(theirs.median);
        const auto scrolls = stats(timeScrolls(60, bar, { &editor.editedPaints, &editor.originalPaints }));
        const auto peerScrolls = stats(timeScrolls(60, peer.edit.verticalScrollBar(), { &peer.paints }));
        scrollP95.ours.push_back(scrolls.p95);
        scrollP95.peer.push_back(peerScrolls.p95);
    }
    report("keystroke to repaint, 1,400 characters, median", smallKeys, 30);
    report("open the novel (surface built, first paint)", open, 0);
    report("keystroke to repaint, novel, p95", novelKeysP95, 16);
    report("keystroke to repaint, novel, median", novelKeysMedian, 0);
    report("scroll step to repaint of both panes, novel, p95", scrollP95, 16);
    std::printf("   (load average after: %s)\n", qPrintable(loadAverage()));
}


// ---- The window's thread in the real window ---------------------------------------------------

// Answers the quit question with 不保存 and the errors silently.
class QuietDialogs : public ShellDialogs {
public:
    QuitAnswer askBeforeQuit(QuitPrompt, SaveQuestionCause, QWidget *) override { return QuitAnswer::DontSave; }
    void showError(const QString &, QWidget *) override {}
    bool askToDownloadUpdate(const QString &, QWidget *) override { return false; }
};

// The longest gap between two turns of the window's event loop, seen by a timer that fires
// whenever the loop is free.
class StallWatch : public QObject {
public:
    StallWatch()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            longest = std::max(longest, double(now - m_last) / 1e6);
            m_last = now;
        });
    }
    void start()
    {
        longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longest = 0;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};

struct TextPair {
    const char *name;
    QString original;
    QString edited;
};

QString randomId(QRandomGenerator &rng)
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789";
    QString id;
    for (int k = 0; k < 9; ++k)
        id += QLatin1Char(alphabet[rng.bounded(int(sizeof(alphabet) - 1))]);
    return id;
}

TextPair sortedIds()
{
    QRandomGenerator rng(23);
    QStringList ids;
    for (int k = 0; k < 23000; ++k)
        ids << randomId(rng);
    TextPair pair{"23,000 IDs, unsorted vs sorted", ids.join(u'\n') + u'\n', QString()};
    std::sort(ids.begin(), ids.end());
    pair.edited = ids.join(u'\n') + u'\n';
    return pair;
}

QStringList numberedLines(int count, QRandomGenerator &rng)
{
    QStringList lines;
    for (int k = 0; k < count; ++k)
        lines << QStringLiteral("%1 %2").arg(k, 5, 10, QLatin1Char('0')).arg(randomId(rng).left(7));
    return lines;
}

TextPair reversedLines()
{
    QRandomGenerator rng(10);
    QStringList lines = numberedLines(10000, rng);
    TextPair pair{"10,000 lines reversed", lines.join(u'\n') + u'\n', QString()};
    std::reverse(lines.begin(), lines.end());
    pair.edited = lines.join(u'\n') + u'\n';
    return pair;
}

TextPair everyOtherLineEdited(int count, const char *name)
{
    QRandomGenerator rng { quint32(count) };
    QStringList lines = numberedLines(count, rng);
    TextPair pair{name, lines.join(u'\n') + u'\n', QString()};
    for (int k = 1; k < count; k += 2)
        lines[k] += QStringLiteral("改");
    pair.edited = lines.join(u'\n') + u'\n';
    return pair;
}

TextPair shuffledLines(int count)
{
    QRandomGenerator rng(36);
    QStringList lines = numberedLines(count, rng);
    TextPair pair{"36,000 shuffled lines", lines.join(u'\n') + u'\n', QString()};
    for (qsizetype k = lines.size() - 1; k > 0; --k)
        lines.swapItemsAt(k, qsizetype(rng.bounded(quint32(k + 1))));
    pair.edited = lines.join(u'\n') + u'\n';
    return pair;
}

struct Window {
    QTemporaryDir directory;
    QSettings settings{directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat};
    std::unique_ptr<MainWindow> window;

    Window()
    {
        ContentViewOptions options;
        options.useDefaultUpdateURL = false;
        options.dialogs = std::make_unique<QuietDialogs>();
        options.quitApplication = [] {};
        window = std::make_unique<MainWindow>(settings, std::move(options));
        window->resize(1280, 800);
        window->show();
        QCoreApplication::processEvents();
    }
    ContentView &view() { return window->contentView(); }
    MarkupViewModel &model() { return view().viewModel(); }
    TextComparisonSurface *surface()
    {
        QWidget *content = view().workspaceContentWidget();
        auto *workspace = qobject_cast<TextComparisonWorkspace *>(content);
        if (!workspace && content)
            workspace = content->findChild<TextComparisonWorkspace *>();
        return workspace ? workspace->surface() : nullptr;
    }
    TextComparisonSession &session() { return view().findChild<TextComparisonHookup *>()->comparisonSession(); }
    // The texts as a paste brings them: the original uploaded and shown, then the edited text
    // replaced whole (the paste is what `paste` times from).
    void upload(const TextPair &pair)
    {
        model().setTextComparison(QStringLiteral("bench.txt"), pair.original);
        view().switchWorkspace(WorkspaceMode::TextComparison, false);
        QCoreApplication::processEvents();
    }
    void paste(const TextPair &pair) { model().updateEditedComparisonText(pair.edited); }
};

// The program's search, held open afterwards until it is cancelled: whatever the machine's speed,
// a switch or close then meets a search that is still running, and it stops the way a real one
// does, at a check of its cancel flag.
TextComparisonSession::Search heldSearch()
{
    return [](const QString &original, const QString &edited,
              const std::atomic<bool> *cancelled) -> std::optional<TextComparisonResult> {
        std::optional<TextComparisonResult> result = TextComparisonDiff::compare(original, edited, cancelled);
        QElapsedTimer held;
        held.start();
        while (!cancelled->load() && held.elapsed() < 120000)
            QThread::msleep(1);
        return result;
    };
}

// Whether the changes shown are those of the texts shown.
bool comparisonShown(TextComparisonSurface *surface)
{
    return surface && surface->isShowingCurrentComparison();
}

// Runs the loop until the condition holds or `limitMs` has passed; false when it did not hold.
bool loopUntil(const std::function<bool()> &condition, int limitMs)
{
    QElapsedTimer guard;
    guard.start();
    while (!condition()) {
        if (guard.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void measureTyping(const TextPair &pair, int keystrokes)
{
    Window w;
    w.upload(pair);
    QElapsedTimer shown;
    shown.start();
    w.paste(pair);
    const bool first = loopUntil([&] { return comparisonShown(w.surface()); }, 600000);
    const double firstMs = double(shown.nsecsElapsed()) / 1e6;
    TextComparisonSurface *surface = w.surface();
    AnnotationTextView *view = surface->editor()->textView();
    PaintCounter paints;
    view->viewport()->installEventFilter(&paints);
    view->setFocus();
    placeCaretMidView(view);
    StallWatch stalls;
    stalls.start();
    std::vector<double> keys;
    int landed = 0;
    for (int k = 0; k < keystrokes; ++k) {
        const qsizetype before = w.model().textComparison()->editedText.size();
        QElapsedTimer timer;
        timer.start();
        typeKey(view);
        waitForPaint({&paints});
        keys.push_back(double(timer.nsecsElapsed()) / 1e6);
        landed += w.model().textComparison()->editedText.size() == before + 1 ? 1 : 0;
        // Typing at about 12 characters a second.
        loopUntil([] { return false; }, 80);
    }
    QElapsedTimer answer;
    answer.start();
    const bool last = loopUntil([&] { return comparisonShown(w.surface()); }, 600000);
    const double answerMs = double(answer.nsecsElapsed()) / 1e6;
    loopUntil([] { return false; }, 100);
    stalls.stop();
    std::sort(keys.begin(), keys.end());
    // Nearest rank: with 20 keystrokes the 19th, not the longest.
    const auto rank = std::size_t(std::ceil(double(keys.size()) * 0.95));
    const double p95 = keys[std::clamp(rank, std::size_t(1), keys.size()) - 1];
    std::printf("%-38s %4lld K units | first comparison shown %s %8.0f ms | keystroke to repaint p95 %8.1f ms, max "
                "%8.1f ms | longest stall %8.1f ms | last answer %s %8.0f ms after the last key\n",
                pair.name, (long long)((pair.original.size() + pair.edited.size()) / 1000), first ? "in" : "NOT in",
                firstMs, p95, keys.back(), stalls.longest, last ? "in" : "NOT in", answerMs);
    if (landed != keystrokes)
        std::printf("   (only %d of the %d keystrokes reached the text)\n", landed, keystrokes);
    std::fflush(stdout);
    view->viewport()->removeEventFilter(&paints);
}

// Runs the window's own event loop for a while (deferred deletions included), as the program's
// loop would after an action.
void runLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// How long the window's thread is held by a switch of workspace, and by a close (the window is
// closed and destroyed, as at the end of the program), while a long comparison runs: the longest
// stall of the window's loop from the action until a second later.
void measureSwitchAndClose(const TextPair &pair)
{
    auto w = std::make_unique<Window>();
    w->session().setSearch(heldSearch());
    w->upload(pair);
    w->paste(pair);
    runLoopFor(300);
    const bool running = w->session().isComparing() && !comparisonShown(w->surface());
    StallWatch stalls;
    stalls.start();
    w->view().switchWorkspace(WorkspaceMode::ImageMarkup, false);
    runLoopFor(1000);
    stalls.stop();
    const double switchMs = stalls.longest;
    w->view().switchWorkspace(WorkspaceMode::TextComparison, false);
    runLoopFor(300);
    const bool runningAgain = w->session().isComparing() && !comparisonShown(w->surface());
    stalls.start();
    w->window->close();
    runLoopFor(200);
    w.reset();
    runLoopFor(800);
    stalls.stop();
    const double closeMs = stalls.longest;
    std::printf("%-38s %4lld K units | window's longest stall: switching away during the comparison %s %8.1f ms, "
                "closing and destroying the window %s %8.1f ms\n",
                pair.name, (long long)((pair.original.size() + pair.edited.size()) / 1000),
                running ? "(running)" : "(ALREADY DONE)", switchMs, runningAgain ? "(running)" : "(ALREADY DONE)",
                closeMs);
    std::fflush(stdout);
}

void measureWindow(int keystrokes, const QByteArray &only)
{
    std::printf("-- the window's thread, cores 6,7, %d keystrokes each (load average before: %s)\n", keystrokes,
                qPrintable(loadAverage()));
    const auto wanted = [&only](const char *name) { return only.isEmpty() || only == name; };
    if (wanted("ids"))
        measureTyping(sortedIds(), keystrokes);
    if (wanted("reversed"))
        measureTyping(reversedLines(), keystrokes);
    if (wanted("20k"))
        measureTyping(everyOtherLineEdited(20000, "20,000 lines, every other edited"), keystrokes);
    if (wanted("100k"))
        measureTyping(everyOtherLineEdited(100000, "100,000 lines, every other edited"), keystrokes);
    if (wanted("switch"))
        measureSwitchAndClose(shuffledLines(36000));
    std::printf("   (load average after: %s)\n", qPrintable(loadAverage()));
}

// The edited text's history in the real window: 100 keystrokes typed into an 8,000,000-character
// text, then as many undos and redos. Each key's time is its handling on the window's thread (the
// editor, the document and its history) and the time to the repaint of the edited pane; the
// resident growth is from before the first key until every comparison has been shown and the
// window's loop has run its deferred work, so what stays is what the history and the result keep.
void measureHistory(int keystrokes)
{
    QRandomGenerator rng(80);
    QString text;
    text.reserve(8'000'000 + 200);
    while (text.size() < 8'000'000)
        text += line(rng, 20, 60) + u'\n';
    text.truncate(8'000'000);
    std::printf("-- the edited text's history, cores 6,7: %d keystrokes in %lld characters (load average: %s)\n",
                keystrokes, (long long)text.size(), qPrintable(loadAverage()));
    Window w;
    w.upload(TextPair{"history", text, QString()});
    text.clear();
    text.squeeze();
    loopUntil([&] { return comparisonShown(w.surface()); }, 600000);
    AnnotationTextView *view = w.surface()->editor()->textView();
    PaintCounter paints;
    view->viewport()->installEventFilter(&paints);
    view->setFocus();
    placeCaretMidView(view);
    runLoopFor(500);
    const double residentBefore = BenchSupport::statusMB("VmRSS:");
    std::vector<double> handled;
    std::vector<double> repainted;
    for (int k = 0; k < keystrokes; ++k) {
        QElapsedTimer timer;
        timer.start();
        typeKey(view);
        handled.push_back(double(timer.nsecsElapsed()) / 1e6);
        waitForPaint({&paints});
        repainted.push_back(double(timer.nsecsElapsed()) / 1e6);
        loopUntil([] { return false; }, 20);
    }
    loopUntil([&] { return comparisonShown(w.surface()); }, 600000);
    runLoopFor(500);
    const double residentAfter = BenchSupport::statusMB("VmRSS:");
    // What of it is freed memory that the allocator's arenas keep mapped.
    SystemMemory::returnFreedMemory();
    const double residentTrimmed = BenchSupport::statusMB("VmRSS:");
    const auto timeSteps = [&](bool back) {
        std::vector<double> times;
        for (int k = 0; k < keystrokes; ++k) {
            QElapsedTimer timer;
            timer.start();
            if (back)
                w.model().undoTextComparisonEdit();
            else
                w.model().redoTextComparisonEdit();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
            QCoreApplication::processEvents();
        }
        return times;
    };
    const std::vector<double> undos = timeSteps(true);
    const std::vector<double> redos = timeSteps(false);
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const auto longest = [](const std::vector<double> &values) { return *std::max_element(values.begin(), values.end()); };
    const auto p95 = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[std::min(values.size() - 1, std::size_t(std::ceil(double(values.size()) * 0.95)) - 1)];
    };
    std::printf("keystroke handled on the window's thread: median %7.1f ms, p95 %7.1f ms, max %7.1f ms (the first "
                "%7.1f ms) (goal 16 ms)\n",
                median(handled), p95(handled), longest(handled), handled.front());
    std::printf("keystroke to repaint:                     median %7.1f ms, p95 %7.1f ms, max %7.1f ms\n",
                median(repainted), p95(repainted), longest(repainted));
    std::printf("undo: median %7.1f ms, max %7.1f ms | redo: median %7.1f ms, max %7.1f ms\n", median(undos),
                longest(undos), median(redos), longest(redos));
    std::printf("resident: %7.0f MB before the first key, %7.0f MB after the last; growth %7.0f MB "
                "(goal 64 MB beyond the text of 16 MB); %7.0f MB once freed memory is returned\n",
                residentBefore, residentAfter, residentAfter - residentBefore, residentTrimmed - residentBefore);
    std::fflush(stdout);
    view->viewport()->removeEventFilter(&paints);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    if (argc > 1 && qstrcmp(argv[1], "history") == 0) {
        useCores({ 6, 7 });
        measureHistory(argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 100);
        return 0;
    }
    if (argc > 1 && qstrcmp(argv[1], "window") == 0) {
        useCores({ 6, 7 });
        measureWindow(argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 20, argc > 3 ? QByteArray(argv[3]) : QByteArray());
        return 0;
    }
    const int rounds = argc > 1 ? std::max(3, QByteArray(argv[1]).toInt()) : 3;
    useCores({ 6, 7 });
    measure(rounds, "cores 6,7");
    useCores({});
    measure(rounds, "all cores");
    return 0;
}
