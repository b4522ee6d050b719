#include "support/TestFonts.h"

#include <QByteArray>
#include <QFileInfo>

#include <cstdio>

namespace TestFonts {

namespace {

Set chosenSet = Set::Project;

} // namespace

bool install()
{
    const QByteArray wanted = qgetenv("KIVORA_TEST_FONTS");
    const char *file = nullptr;
    if (wanted.isEmpty() || wanted == "project") {
        chosenSet = Set::Project;
        file = "project-fonts.conf";
    } else if (wanted == "with-script-fonts") {
        chosenSet = Set::WithScriptFonts;
        file = "script-fonts.conf";
    } else {
        std::fprintf(stderr, "KIVORA_TEST_FONTS=%s: expected project or with-script-fonts\n", wanted.constData());
        return false;
    }
    const QByteArray path = QByteArray(KIVORA_TEST_FONTS_DIR) + '/' + file;
    if (!QFileInfo::exists(QString::fromLocal8Bit(path))) {
        std::fprintf(stderr, "%s is missing: configure the build again\n", path.constData());
        return false;
    }
    // Only this file: no system or user configuration, no font folders of the machine's own.
    qputenv("FONTCONFIG_FILE", path);
    qunsetenv("FONTCONFIG_PATH");
    qunsetenv("FONTCONFIG_SYSROOT");
    return true;
}

Set current()
{
    return chosenSet;
}

} // namespace TestFonts
