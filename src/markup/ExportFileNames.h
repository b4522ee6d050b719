#pragma once

#include <QString>

// File names built from an image's name for Desktop exports and crops. An image's name comes from
// a file or from a project file that anyone may have written, so every name made here is reduced
// to one harmless path component that fits the usual 255-byte limit of Linux file systems.
namespace ExportFileNames {

// The base name given to images whose own name leaves nothing usable.
QString fallbackBase();

// The name without its last extension: "beach.final.png" → "beach.final". Names that only start
// with a dot (".hidden"), end with a dot, start with "..", or whose extension is blank or has
// white space at either end keep their whole name.
QString deletingPathExtension(const QString &name);

// "/" and NUL become "_"; "." and ".." become empty, so the result never leaves its folder.
QString safePathComponent(const QString &name);

// The export base of an image name: without its last extension, trimmed, made safe; the fallback
// when that leaves nothing.
QString baseName(const QString &fileName);

// base + tail, with the base cut at a character boundary (and trimmed again) so the whole name
// fits in the file system's limit (NewFiles::fittedName); the fallback base when the cut leaves
// nothing.
QString fittedFileName(const QString &base, const QString &tail);

} // namespace ExportFileNames
