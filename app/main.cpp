#include <QApplication>
#include <QMainWindow>

#include "platform/ImageLimits.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kivora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kivora"));
    ImageLimits::configure();

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kivora"));
    window.setMinimumSize(1080, 680);
    window.resize(1280, 800);
    window.show();
    return app.exec();
}
