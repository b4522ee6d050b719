#include <gtest/gtest.h>

#include "platform/QtTranslations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

// The file chooser and the standard buttons take their texts from Qt's catalogue; without it they
// show English labels in an otherwise Chinese window.
TEST(QtTranslations, QtsOwnDialogTextsBecomeChinese)
{
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    const auto fileName = [] { return QCoreApplication::translate("QFileDialog", "File &name:"); };
    ASSERT_EQ(cancel(), QStringLiteral("Cancel"));
    const QLocale before;

    QTranslator *translator = QtTranslations::install(*QCoreApplication::instance());
    if (!translator)
        GTEST_SKIP() << "Qt's Chinese catalogue is not installed";
    EXPECT_EQ(translator->parent(), QCoreApplication::instance());
    EXPECT_EQ(cancel(), QStringLiteral("取消"));
    EXPECT_NE(fileName(), QStringLiteral("File &name:"));
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
    EXPECT_EQ(QLocale().territory(), QLocale::China);

    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(before);
    EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
}
