#include "model/AppFont.h"
#include "platform/ImageLimits.h"
#include "platform/QtTranslations.h"
#include "shell/MainWindow.h"
#include "shell/OpenProjectBridge.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QSettings>
#include <QStyleFactory>

namespace {

// The window is drawn light whatever the desktop's colour scheme.
QPalette lightPalette()
{
    QPalette palette;
    const QColor window(0xF8, 0xFA, 0xFC);
    const QColor text(0x0F, 0x17, 0x2A);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xF1, 0xF5, 0xF9));
    palette.setColor(QPalette::ToolTipBase, Qt::white);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x64, 0x74, 0x8B));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0xF1, 0xF5, 0xF9));
    palette.setColor(QPalette::ButtonText, QColor(0x33, 0x41, 0x55));
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x25, 0x63, 0xEB));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x25, 0x63, 0xEB));
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Midlight, QColor(0xE8, 0xEE, 0xF7));
    palette.setColor(QPalette::Mid, QColor(0xDD, 0xE3, 0xEA));
    palette.setColor(QPalette::Dark, QColor(0x94, 0xA3, 0xB8));
    palette.setColor(QPalette::Shadow, QColor(0x64, 0x74, 0x8B));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x94, 0xA3, 0xB8));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x94, 0xA3, 0xB8));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x94, 0xA3, 0xB8));
    return palette;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kivora"));
    QApplication::setOrganizationName(QStringLiteral("Kivora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kivora"));
    QApplication::setApplicationVersion(QStringLiteral(KIVORA_VERSION));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(lightPalette());
    QApplication::setFont(AppFont::font(13));
    QtTranslations::install(app);
    ImageLimits::configure();

    QSettings settings;
    MainWindow window(settings);

    // A second launch hands its files to the running window and ends here.
    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    if (!window.contentView().openProjectBridge().startInstance(arguments, QDir::currentPath()))
        return 0;

    window.resize(1280, 800);
    window.show();
    return app.exec();
}
