#pragma once

#include "model/MarkupViewModel.h"
#include "shell/ContentView.h"
#include "shell/MainWindow.h"
#include "support/ComparisonExecutors.h"
#include "ui/ShellDialogs.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

// Answers the window's questions from a script and records what was asked.
class FakeShellDialogs : public ShellDialogs
{
public:
    QuitAnswer quitAnswer = QuitAnswer::Cancel;
    std::vector<QuitPrompt> quitPrompts;
    // What asked each question, in the same order.
    std::vector<SaveQuestionCause> questionCauses;
    QStringList errors;
    std::function<void()> whileErrorShown;
    QStringList updateMessages;
    bool downloadUpdate = false;

    std::function<void(QuitPrompt)> whileQuitPromptShown;

    QuitAnswer askBeforeQuit(QuitPrompt prompt, SaveQuestionCause cause, QWidget *) override
    {
        quitPrompts.push_back(prompt);
        questionCauses.push_back(cause);
        if (whileQuitPromptShown)
            whileQuitPromptShown(prompt);
        return quitAnswer;
    }
    void showError(const QString &message, QWidget *) override
    {
        errors.append(message);
        if (whileErrorShown)
            whileErrorShown();
    }
    bool askToDownloadUpdate(const QString &message, QWidget *) override
    {
        updateMessages.append(message);
        return downloadUpdate;
    }
};

// A real window over temporary settings, fake dialogs, no update address and a recorded quit.
class ShellWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(directory.isValid());
        settings = std::make_unique<QSettings>(directory.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
        makeWindow();
    }

    void TearDown() override { window.reset(); }

    void makeWindow()
    {
        window.reset();
        auto fakeDialogs = std::make_unique<FakeShellDialogs>();
        dialogs = fakeDialogs.get();
        ContentViewOptions options;
        options.useDefaultUpdateURL = false;
        options.dialogs = std::move(fakeDialogs);
        options.installWorkspaces = withWorkspaces;
        options.quitApplication = [this] { ++quitRequests; };
        window = std::make_unique<MainWindow>(*settings, std::move(options));
        // Project files are written before the call that asks for them returns, unless a test
        // holds them.
        model().setProjectWriter(std::make_shared<InlineComparisonExecutor>());
    }

    // A new window with the real workspaces installed, shown at 1280 × 800.
    void showWindowWithWorkspaces()
    {
        withWorkspaces = true;
        makeWindow();
        showWindow();
    }

    void showWindow()
    {
        window->resize(1280, 800);
        window->show();
        QApplication::setActiveWindow(window.get());
        QCoreApplication::processEvents();
    }

    ContentView &view() { return window->contentView(); }
    MarkupViewModel &model() { return view().viewModel(); }

    static ImageMarkupItem item(const QString &name)
    {
        ImageMarkupItem item;
        item.id = QUuid::createUuid();
        item.fileName = name;
        item.pixelSize = QSizeF(40, 30);
        return item;
    }

    void addImages(int count)
    {
        std::vector<ImageMarkupItem> items;
        for (int index = 0; index < count; ++index)
            items.push_back(item(QStringLiteral("图%1.png").arg(index + 1)));
        model().setItems(items);
        model().setSelectedItemID(items.front().id);
    }

    void addPair()
    {
        ComparisonPairState pair;
        pair.id = QUuid::createUuid();
        pair.before.fileName = QStringLiteral("before.png");
        pair.after.fileName = QStringLiteral("after.png");
        model().setComparisonPairs({pair});
    }

    QTemporaryDir directory;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<MainWindow> window;
    FakeShellDialogs *dialogs = nullptr;
    int quitRequests = 0;
    bool withWorkspaces = false; // install the real workspaces on the next makeWindow()
};
