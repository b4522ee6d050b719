#pragma once

#include "shell/ContentView.h"

#include <QMainWindow>

// The program's one window, titled "Kivora", holding the root view. A close request (the window
// manager's close button, Alt+F4, the application quitting) is answered by the root view: it
// passes only once quitting was decided; before that the root view asks or quits by itself.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int minimumContentWidth = 1080;
    static constexpr int minimumContentHeight = 680;

    explicit MainWindow(QSettings &settings, ContentViewOptions options = {}, QWidget *parent = nullptr);

    ContentView &contentView() const { return *m_contentView; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    ContentView *m_contentView = nullptr;
};
