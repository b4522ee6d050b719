#include <QApplication>
#include <gtest/gtest.h>

#include "platform/ImageLimits.h"

// Every test executable runs with a QApplication on the offscreen platform, so widget, font and
// painter code works without a display.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kivora-tests"));
    ImageLimits::configure();
    return RUN_ALL_TESTS();
}
