#pragma once

// The fonts the tests run with. Text is measured and drawn with a font set of the tests' own
// (tests/support/fonts/fonts.conf.in), never with the machine's, which differs from desktop to
// desktop: the same suite then gives the same verdict everywhere.
namespace TestFonts {

enum class Set {
    // The fonts scripts/install-deps.sh installs (CJK and DejaVu): Devanagari, Tamil, Bengali,
    // Kannada and Khmer have no font and show as boxes.
    Project,
    // Those and the script fonts of fonts-noto-core, which shape those scripts: a second run of
    // the label tests (KIVORA_TEST_FONTS=with-script-fonts).
    WithScriptFonts,
};

// Points fontconfig at the set KIVORA_TEST_FONTS names (the project's when unset). Call before
// the application object exists. False, with a message on standard error, when the value is
// unknown or the set's configuration is missing.
bool install();

Set current();

} // namespace TestFonts
