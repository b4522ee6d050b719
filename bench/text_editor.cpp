// Typing, scrolling and opening in the text comparison editor, against a bare QPlainTextEdit
// holding the same text (what Qt's own editing costs on this machine). Fixtures are generated:
// a 1,400-character document and a novel of 8,000 lines with 50 edited lines and 50 notes.
#include "model/MarkupViewModel.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextComparisonSurface.h"
#include "texteditor/TextExportDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

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
        surface = std::make_unique<TextComparisonSurface>(*model.textComparison(), actions, dialogs);
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

void report(const char *what, const Stats &ours, const Stats &peer, double goal, bool p95)
{
    const double value = p95 ? ours.p95 : ours.median;
    const double peerValue = p95 ? peer.p95 : peer.median;
    std::printf("%-44s ours %s %7.2f ms (median %6.2f, p95 %6.2f) | peer %7.2f ms | ratio %5.1f | goal <= %.0f ms %s\n",
                what, p95 ? "p95   " : "median", value, ours.median, ours.p95, peerValue,
                peerValue > 0 ? value / peerValue : 0.0, goal, value <= goal ? "met" : "MISSED");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    {
        const Fixture fixture = smallDocument();
        Editor editor(fixture);
        placeCaretMidView(editor.view());
        Peer peer(fixture.edited);
        const auto ours = stats(timeKeystrokes(60, editor.view(), { &editor.editedPaints, &editor.originalPaints },
                                               editor.surface->originalView()->viewport()));
        const auto theirs = stats(timeKeystrokes(60, &peer.edit, { &peer.paints }));
        report("keystroke to repaint, 1,400 characters", ours, theirs, 30, false);
    }
    {
        const Fixture fixture = novel();
        Editor editor(fixture);
        std::printf("%-44s ours %7.2f ms (surface built, first paint of the edited pane)\n", "open the novel",
                    editor.openMilliseconds);
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
        report("keystroke to repaint, novel", ours, theirs, 150, true);

        const auto scrolls = stats(timeScrolls(60, bar, { &editor.editedPaints, &editor.originalPaints }));
        const auto peerScrolls = stats(timeScrolls(60, peer.edit.verticalScrollBar(), { &peer.paints }));
        report("scroll step to repaint of both panes, novel", scrolls, peerScrolls, 16, true);
    }
    return 0;
}
