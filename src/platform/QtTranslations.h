#pragma once

class QCoreApplication;
class QTranslator;

// Qt's own texts (the file chooser's labels, standard buttons, the editors' context menus) in
// simplified Chinese, to match the rest of the window.
namespace QtTranslations {

// Loads Qt's simplified Chinese catalogue and installs it on the application, which owns it, and
// makes Chinese the default locale (file type names in the file chooser follow it). Returns the
// installed translator, or nullptr when the catalogue is not installed (nothing changes then).
QTranslator *install(QCoreApplication &app);

} // namespace QtTranslations
