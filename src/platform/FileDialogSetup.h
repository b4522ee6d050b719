#pragma once

#include <QString>

class QDateTime;
class QFileDialog;

// The program's own file dialogs share one look: Qt's widget dialog (so typed paths, labels and
// the Chinese catalogue behave the same everywhere), a size that shows whole type names and
// dates, and a start in the Desktop folder.
namespace FileDialogSetup {

// The Desktop folder when it exists, else the home folder.
QString startFolder();

// Widget dialog, 860 × 560, "取消" as the reject label, sizes and dates in Chinese whatever the
// desktop's locale.
void apply(QFileDialog &dialog);

// The columns of the dialog's file list that it writes itself, and how: "336 字节", "2.00 KB";
// "2026/12/8 09:41".
constexpr int sizeColumn = 1;
constexpr int dateColumn = 3;
QString sizeText(qint64 bytes);
QString dateText(const QDateTime &time);

} // namespace FileDialogSetup
