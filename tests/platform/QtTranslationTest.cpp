#include "platform/QtTranslation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include <gtest/gtest.h>

TEST(QtTranslation, QtsOwnDialogTextsComeInSimplifiedChinese)
{
    const QString english = QCoreApplication::translate("QFileDialog", "Look in:");
    const QLocale before;
    QTranslator *translator = QtTranslation::install(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "Qt's translations are not installed";
    for (auto [context, text] : {std::pair{"QFileDialog", "Look in:"}, std::pair{"QFileDialog", "File &name:"},
                                 std::pair{"QFileDialog", "Files of type:"}, std::pair{"QPlatformTheme", "Cancel"}}) {
        const QString translated = QCoreApplication::translate(context, text);
        SCOPED_TRACE(text);
        EXPECT_NE(translated, QString::fromLatin1(text));
        // Simplified, not traditional: 文件 rather than 檔案.
        EXPECT_FALSE(translated.contains(QStringLiteral("檔")));
    }
    EXPECT_TRUE(QCoreApplication::translate("QFileDialog", "File &name:").contains(QStringLiteral("文件")));
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
    EXPECT_EQ(QLocale().territory(), QLocale::China);
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(before);
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), english);
}
