// Per-change work of the text comparison editor, with the changes given directly (no diff): the
// highlight runs of a whole text, the strip of changes filled and refilled after a keystroke, the
// edited pane rendering a keystroke's new text, and the workspace entered again. Most texts have every
// other line edited, so each edited line is a change of its own; the surface's text has one line in
// fifty edited.
//
//   bench_text_visible_work [rounds [keys]]      (keys: only the edited pane's keystrokes)
#include "BenchSupport.h"

#include "model/MarkupViewModel.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/ChangeStrip.h"
#include "texteditor/EditorTextRules.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/TextComparisonScrollSync.h"
#include "texteditor/TextComparisonSurface.h"
#include "texteditor/TextExportDialogs.h"
#include "texteditor/TextPaneDocuments.h"
#include "textengine/TextComparisonExecutor.h"
#include "textengine/TextComparisonSession.h"

#include <QApplication>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct EveryOtherLine {
    QString text;
    std::vector<TextComparisonChange> changes;

    explicit EveryOtherLine(int count)
    {
        QStringList lines;
        for (int k = 0; k < count; ++k)
            lines << (k % 2 ? QStringLiteral("改动后的第 %1 行，写得长一些").arg(k)
                            : QStringLiteral("原有的第 %1 行：天地玄黄宇宙洪荒日月盈昃").arg(k));
        text = lines.join(u'\n');
        qsizetype at = 0;
        for (int k = 0; k < count; ++k) {
            if (k % 2)
                changes.push_back({ qint64(changes.size()) + 1, at, at + lines[k].size() });
            at += lines[k].size() + 1;
        }
    }

    // The same text with one character typed inside the change in the middle, and its changes.
    std::pair<QString, std::vector<TextComparisonChange>> typed(int keystroke) const
    {
        QString edited = text;
        std::vector<TextComparisonChange> moved = changes;
        const std::size_t middle = moved.size() / 2;
        edited.insert(moved[middle].start + 1, QChar(u'a' + keystroke % 26));
        moved[middle].end += 1;
        for (std::size_t k = middle + 1; k < moved.size(); ++k) {
            moved[k].start += 1;
            moved[k].end += 1;
        }
        return { edited, moved };
    }
};

void highlightRuns(int rounds)
{
    for (const int lines : { 40000, 100000 }) {
        const EveryOtherLine document(lines);
        char name[96];
        std::snprintf(name, sizeof name, "highlightRuns, %d lines, %zu changes", lines, document.changes.size());
        BenchSupport::report(name, 0, rounds, [&](int) {
            volatile std::size_t count = EditorTextRules::highlightRuns(document.text, document.changes, {}).size();
            (void)count;
        });
    }
}

void strip(int rounds)
{
    for (const int count : { 10000, 20000, 50000 }) {
        const EveryOtherLine document(count * 2);
        char name[96];
        std::snprintf(name, sizeof name, "strip filled, %d changes, to first paint", count);
        BenchSupport::report(name, 0, rounds, [&](int) {
            ChangeStrip shown;
            shown.resize(1200, ChangeStrip::stripHeight);
            shown.show();
            shown.setChanges(document.text, document.changes);
            shown.repaint();
        });
        ChangeStrip shown;
        shown.resize(1200, ChangeStrip::stripHeight);
        shown.show();
        shown.setChanges(document.text, document.changes);
        shown.horizontalScrollBar()->setValue(shown.horizontalScrollBar()->maximum() / 2);
        std::snprintf(name, sizeof name, "strip refilled after a keystroke, %d changes", count);
        BenchSupport::report(name, 0, rounds * 5, [&](int round) {
            const auto [edited, changes] = document.typed(round);
            shown.setChanges(edited, changes);
            shown.repaint();
        });
    }
}

// The edited pane at the middle of the text: each round renders the text with one more key typed
// and its changes, then paints.
void keystrokes(int rounds)
{
    for (const int lines : { 20000, 100000 }) {
        const EveryOtherLine document(lines);
        HighlightedTextEditor editor(std::make_shared<TextComparisonScrollSync>(), {});
        editor.resize(640, 720);
        editor.show();
        editor.render(document.text, QString(), document.changes, {});
        QScrollBar *bar = editor.textView()->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        QCoreApplication::processEvents();
        char name[96];
        std::snprintf(name, sizeof name, "edited pane keystroke, %d lines, %zu changes", lines,
                      document.changes.size());
        std::vector<std::pair<QString, std::vector<TextComparisonChange>>> versions;
        for (int k = 0; k < rounds * 5; ++k)
            versions.push_back(k % 2 ? std::pair { document.text, document.changes } : document.typed(k));
        BenchSupport::report(name, 16, rounds * 5, [&](int round) {
            editor.render(versions[std::size_t(round)].first, QString(), versions[std::size_t(round)].second, {});
            editor.textView()->viewport()->repaint();
        });
    }
}

// Runs the comparison on the calling thread, before the entries that are timed.
class VisibleWorkInlineExecutor final : public TextComparisonExecutor {
public:
    void start(std::function<void()> job) override { job(); }
};

// A long text with one line in fifty edited, as the window's surface shows it: built for a first
// entry, then built again after the last surface went (its panes' documents kept).
void reentry(int rounds)
{
    QStringList lines;
    for (int k = 0; k < 8000; ++k)
        lines << QStringLiteral("第 %1 行：天地玄黄宇宙洪荒日月盈昃辰宿列张寒来暑往秋收冬藏").arg(k);
    const QString original = lines.join(u'\n');
    for (int k = 0; k < 8000; k += 50)
        lines[k] += QStringLiteral("（改）");
    TextComparisonState state;
    state.sourceName = QStringLiteral("long.txt");
    state.originalText = original;
    state.editedText = lines.join(u'\n');
    std::printf("-- surface over %lld code units\n", qint64(state.originalText.size() + state.editedText.size()));
    ModalTextExportDialogs dialogs;
    // The comparison is known before the first entry, as it is when the user comes back to it.
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath(QStringLiteral("visible-work.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    model.setTextComparison(state);
    TextComparisonSession session(model, std::make_shared<VisibleWorkInlineExecutor>());
    session.setActive(true);
    QCoreApplication::processEvents();
    auto documents = std::make_shared<TextPaneDocuments>();
    auto enter = [&](std::shared_ptr<TextPaneDocuments> kept) {
        auto surface
            = std::make_unique<TextComparisonSurface>(state, session, TextComparisonActions {}, dialogs, nullptr, kept);
        surface->resize(1280, 760);
        surface->show();
        QCoreApplication::processEvents();
        surface->repaint();
        return surface;
    };
    // Only the entry is timed: a surface going waits for a comparison still running.
    auto timed = [&](const char *name, const std::shared_ptr<TextPaneDocuments> &kept) {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            const auto start = BenchSupport::Clock::now();
            auto surface = enter(kept);
            times.push_back(BenchSupport::ms(start));
            surface.reset();
        }
        std::sort(times.begin(), times.end());
        std::printf("%-46s median %7.3f ms  min %7.3f ms\n", name, times[times.size() / 2], times.front());
    };
    timed("enter the workspace (panes built)", nullptr);
    enter(documents).reset();
    timed("enter it again (panes' documents kept)", documents);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, QByteArray(argv[1]).toInt()) : 5;
    if (argc > 2 && QByteArray(argv[2]) == "keys") {
        keystrokes(rounds);
        return 0;
    }
    highlightRuns(rounds);
    strip(rounds);
    keystrokes(rounds);
    reentry(rounds);
    return 0;
}
