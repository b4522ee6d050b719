#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <optional>

// File types of the open and save panels, dropped items, de-duplicated file lists and the
// timestamp that Desktop exports put into their file names.
namespace FileTypes {

// Name-filter patterns for file dialogs.
inline const QString markupProjectPattern = QStringLiteral("*.kivo");
inline const QString docxPattern = QStringLiteral("*.docx");

} // namespace FileTypes

namespace FileSupport {

// The URL a dropped item stands for: a QUrl as it is; bytes as an encoded URL; text only when it
// parses as an absolute URL with a scheme; anything else (or an empty or invalid value) gives
// nothing.
std::optional<QUrl> droppedURL(const QVariant &item);

// The paths in order with repeats removed; two paths count as the same when they are equal after
// making them absolute and resolving "." and ".." lexically (symbolic links are not followed).
// The first occurrence wins.
QStringList uniqueFileURLs(const QStringList &paths);

// What an import adds to its status for the files that looked like images but could not be read:
// "，2 个文件无法读取：a.jpg、b.png", naming them (by file name) when there are at most three;
// empty when every file was read.
QString unreadableFilesNote(const QStringList &paths);
// The same for the pictures refused for what they would cost (more pixels than the program reads,
// or than their data can fill): "，1 张图片过大，无法处理：a.tif".
QString tooLargeFilesNote(const QStringList &paths);

// What a save adds to its status for the files written under a numbered name because their own
// was taken: "，1 张因重名另存为 a-压缩-2.jpg", naming the first ("… 等" when there are several);
// empty when there are none.
QString numberedNamesNote(const QStringList &paths);

// "yyyyMMdd-HHmmss" of the moment, in local time with ASCII digits ("20260305-140709").
QString exportTimestamp(const QDateTime &moment);
QString exportTimestamp();

// While it lives, exportTimestamp() reads this moment instead of the clock: exports made within
// one second, on demand (tests). One at a time.
class FixedExportMoment {
public:
    explicit FixedExportMoment(const QDateTime &moment);
    ~FixedExportMoment();
    FixedExportMoment(const FixedExportMoment &) = delete;
    FixedExportMoment &operator=(const FixedExportMoment &) = delete;
};

} // namespace FileSupport
