#pragma once

class QCoreApplication;
class QTranslator;

namespace QtTranslation {

// Loads Qt's own texts (the file dialog's labels, the standard buttons) in Simplified Chinese from
// the installed Qt translations, so they match the program's own Chinese texts. Returns the
// installed translator (owned by app), or null when the translation is not installed.
QTranslator *install(QCoreApplication &app);

} // namespace QtTranslation
