// Whole user sequences through the real window on large generated texts, with the window's event
// loop watched by the stall meter of the tests' support: for every step, the longest stall of the
// window's thread, the number of stalls of 50 ms or more, the time until the first visible sign
// of the work (a status, a busy mark or the new content) and the time from the action to its end
// (the texts shown with their comparison, the file written).
//
// Inputs (written to a temporary folder): a 60,000-line text (about 2.2 MB), a 100,000-line CSV
// (about 3.3 MB) and a 1,000,000-line text. For each: launch with a project holding it (time to
// the first paint of the window and to the texts shown), upload it as a source, paste an edited
// version of it over the edited pane, type 20 characters, undo and redo 10 times each, every
// export of the text comparison (PNG, PDF, Word), save the project, type in it (each pause
// writes it), open another project, switch to another workspace and back, open a project whose
// edited text has lines of its own, and close the window.
//
//   bench_window_stalls [60k|csv|1m]...      (all three without a name; pinned to cores 6 and 7)
#include "BenchSupport.h"
#include "support/StallMeter.h"

#include "model/MarkupViewModel.h"
#include "shell/ContentView.h"
#include "shell/MainWindow.h"
#include "shell/OpenProjectBridge.h"
#include "shell/TextComparisonHookup.h"
#include "texteditor/AnnotationTextView.h"
#include "ui/BusyMark.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/TextComparisonSurface.h"
#include "texteditor/TextComparisonWorkspace.h"
#include "texteditor/TextExportDialogs.h"
#include "texteditor/TextProjectPanels.h"
#include "ui/ShellDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

#include <sched.h>
#include <unistd.h>

namespace {

using BenchSupport::useCores;

class QuietDialogs : public ShellDialogs {
public:
    QuitAnswer askBeforeQuit(QuitPrompt, SaveQuestionCause, QWidget *) override { return QuitAnswer::DontSave; }
    void showError(const QString &message, QWidget *) override
    {
        std::printf("   (error shown: %s)\n", qPrintable(message));
    }
    bool askToDownloadUpdate(const QString &, QWidget *) override { return false; }
};

// The file panels answer with the paths the bench sets.
class AnsweringPanels : public TextProjectPanels {
public:
    QString open, save, source;
    std::optional<QString> chooseProjectToOpen(QWidget *) override { return open; }
    std::optional<QString> chooseProjectSaveLocation(const QString &, QWidget *) override { return save; }
    std::optional<QString> chooseSourceText(QWidget *) override { return source; }
};

class DefaultTitleDialogs : public TextExportDialogs {
public:
    Scope askScope(const QString &, QWidget *) override { return Scope::Full; }
    std::optional<QString> askTitle(const QString &, const QString &defaultTitle, QWidget *) override
    {
        return defaultTitle;
    }
};

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint || event->type() == QEvent::UpdateRequest)
            ++paints;
        return false;
    }
};

struct Input {
    const char *key;
    const char *name;
    QString fileName;
    QString text;
    QString edited;
};

QString chineseRun(QRandomGenerator &rng, int length)
{
    static const QString pool
        = QStringLiteral("天地玄黄宇宙洪荒日月盈昃辰宿列张寒来暑往秋收冬藏闰余成岁律吕调阳云腾致雨露结为霜");
    QString text;
    for (int k = 0; k < length; ++k)
        text += pool.at(int(rng.bounded(int(pool.size()))));
    return text;
}

// Every 40th line edited, as a reviewer's pass over the text.
QString editedVersion(const QStringList &lines)
{
    QStringList edited = lines;
    for (qsizetype k = 7; k < edited.size(); k += 40)
        edited[k] += QStringLiteral("（改）");
    return edited.join(u'\n');
}

// A line of its own after every 400th line.
QString withAddedLines(const QString &text)
{
    QStringList lines = text.split(u'\n');
    for (qsizetype k = lines.size() / 400 * 400; k > 0; k -= 400)
        lines.insert(k, QStringLiteral("（新增的一行）"));
    return lines.join(u'\n');
}

Input novelText(int count, const char *key, const char *name)
{
    QRandomGenerator rng{quint32(count)};
    QStringList lines;
    lines.reserve(count);
    for (int k = 0; k < count; ++k)
        lines << QStringLiteral("%1 ").arg(k, 7, 10, QLatin1Char('0')) + chineseRun(rng, count > 200000 ? 4 : 9)
                + QStringLiteral(" ok");
    return {key, name, QStringLiteral("%1.txt").arg(QLatin1String(key)), lines.join(u'\n'), editedVersion(lines)};
}

