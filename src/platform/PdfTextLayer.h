#pragma once

#include <QByteArray>

// The text layer of the PDFs QPdfWriter makes. Its map from glyphs back to characters names, for
// each glyph, the lowest code point the font maps to that glyph. CJK fonts draw a radical and the
// ideograph of the same shape with one glyph, and the radicals (U+2E80…U+2FDF) come first, so
// copying or searching 一二人文日目网行 in such a PDF gives ⼀⼆⼈⽂⽇⽬⽹⾏.
namespace PdfTextLayer {

// The document with each radical in its glyph-to-character maps replaced by the ideograph the
// embedded font draws with the same glyph (a font that is not installed falls back to the
// radical's compatibility equivalent). The bytes are patched in place, so sizes and offsets stay
// as written; a document that is not laid out as QPdfWriter writes it comes back unchanged.
QByteArray withIdeographsForRadicals(const QByteArray &pdf);

} // namespace PdfTextLayer
