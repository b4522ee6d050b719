#pragma once

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

enum class QuitPrompt { ImageSave, ProjectSave };
enum class QuitAnswer { Save, DontSave, Cancel };
// What asked the save question: its words name that action ("退出前…", "打开项目前…").
enum class SaveQuestionCause { Quit, OpenProject, NewSource };

// The window's modal questions and alerts. The root view asks through this interface so that the
// quit decision and the alerts can be driven by a fake in tests; the default shows message boxes.
class ShellDialogs
{
public:
    virtual ~ShellDialogs();

    // The save question before quitting, opening a project or loading a new source. Escape and
    // the close button answer Cancel.
    virtual QuitAnswer askBeforeQuit(QuitPrompt prompt, SaveQuestionCause cause, QWidget *parent);
    // The "操作失败" alert; returns when it was dismissed.
    virtual void showError(const QString &message, QWidget *parent);
    // The "发现新版本" alert; true when "去下载" was pressed.
    virtual bool askToDownloadUpdate(const QString &message, QWidget *parent);

    // The message boxes themselves, unopened. All buttons of the quit prompts carry the action
    // role, so every desktop style keeps them in the given order.
    static std::unique_ptr<QMessageBox> makeQuitPrompt(QuitPrompt prompt, QWidget *parent,
                                                       SaveQuestionCause cause = SaveQuestionCause::Quit);
    static std::unique_ptr<QMessageBox> makeErrorAlert(const QString &message, QWidget *parent);
    static std::unique_ptr<QMessageBox> makeUpdateAlert(const QString &message, QWidget *parent);
    // The answer a finished quit prompt stands for.
    static QuitAnswer quitAnswer(const QMessageBox &box);

    // The widget a modal alert belongs to: the active modal widget when one is up, else `fallback`.
    static QWidget *alertParent(QWidget *fallback);
};
