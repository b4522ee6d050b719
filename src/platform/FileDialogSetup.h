#pragma once

#include <QString>

class QFileDialog;

// The program's own file dialogs share one look: Qt's widget dialog (so typed paths, labels and
// the Chinese catalogue behave the same everywhere), a size that shows whole type names and
// dates, and a start in the Desktop folder.
namespace FileDialogSetup {

// The Desktop folder when it exists, else the home folder.
QString startFolder();

// Widget dialog, 860 × 560, "取消" as the reject label.
void apply(QFileDialog &dialog);

} // namespace FileDialogSetup
