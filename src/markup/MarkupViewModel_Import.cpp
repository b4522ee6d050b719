// Turning files, folders and dropped pictures into items of the image markup list.
//
// A folder of camera photos must import in seconds without holding gigabytes of pixels, so an
// import reads only what the list needs now: the upright size from the file's header and a
// thumbnail decoded already reduced. The full picture stays in the file, behind an ImageHandle
// that decodes it on demand and refuses when the file has changed since. The files are read on
// every core; the list is still published once, when the whole batch is ready.

#include "model/MarkupViewModel.h"

#include "model/FileSupport.h"
#include "model/NaturalOrder.h"
#include "platform/ImageDecoding.h"
#include "platform/ParallelWork.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMimeDatabase>

#include <algorithm>
#include <new>

namespace {

constexpr double importThumbnailDimension = 96;

bool isImageType(const QMimeType &type)
{
    const auto isImage = [](const QString &name) { return name.startsWith(QLatin1String("image/")); };
    if (isImage(type.name()))
        return true;
    const QStringList ancestors = type.allAncestors();
    return std::any_of(ancestors.begin(), ancestors.end(), isImage);
}

// The type comes from the extension when it is known, so a walk through a large tree does not
// open every file; only files with unknown or missing extensions are sniffed.
bool isImageFile(const QFileInfo &info)
{
    const QMimeDatabase database;
    QMimeType type = database.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    if (type.isDefault())
        type = database.mimeTypeForFile(info, QMimeDatabase::MatchContent);
    return isImageType(type);
}

// An item for one file, or nothing when its header cannot be read, the picture is larger than
// the decode cap, or no thumbnail can be made. Runs on worker threads; the id is given later.
std::optional<ImageMarkupItem> itemFromFile(const QString &path)
{
    const std::optional<QSize> size = ImageDecoding::orientedImageSize(path);
    if (!size)
        return std::nullopt;
    ImageHandle picture = ImageHandle::fromFile(path, *size);
    if (picture.isNull())
        return std::nullopt;
    std::optional<QImage> thumbnail = ImageDecoding::makeThumbnail(path, importThumbnailDimension);
    if (!thumbnail)
        return std::nullopt;
    const QFileInfo info(path);
    ImageMarkupItem item;
    item.fileName = info.fileName();
    item.sourceURL = QDir::cleanPath(info.absoluteFilePath());
    item.image = std::move(picture);
    item.thumbnail = ImageHandle(std::move(*thumbnail));
    item.pixelSize = QSizeF(*size);
    return item;
}

// Pictures from the clipboard or a drop come in any format; held ones are 8-bit and not
// premultiplied like decoded files, so colour sampling reads exact values.
QImage heldFormat(const QImage &image)
{
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    return image.format() == format ? image : image.convertToFormat(format);
}

} // namespace

QStringList MarkupViewModel::imageFileURLs(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (!info.isDir())
        return isImageFile(info) ? QStringList{path} : QStringList{};

    // Without QDir::Hidden the iterator skips hidden files and does not enter hidden folders;
    // symbolic links to folders are not followed. Every other folder is entered: none of them
    // stands for a single document, so there is nothing else to keep out.
    QStringList found;
    QDirIterator it(path, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo entry = it.fileInfo();
        if (entry.isFile() && !entry.isSymLink() && isImageFile(entry))
            found.append(entry.filePath());
    }
    return found;
}

void MarkupViewModel::importImages(const QStringList &paths, bool replacing)
{
    QStringList files;
    for (const QString &path : paths)
        files += imageFileURLs(path);
    // By name alone, so files of different folders interleave; equal names keep their order.
    std::vector<std::pair<QString, QString>> named; // (name, path)
    for (const QString &file : FileSupport::uniqueFileURLs(files))
        named.emplace_back(QFileInfo(file).fileName(), file);
    std::stable_sort(named.begin(), named.end(),
                     [](const auto &a, const auto &b) { return NaturalOrder::less(a.first, b.first); });
    files.clear();
    for (const auto &[name, file] : named)
        files.append(file);

    std::vector<std::optional<ImageMarkupItem>> built(size_t(files.size()));
    // Files refused for what they would cost are told apart from unreadable ones.
    std::vector<char> tooLarge(size_t(files.size()), 0);
    ParallelWork::forEach(int(files.size()), [&](int i) {
        try {
            built[size_t(i)] = itemFromFile(files.at(i));
            if (!built[size_t(i)])
                tooLarge[size_t(i)] = ImageDecoding::exceedsLimits(files.at(i));
        } catch (const std::bad_alloc &) {
            // Too large to decode now: left out like any other unreadable file.
        }
    });

    std::vector<ImageMarkupItem> imported;
    QStringList unreadable;
    QStringList refused;
    for (size_t i = 0; i < built.size(); ++i) {
        std::optional<ImageMarkupItem> &item = built[i];
        if (!item) {
            (tooLarge[i] ? refused : unreadable) << files.at(qsizetype(i));
            continue;
        }
        item->id = QUuid::createUuid();
        imported.push_back(std::move(*item));
    }
    if (imported.empty()) {
        setErrorMessage(QStringLiteral("没有找到可用图片") + FileSupport::tooLargeFilesNote(refused));
        return;
    }

    const QUuid firstID = imported.front().id;
    const qsizetype count = qsizetype(imported.size());
    if (replacing) {
        setItems(std::move(imported));
        resetProjectSession();
    } else {
        std::vector<ImageMarkupItem> items = m_items;
        items.insert(items.end(), std::make_move_iterator(imported.begin()), std::make_move_iterator(imported.end()));
        setItems(std::move(items));
    }
    setColorSamplePreview(std::nullopt);
    setColorSampleLocked(false);
    setSelectedImageItemIDs({firstID});
    for (qsizetype i = 0; i < qsizetype(m_items.size()); ++i)
        normalizeLegacyNumberedTexts(i);
    selectItem(firstID);
    // Files that looked like images but could not be read are named, not passed over in silence.
    setStatusMessage(QStringLiteral("已导入 %1 张图片").arg(count) + FileSupport::tooLargeFilesNote(refused)
                     + FileSupport::unreadableFilesNote(unreadable));
}

void MarkupViewModel::importImage(const QString &path)
{
    importImages({path}, true);
}

void MarkupViewModel::importImage(const QImage &image, const QString &fileName)
{
    if (image.isNull()) {
        setErrorMessage(QStringLiteral("图片数据无法解析"));
        return;
    }
    ImageMarkupItem item;
    item.id = QUuid::createUuid();
    item.fileName = fileName;
    const QImage held = heldFormat(image);
    item.thumbnail = ImageHandle(ImageDecoding::makeThumbnail(held, importThumbnailDimension));
    item.pixelSize = QSizeF(held.size());
    item.image = ImageHandle(held);
    const QUuid id = item.id;

    std::vector<ImageMarkupItem> items = m_items;
    items.push_back(std::move(item));
    setItems(std::move(items));
    setColorSamplePreview(std::nullopt);
    setColorSampleLocked(false);
    setSelectedImageItemIDs({id});
    selectItem(id);
    setStatusMessage(QStringLiteral("已载入：") + fileName);
}
