#include <QApplication>
#include <gtest/gtest.h>

#include "platform/ImageLimits.h"
#include "support/TestFonts.h"

// Every test executable runs with a QApplication on the offscreen platform, so widget, font and
// painter code works without a display.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Text is measured with the tests' own fonts, and numbers and dates are written in one locale,
    // whatever the desktop has installed or its user chose.
    if (!TestFonts::install())
        return 1;
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kivora-tests"));
    ImageLimits::configure();
    return RUN_ALL_TESTS();
}
