#pragma once

#include <QLocale>

class QCoreApplication;
class QTranslator;

namespace QtTranslation {

// Simplified Chinese as spoken in China: the language of every text the program shows.
QLocale chineseLocale();

// Loads Qt's own texts (the file dialog's labels, the standard buttons) in Simplified Chinese from
// the installed Qt translations, so they match the program's own Chinese texts. Returns the
// installed translator (owned by app), or null when the translation is not installed. Either way
// the default locale becomes Chinese, so Qt's own formatting (file types, numbers) follows the
// window's language rather than the desktop's; files the program reads and writes use no locale.
QTranslator *install(QCoreApplication &app);

} // namespace QtTranslation
