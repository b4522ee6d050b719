#pragma once

#include "model/AppTheme.h"
#include "shell/ShellInput.h"
#include "shell/ShellTestSupport.h"
#include "shell/ShellWindowFixture.h"
#include "shell/TextComparisonHookup.h"
#include "support/ComparisonExecutors.h"
#include "support/TestSupport.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/TextComparisonSurface.h"
#include "texteditor/TextComparisonWorkspace.h"
#include "texteditor/TextExportDialogs.h"
#include "texteditor/TextProjectPanels.h"
#include "textengine/TextComparisonSession.h"

#include <QDir>
#include <QFile>

#include <deque>

// Panels answered from queues; every request is recorded.
class ScriptedPanels : public TextProjectPanels {
public:
    std::deque<std::optional<QString>> openAnswers, saveAnswers, sourceAnswers;
    QStringList requests;
    QString suggestedName;
    std::function<void()> whileSourcePanelOpen;

    std::optional<QString> chooseProjectToOpen(QWidget *) override { return next(openAnswers, QStringLiteral("open")); }
    std::optional<QString> chooseProjectSaveLocation(const QString &suggested, QWidget *) override
    {
        suggestedName = suggested;
        return next(saveAnswers, QStringLiteral("save"));
    }
    std::optional<QString> chooseSourceText(QWidget *) override
    {
        if (whileSourcePanelOpen)
            whileSourcePanelOpen();
        return next(sourceAnswers, QStringLiteral("source"));
    }

private:
    std::optional<QString> next(std::deque<std::optional<QString>> &answers, const QString &name)
    {
        requests << name;
        if (answers.empty())
            return std::nullopt;
        std::optional<QString> answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class ScriptedExportDialogs : public TextExportDialogs {
public:
    Scope scope = Scope::Full;
    std::optional<QString> title; // nothing: cancel; else the field's text
    bool keepDefaultTitle = true;
    QStringList scopeTitles;
    QStringList titleRequests; // "confirm|default"

    Scope askScope(const QString &dialogTitle, QWidget *) override
    {
        scopeTitles << dialogTitle;
        return scope;
    }
    std::optional<QString> askTitle(const QString &confirm, const QString &defaultTitle, QWidget *) override
    {
        titleRequests << confirm + u'|' + defaultTitle;
        if (keepDefaultTitle)
            return defaultTitle;
        return title;
    }
};

// The real window with every workspace installed and the text comparison's panels and export
// questions answered from a script.
class TextEditorWindowTest : public ShellWindowTest {
protected:
    void SetUp() override
    {
        ShellWindowTest::SetUp();
        installWorkspaceHooks(view());
        auto *hookup = view().findChild<TextComparisonHookup *>();
        ASSERT_TRUE(hookup);
        auto panelsOwned = std::make_unique<ScriptedPanels>();
        panels = panelsOwned.get();
        hookup->setPanels(std::move(panelsOwned));
        auto dialogsOwned = std::make_unique<ScriptedExportDialogs>();
        exportDialogs = dialogsOwned.get();
        hookup->setExportDialogs(std::move(dialogsOwned));
        // Comparisons, reading a document and writing an export answer at once unless a test
        // holds them.
        session().setExecutor(std::make_shared<InlineComparisonExecutor>());
        view().setWorkerExecutor(std::make_shared<InlineComparisonExecutor>());
        view().reloadWorkspace();
    }

    TextComparisonSession &session() { return view().findChild<TextComparisonHookup *>()->comparisonSession(); }
    // From now on searches wait until the test runs them.
    HeldComparisonExecutor &holdComparisons()
    {
        auto executor = std::make_shared<HeldComparisonExecutor>();
        session().setExecutor(executor);
        held = executor;
        return *executor;
    }

    // From now on documents are read, and exports written, when the test runs them.
    HeldComparisonExecutor &holdWorkers()
    {
        auto executor = std::make_shared<HeldComparisonExecutor>();
        view().setWorkerExecutor(executor);
        heldWorkers = executor;
        return *executor;
    }

    // Opens the workspace on a document of the text.
    void openDocument(const QString &text, const QString &original = QString())
    {
        model().setTextComparison(QStringLiteral("原文.txt"), original.isNull() ? text : original);
        if (!original.isNull())
            model().updateEditedComparisonText(text);
        view().switchWorkspace(WorkspaceMode::TextComparison, false);
        showWindow();
        ShellTest::settle();
    }

    TextComparisonWorkspace *workspace() {
        // The window's current content: a replaced workspace lingers hidden until the event loop deletes it.
        QWidget *content = view().workspaceContentWidget();
        if (auto *own = qobject_cast<TextComparisonWorkspace *>(content))
            return own;
        return content ? content->findChild<TextComparisonWorkspace *>() : nullptr;
    }
    TextComparisonSurface *surface() { return workspace() ? workspace()->surface() : nullptr; }
    AnnotationTextView *textView() { return surface()->editor()->textView(); }
    QString edited() { return model().textComparison() ? model().textComparison()->editedText : QString(); }

    void select(int start, int end)
    {
        textView()->setFocus();
        // Through a caret at the start, as a mouse selection begins, so the editor reports it anew.
        QTextCursor cursor = textView()->textCursor();
        cursor.setPosition(start);
        textView()->setTextCursor(cursor);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        textView()->setTextCursor(cursor);
        QCoreApplication::processEvents();
    }

    // A key as the platform delivers it: to the window, through the window's key filter.
    void key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        ShellInput::keyClick(window->windowHandle(), code, modifiers);
        QCoreApplication::processEvents();
    }

    void typeText(const QString &text)
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(window->windowHandle(), &press);
        }
        QCoreApplication::processEvents();
    }

    void click(QWidget *widget, QPoint point)
    {
        ShellInput::mouse(widget, QEvent::MouseButtonPress, point);
        ShellInput::mouse(widget, QEvent::MouseButtonRelease, point);
        QCoreApplication::processEvents();
    }

    // Saves a grab of the window when KIVORA_SHOT_DIR is set.
    void shot(const QString &name)
    {
        const QByteArray folder = qgetenv("KIVORA_SHOT_DIR");
        if (folder.isEmpty())
            return;
        ShellTest::settle();
        window->grab().save(QDir(QString::fromLocal8Bit(folder)).filePath(name + QStringLiteral(".png")));
    }

    ScriptedPanels *panels = nullptr;
    std::shared_ptr<HeldComparisonExecutor> held;
    std::shared_ptr<HeldComparisonExecutor> heldWorkers;
    ScriptedExportDialogs *exportDialogs = nullptr;
};
