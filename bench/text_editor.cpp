// Typing, scrolling and opening in the text comparison editor, against a bare QPlainTextEdit
// holding the same text (what Qt's own editing costs on this machine). Fixtures are generated:
// a 1,400-character document and a novel of 8,000 lines with 50 edited lines and 50 notes.
// Each round builds the editor afresh; every figure is given as min / median over the rounds,
// ours, the peer and the ratio, on cores 6 and 7 and on all cores.
//
//   bench_text_editor [rounds]
#include "model/MarkupViewModel.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextComparisonSurface.h"
#include "texteditor/TextExportDialogs.h"
#include "textengine/TextComparisonExecutor.h"
#include "textengine/TextComparisonSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sched.h>
#include <unistd.h>

namespace {

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

// Restricts this process to the given cores; an empty list allows all.
void useCores(const std::vector<int> &cores)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    for (long k = 0; k < online; ++k) {
        if (cores.empty() || std::find(cores.begin(), cores.end(), int(k)) != cores.end())
            CPU_SET(int(k), &set);
    }
    sched_setaffinity(0, sizeof(set), &set);
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

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const int rounds = argc > 1 ? std::max(3, QByteArray(argv[1]).toInt()) : 3;
    useCores({ 6, 7 });
    measure(rounds, "cores 6,7");
    useCores({});
    measure(rounds, "all cores");
    return 0;
}