Input csvText()
{
    QRandomGenerator rng(3);
    QStringList lines;
    lines << QStringLiteral("id,code,amount,date");
    for (int k = 1; k < 100000; ++k)
        lines << QStringLiteral("%1,%2,%3.%4,2026-%5-%6")
                     .arg(k)
                     .arg(rng.bounded(100000000), 8, 10, QLatin1Char('0'))
                     .arg(rng.bounded(100000))
                     .arg(rng.bounded(100), 2, 10, QLatin1Char('0'))
                     .arg(1 + rng.bounded(12), 2, 10, QLatin1Char('0'))
                     .arg(1 + rng.bounded(28), 2, 10, QLatin1Char('0'));
    return {"csv", "100,000-line CSV", QStringLiteral("table.csv"), lines.join(u'\n'), editedVersion(lines)};
}

void runLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the loop until the condition holds; the milliseconds it took, or -1 past the limit. The
// loop sleeps between events as the program's own does (a loop of processEvents would keep a
// core busy and starve the workers, which run at a lower priority).
double loopUntil(const std::function<bool()> &condition, int limitMs = 600000)
{
    QElapsedTimer clock;
    clock.start();
    if (condition())
        return double(clock.nsecsElapsed()) / 1e6;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    bool met = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        met = condition();
        if (met || clock.elapsed() > limitMs)
            loop.quit();
    });
    poll.start();
    loop.exec();
    return met ? double(clock.nsecsElapsed()) / 1e6 : -1;
}

struct Window {
    QTemporaryDir directory;
    QSettings settings{directory.filePath(QStringLiteral("p.ini")), QSettings::IniFormat};
    std::unique_ptr<MainWindow> window;
    AnsweringPanels *panels = nullptr;
    PaintCounter paints;

    // Built and shown; `project` is handed over as a command line would.
    explicit Window(const std::optional<QString> &project = std::nullopt)
    {
        ContentViewOptions options;
        options.useDefaultUpdateURL = false;
        options.dialogs = std::make_unique<QuietDialogs>();
        options.quitApplication = [] {};
        window = std::make_unique<MainWindow>(settings, std::move(options));
        auto *hookup = view().findChild<TextComparisonHookup *>();
        auto owned = std::make_unique<AnsweringPanels>();
        panels = owned.get();
        hookup->setPanels(std::move(owned));
        hookup->setExportDialogs(std::make_unique<DefaultTitleDialogs>());
        if (project)
            view().openProjectBridge().setPendingProjectURL(*project);
        window->installEventFilter(&paints);
        window->resize(1280, 800);
        window->show();
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
    AnnotationTextView *textView() { return surface() ? surface()->editor()->textView() : nullptr; }
    // The texts of the document shown in the panes, with their comparison.
    bool shows(const QString &edited)
    {
        TextComparisonSurface *s = surface();
        return s && s->isShowingCurrentComparison() && !s->isFillingPanes() && model().textComparison()
            && sameText(model().textComparison()->editedText, edited) && sameText(s->comparison().editedText, edited);
    }
    // The bench asks at every turn of its loop: a byte comparison keeps its own share of the
    // window's thread small next to the program's (Qt's own comparison of a long text takes
    // milliseconds, which the meter would count as the program's).
    static bool sameText(const QString &a, const QString &b)
    {
        return a.size() == b.size()
            && (a.constData() == b.constData()
                || std::memcmp(a.constData(), b.constData(), std::size_t(a.size()) * sizeof(QChar)) == 0);
    }
    bool busyShown()
    {
        TextComparisonSurface *s = surface();
        return s && s->busyMark()->isVisible();
    }
};

void key(QWidget *target, int code, Qt::KeyboardModifiers modifiers, const QString &text = QString())
{
    QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, code, modifiers, text);
    QCoreApplication::sendEvent(target, &release);
}

struct StepResult {
    double signMs = -1;
    double doneMs = -1;
};

// One row of the table: the step's longest stall and stalls of 50 ms or more, from the action
// until it is done.
void row(const StallMeter &meter, const char *input, const QString &step, const StepResult &result)
{
    std::printf("%-18s %-26s longest stall %8.1f ms  stalls>=50ms %3d  first sign %8.1f ms  done %9.1f ms\n",
                input, qPrintable(step), meter.longest(step), meter.count(step, 50), result.signMs, result.doneMs);
    std::fflush(stdout);
}

