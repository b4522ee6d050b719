#include "shell/MainWindow.h"

#include <QCloseEvent>

MainWindow::MainWindow(QSettings &settings, ContentViewOptions options, QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Kivora"));
    m_contentView = new ContentView(settings, std::move(options), this);
    // The minimum belongs to the content; it is set explicitly so that no child's own minimum
    // (the header's squeezed items, say) can make the window wider.
    m_contentView->setMinimumSize(minimumContentWidth, minimumContentHeight);
    setCentralWidget(m_contentView);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_contentView->shouldCloseWindow())
        event->accept();
    else
        event->ignore();
}