// Starts the step, runs `action` and the loop until `done`; the first sign is the first moment
// `sign` holds (checked at every turn of the bench's loop).
StepResult step(StallMeter &meter, const QString &name, const std::function<void()> &action,
                const std::function<bool()> &done, const std::function<bool()> &sign)
{
    meter.begin(name);
    QElapsedTimer clock;
    clock.start();
    StepResult result;
    // A timer on the loop sees the sign however long the action holds it.
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (result.signMs < 0 && sign())
            result.signMs = double(clock.nsecsElapsed()) / 1e6;
    });
    watch.start();
    action();
    if (result.signMs < 0 && sign())
        result.signMs = double(clock.nsecsElapsed()) / 1e6;
    const double waited = loopUntil(done);
    result.doneMs = waited < 0 ? -1 : double(clock.nsecsElapsed()) / 1e6;
    if (result.signMs < 0 && sign())
        result.signMs = result.doneMs;
    runLoopFor(100);
    meter.begin(QStringLiteral("between steps"));
    return result;
}

QString statusOf(Window &w) { return w.model().statusMessage(); }

void runInput(const Input &input, const QString &folder)
{
    const QString sourcePath = QDir(folder).filePath(input.fileName);
    {
        QFile file(sourcePath);
        file.open(QIODevice::WriteOnly);
        file.write(input.text.toUtf8());
    }
    const QString projectPath = QDir(folder).filePath(QStringLiteral("%1.kivo").arg(QLatin1String(input.key)));
    {
        // The project as the program writes it: the text uploaded, edited and saved.
        QTemporaryDir scratch;
        QSettings settings(scratch.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
        MarkupViewModel model(settings);
        model.setTextComparison(input.fileName, input.text);
        model.updateEditedComparisonText(input.edited);
        model.saveProject(projectPath);
    }
    // A second project whose every line differs, so that opening it lays the panes out anew.
    const QString otherProjectPath = QDir(folder).filePath(QStringLiteral("%1-other.kivo").arg(QLatin1String(input.key)));
    const QString otherText = QString(input.text).replace(u'\n', QStringLiteral("\n·"));
    {
        QTemporaryDir scratch;
        QSettings settings(scratch.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
        MarkupViewModel model(settings);
        model.setTextComparison(QStringLiteral("other.txt"), otherText);
        model.saveProject(otherProjectPath);
    }
    // A third project whose edited text has lines of its own: the original pane gets empty rows
    // where they stand once the comparison answers.
    const QString addedProjectPath = QDir(folder).filePath(QStringLiteral("%1-added.kivo").arg(QLatin1String(input.key)));
    const QString addedEdited = withAddedLines(input.edited);
    {
        QTemporaryDir scratch;
        QSettings settings(scratch.filePath(QStringLiteral("p.ini")), QSettings::IniFormat);
        MarkupViewModel model(settings);
        model.setTextComparison(input.fileName, input.text);
        model.updateEditedComparisonText(addedEdited);
        model.saveProject(addedProjectPath);
    }
    std::printf("-- %s: %lld lines, %.1f MB\n", input.name, (long long)(input.text.count(u'\n') + 1),
                double(input.text.toUtf8().size()) / 1e6);
    std::fflush(stdout);
    const char *name = input.key;

    StallMeter meter(20);
    // Launch with the project: from the window's construction to its first paint and to the texts.
    {
        meter.start(QStringLiteral("launch with project"));
        QElapsedTimer clock;
        clock.start();
        auto w = std::make_unique<Window>(projectPath);
        const double firstPaint = loopUntil([&] { return w->paints.paints > 0; });
        const double firstPaintMs = firstPaint < 0 ? -1 : double(clock.nsecsElapsed()) / 1e6;
        loopUntil([&] { return w->shows(input.edited); });
        StepResult launched{firstPaintMs, double(clock.nsecsElapsed()) / 1e6};
        runLoopFor(100);
        meter.begin(QStringLiteral("between steps"));
        row(meter, name, QStringLiteral("launch with project"), launched);
        std::printf("%-18s %-26s first paint %8.1f ms after start-up\n", name, "", firstPaintMs);
        meter.begin(QStringLiteral("close"));
        w->window->close();
        w.reset();
        runLoopFor(100);
        meter.stop();
    }

    Window w;
    runLoopFor(200);
    meter.start(QStringLiteral("between steps"));
    w.view().switchWorkspace(WorkspaceMode::TextComparison, false);
    runLoopFor(200);

    w.panels->source = sourcePath;
    const QString uploadedStatus = QStringLiteral("已载入文案：") + input.fileName;
    QString before = statusOf(w);
    row(meter, name, QStringLiteral("upload"),
        step(meter, QStringLiteral("upload"), [&] { QTimer::singleShot(0, [&] { w.view().findChild<TextComparisonHookup *>()->presentTextImportPanel(); }); },
             [&] { return w.shows(input.text); }, [&] { return statusOf(w) != before; }));

    // The paste: the whole edited pane replaced by the edited version from the clipboard.
    QApplication::clipboard()->setText(input.edited);
    row(meter, name, QStringLiteral("paste"),
        step(meter, QStringLiteral("paste"),
             [&] {
                 QTimer::singleShot(0, [&] {
                     w.textView()->setFocus();
                     key(w.textView(), Qt::Key_A, Qt::ControlModifier);
                     key(w.textView(), Qt::Key_V, Qt::ControlModifier);
                 });
             },
             [&] { return w.shows(input.edited); },
             [&] { return w.busyShown() || (w.textView() && Window::sameText(w.model().textComparison()->editedText, input.edited)); }));

    // Typing in the middle of the text, a character about every 80 ms.
    {
        QTextCursor cursor = w.textView()->textCursor();
        cursor.setPosition(int(input.edited.size() / 2));
        w.textView()->setTextCursor(cursor);
        QString typed;
        StepResult typing;
        meter.begin(QStringLiteral("type 20"));
        QElapsedTimer clock;
        clock.start();
        for (int k = 0; k < 20; ++k) {
            key(w.textView(), Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            runLoopFor(80);
        }
        const QString typedText = w.model().textComparison()->editedText;
        loopUntil([&] { return w.shows(typedText); });
        typing.doneMs = double(clock.nsecsElapsed()) / 1e6;
        runLoopFor(100);
        meter.begin(QStringLiteral("between steps"));
        row(meter, name, QStringLiteral("type 20"), typing);
    }
    {
        StepResult history;
        meter.begin(QStringLiteral("undo 10, redo 10"));
        QElapsedTimer clock;
        clock.start();
        for (int k = 0; k < 10; ++k) {
            key(w.textView(), Qt::Key_Z, Qt::ControlModifier);
            runLoopFor(50);
        }
        for (int k = 0; k < 10; ++k) {
            key(w.textView(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            runLoopFor(50);
        }
        const QString now = w.model().textComparison()->editedText;
        loopUntil([&] { return w.shows(now); });
        history.doneMs = double(clock.nsecsElapsed()) / 1e6;
        runLoopFor(100);
        meter.begin(QStringLiteral("between steps"));
        row(meter, name, QStringLiteral("undo 10, redo 10"), history);
    }

    const struct {
        TextComparisonSurface::ExportTarget target;
        const char *step;
        const char *success;
    } exports[] = {
        {TextComparisonSurface::ExportTarget::Image, "export PNG", ".png"},
        {TextComparisonSurface::ExportTarget::Pdf, "export PDF", ".pdf"},
        {TextComparisonSurface::ExportTarget::Word, "export Word", ".docx"},
    };
    for (const auto &target : exports) {
        before = statusOf(w);
        const auto finished = [&] {
            const QString status = statusOf(w);
            return status != before && status.contains(QStringLiteral("已保存"))
                && status.contains(QString::fromUtf8(target.success));
        };
        const StepResult result = step(
            meter, QString::fromUtf8(target.step),
            [&] { QTimer::singleShot(0, [&] { w.surface()->confirmExportScope(target.target); }); },
            [&] { return finished() || w.model().errorMessage().has_value(); },
            [&] { return statusOf(w) != before; });
        if (!finished())
            std::printf("   (%s did not say it was saved: \"%s\")\n", target.step, qPrintable(statusOf(w)));
        w.model().setErrorMessage(std::nullopt);
        row(meter, name, QString::fromUtf8(target.step), result);
    }

    const QString savedPath = QDir(folder).filePath(QStringLiteral("%1-saved.kivo").arg(QLatin1String(name)));
    w.panels->save = savedPath;
    before = statusOf(w);
    row(meter, name, QStringLiteral("save project"),
        step(meter, QStringLiteral("save project"), [&] { QTimer::singleShot(0, [&] { w.view().saveProject(); }); },
             [&] { return statusOf(w).startsWith(QStringLiteral("项目已保存")); },
             [&] { return statusOf(w) != before; }));

    // Typing in a text kept in its project file: every pause writes the project (its autosave).
    {
        QTextCursor cursor = w.textView()->textCursor();
        cursor.setPosition(int(w.model().textComparison()->editedText.size() / 3));
        w.textView()->setTextCursor(cursor);
        StepResult typing;
        meter.begin(QStringLiteral("type in the project"));
        QElapsedTimer clock;
        clock.start();
        for (int k = 0; k < 6; ++k) {
            key(w.textView(), Qt::Key_Y, Qt::NoModifier, QStringLiteral("y"));
            runLoopFor(700); // past the autosave's half second
        }
        typing.doneMs = double(clock.nsecsElapsed()) / 1e6;
        meter.begin(QStringLiteral("between steps"));
        row(meter, name, QStringLiteral("type in the project"), typing);
    }

    w.panels->open = otherProjectPath;
    before = statusOf(w);
    row(meter, name, QStringLiteral("open project"),
        step(meter, QStringLiteral("open project"),
             [&] { QTimer::singleShot(0, [&] { w.view().findChild<TextComparisonHookup *>()->presentOpenProjectPanel(); }); },
             [&] { return w.shows(otherText) && statusOf(w).startsWith(QStringLiteral("项目已打开")); },
             [&] { return statusOf(w) != before; }));

    row(meter, name, QStringLiteral("switch away"),
        step(meter, QStringLiteral("switch away"),
             [&] { QTimer::singleShot(0, [&] { w.view().switchWorkspace(WorkspaceMode::ImageMarkup, false); }); },
             [&] { return w.view().workspaceMode() == WorkspaceMode::ImageMarkup; },
             [&] { return w.view().workspaceMode() == WorkspaceMode::ImageMarkup; }));
    row(meter, name, QStringLiteral("switch back"),
        step(meter, QStringLiteral("switch back"),
             [&] { QTimer::singleShot(0, [&] { w.view().switchWorkspace(WorkspaceMode::TextComparison, false); }); },
             [&] { return w.shows(otherText); }, [&] { return w.surface() != nullptr; }));

    w.panels->open = addedProjectPath;
    before = statusOf(w);
    row(meter, name, QStringLiteral("open project, lines added"),
        step(meter, QStringLiteral("open project, lines added"),
             [&] { QTimer::singleShot(0, [&] { w.view().findChild<TextComparisonHookup *>()->presentOpenProjectPanel(); }); },
             [&] { return w.shows(addedEdited) && statusOf(w).startsWith(QStringLiteral("项目已打开")); },
             [&] { return statusOf(w) != before; }));

    {
        meter.begin(QStringLiteral("close"));
        QElapsedTimer clock;
        clock.start();
        w.window->close();
        w.window.reset();
        StepResult closed{-1, double(clock.nsecsElapsed()) / 1e6};
        runLoopFor(200);
        meter.stop();
        row(meter, name, QStringLiteral("close"), closed);
    }
}

// With KIVORA_STALL_TRACE set, every event whose handling holds the loop past 30 ms is printed
// with its receiver (nested ones indented): where a stall the meter found comes from.
class TracingApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!m_tracing)
            return QApplication::notify(receiver, event);
        // Named before: the event may delete its receiver.
        const int type = int(event->type());
        const char *className = receiver->metaObject()->className();
        const QString name = receiver->objectName();
        QElapsedTimer clock;
        clock.start();
        ++m_depth;
        const bool result = QApplication::notify(receiver, event);
        --m_depth;
        const qint64 ms = clock.elapsed();
        if (ms >= 30)
            std::printf("   %*s[trace] %lld ms: event %d to %s \"%s\"\n", m_depth * 2, "", (long long)ms, type,
                        className, qPrintable(name));
        return result;
    }

private:
    bool m_tracing = !qEnvironmentVariableIsEmpty("KIVORA_STALL_TRACE");
    int m_depth = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The exports go to a Desktop of a temporary home.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    TracingApplication app(argc, argv);
    useCores({6, 7});

    QStringList wanted;
    for (int k = 1; k < argc; ++k)
        wanted << QString::fromLocal8Bit(argv[k]);
    const auto chosen = [&](const char *key) { return wanted.isEmpty() || wanted.contains(QLatin1String(key)); };
    std::printf("stall meter: gaps of the window's event loop over 20 ms, cores 6 and 7 (times in ms; -1: never)\n");
    if (chosen("60k"))
        runInput(novelText(60000, "60k", "60,000-line text"), home.path());
    if (chosen("csv"))
        runInput(csvText(), home.path());
    if (chosen("1m"))
        runInput(novelText(1000000, "1m", "1,000,000-line text"), home.path());
    return 0;
}
