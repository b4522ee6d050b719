// Saving, opening and autosaving project files, and the reset of the open project.
//
// Opening is all or nothing: every picture of the file is decoded (on every core) before
// anything of the view model changes, so a damaged file never leaves half a project behind.

#include "model/MarkupViewModel.h"

#include "model/InteractionReset.h"

#include "platform/ImageDecoding.h"
#include "platform/NewFile.h"
#include "platform/ParallelWork.h"
#include "textengine/TextComparisonRules.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>

namespace {

constexpr double projectThumbnailDimension = 96;
const QString defaultProjectBaseName = QStringLiteral("Kivora项目");

// The extension of a file name as the save panel understands it: the text after the last dot,
// when that dot does not start the name (".kivo" alone is a hidden name, not an extension).
QString pathExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.mid(dot + 1) : QString();
}

QString withoutPathExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

// The name reduced to one harmless path component that fits, with `suffix`, into the 255 bytes a
// Linux file name may have: "/" and NUL become "_", and "." or ".." count as blank. Names come
// from project files too, which anyone can write.
QString safeFileNameBase(QString name, const QString &suffix)
{
    name.replace(u'/', u'_');
    name.replace(QChar(u'\0'), u'_');
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QString();
    return NewFiles::fittedName(name, suffix).chopped(suffix.size());
}

// The stored size when it is a real size; otherwise the decoded picture's.
QSizeF storedOrDecodedSize(double width, double height, QSize decoded)
{
    if (std::isfinite(width) && std::isfinite(height) && width > 0 && height > 0)
        return QSizeF(width, height);
    return QSizeF(decoded);
}

// Why a stored image could not be read: for what it would cost, or as unreadable.
MarkupProjectError projectImageError(const QString &fileName, const QByteArray &imageData)
{
    return ImageDecoding::exceedsLimitsData(imageData) ? MarkupProjectError::imageTooLarge(fileName)
                                                       : MarkupProjectError::imageDecodingFailed(fileName);
}

std::optional<ComparisonImageState> comparisonImage(const MarkupProjectComparisonImage &record)
{
    // Only the header is read: a project may hold thousands of pairs, and decoding each side (or
    // keeping a thumbnail of it) would take minutes and gigabytes. The pixels, and the cards' small
    // copies, are made from the bytes when they are shown.
    const std::optional<QSize> size = ImageDecoding::orientedImageSizeData(record.imageData);
    if (!size || size->isEmpty())
        return std::nullopt;
    return ComparisonImageState{record.fileName, ImageHandle::fromEncodedData(record.imageData, *size),
                                storedOrDecodedSize(record.pixelWidth, record.pixelHeight, *size)};
}

// Writes the autosave that is due for the open project; failures show in the error alert.
// False only when a write was due and failed.
bool writeAutosave(MarkupViewModel &model, const std::optional<QString> &target)
{
    if (!target || model.projectURL() != target)
        return true;
    const auto written = model.writeProjectFile(*target);
    if (const auto *error = std::get_if<MarkupProjectError>(&written)) {
        model.setErrorMessage(error->description());
        return false;
    }
    return true;
}

} // namespace

std::variant<QString, MarkupProjectError> MarkupViewModel::writeProjectFile(const QString &path) const
{
    MarkupProjectDocument document;
    document.version = 1;
    document.images = m_projectSessionImages;
    document.comparisonPairs = m_projectSessionPairs;
    document.textComparison = m_textComparison;
    auto encoded = document.encode();
    if (auto *error = std::get_if<MarkupProjectError>(&encoded))
        return *error;
    const QByteArray &bytes = std::get<QByteArray>(encoded);

    const QString fileName = QFileInfo(path).fileName();
    const QString target = pathExtension(fileName).toLower() == MarkupProjectDocument::fileExtension
        ? path
        : path + u'.' + MarkupProjectDocument::fileExtension;
    // The old file is either replaced whole or left as it was.
    QSaveFile file(target);
    // The failure says why (a full disk, a read-only folder) and where.
    const auto failed = [&](int errorNumber) {
        if (file.error() == QFileDevice::ResourceError)
            errorNumber = ENOSPC;
        else if (QFileInfo(target).isDir())
            errorNumber = EISDIR;
        file.cancelWriting();
        return MarkupProjectError::fileWriteFailed(QFileInfo(target).absoluteFilePath(),
                                                   errorNumber != 0 ? errorNumber : EIO);
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return failed(errno);
    errno = 0;
    if (file.write(bytes) != bytes.size())
        return failed(errno);
    errno = 0;
    if (!file.commit())
        return failed(errno);
    return target;
}

bool MarkupViewModel::saveProject(const QString &path)
{
    m_autosaveTimer->stop();
    m_autosaveProjectURL.reset();
    const auto written = writeProjectFile(path);
    if (const auto *error = std::get_if<MarkupProjectError>(&written)) {
        setErrorMessage(error->description());
        return false;
    }
    const QString &target = std::get<QString>(written);
    setProjectURL(target);
    setStatusMessage(QStringLiteral("项目已保存：") + QFileInfo(target).fileName());
    return true;
}

QString MarkupViewModel::suggestedProjectFileName() const
{
    QString base = defaultProjectBaseName;
    if (const std::optional<qsizetype> index = selectedIndex())
        base = withoutPathExtension(m_items[size_t(*index)].fileName);
    else if (m_textComparison)
        base = withoutPathExtension(m_textComparison->sourceName);
    const QString suffix = u'.' + MarkupProjectDocument::fileExtension;
    base = safeFileNameBase(base.trimmed(), suffix);
    if (base.isEmpty())
        base = defaultProjectBaseName;
    return base + suffix;
}

bool MarkupViewModel::openProject(const QString &path)
{
    // The pending autosave belongs to the session this open replaces: written, not dropped (and
    // before the file is read, which may be the same file). When it cannot be written the open
    // stops, so the unwritten work stays on screen with the error.
    if (!writePendingAutosave())
        return false;
    std::variant<ReadProject, MarkupProjectError> read = readProjectFile(path);
    if (const auto *error = std::get_if<MarkupProjectError>(&read)) {
        setErrorMessage(error->description());
        return false;
    }
    return applyReadProject(path, std::move(std::get<ReadProject>(read)));
}

std::variant<MarkupViewModel::ReadProject, MarkupProjectError> MarkupViewModel::readProjectFile(const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return MarkupProjectError::fileReadFailed(fileName);
    const auto tooLarge = [] {
        MarkupProjectError error;
        error.kind = MarkupProjectError::Kind::FileTooLarge;
        return error;
    };
    if (file.size() > maximumProjectFileSize)
        return tooLarge();
    QByteArray bytes = file.readAll();
    // Checked again: the file may have grown since its size was read.
    if (bytes.size() > maximumProjectFileSize)
        return tooLarge();
    if (file.error() != QFileDevice::NoError)
        return MarkupProjectError::fileReadFailed(fileName);
    file.close();

    auto decoded = MarkupProjectDocument::decode(bytes);
    bytes.clear();
    // The message names the file that was refused.
    if (auto *error = std::get_if<MarkupProjectError>(&decoded)) {
        error->fileName = fileName;
        return *error;
    }
    ReadProject project;
    project.document = std::move(std::get<MarkupProjectDocument>(decoded));
    if (const std::optional<MarkupProjectError> error = decodeProjectPictures(project))
        return *error;
    return project;
}

bool MarkupViewModel::applyReadProject(const QString &path, ReadProject project)
{
    // Written again: an edit made while the file was being read scheduled a new one.
    if (!writePendingAutosave())
        return false;
    const MarkupProjectDocument &document = project.document;
    assignProject(project);
    QString message;
    if (document.textComparison) {
        setProjectURL(path);
        message = QStringLiteral("项目已打开：") + QFileInfo(path).fileName();
    } else {
        setProjectURL(std::nullopt);
        message = QStringLiteral("已打开图片标注内容，请使用“保存到桌面”导出图片");
    }
    m_undoSnapshotsByItemID.clear();
    m_redoSnapshotsByItemID.clear();
    m_annotationClipboard.clear();
    m_projectSessionImages = document.images;
    m_projectSessionPairs = document.pairsToRestore();
    setStatusMessage(message);
    return true;
}

std::optional<MarkupProjectError> MarkupViewModel::decodeProjectPictures(ReadProject &project)
{
    // Everything is decoded first, in parallel; nothing is kept unless all of it decoded.
    const MarkupProjectDocument &document = project.document;
    const std::vector<MarkupProjectImage> &records = document.images;
    const std::vector<MarkupProjectComparisonPair> pairRecords = document.pairsToRestore();
    const qsizetype imageCount = qsizetype(records.size());
    std::vector<std::optional<std::variant<ImageMarkupItem, MarkupProjectError>>> items(records.size());
    std::vector<std::optional<std::variant<ComparisonPairState, MarkupProjectError>>> pairs(pairRecords.size());
    // Memory running out on one picture fails that picture, like any other decoding failure.
    ParallelWork::forEach(int(imageCount + qsizetype(pairRecords.size())), [&](int i) {
        if (i < imageCount) {
            const MarkupProjectImage &record = records[size_t(i)];
            try {
                items[size_t(i)] = makeImageItem(record);
            } catch (const std::bad_alloc &) {
                items[size_t(i)] = MarkupProjectError::imageDecodingFailed(record.fileName);
            }
        } else {
            const MarkupProjectComparisonPair &record = pairRecords[size_t(i - imageCount)];
            try {
                pairs[size_t(i - imageCount)] = makeComparisonPair(record);
            } catch (const std::bad_alloc &) {
                pairs[size_t(i - imageCount)] = MarkupProjectError::imageDecodingFailed(record.before.fileName);
            }
        }
    });

    std::vector<ImageMarkupItem> newItems;
    for (auto &result : items) {
        if (auto *error = std::get_if<MarkupProjectError>(&*result))
            return *error;
        newItems.push_back(std::move(std::get<ImageMarkupItem>(*result)));
    }
    std::vector<ComparisonPairState> newPairs;
    for (auto &result : pairs) {
        if (auto *error = std::get_if<MarkupProjectError>(&*result))
            return *error;
        newPairs.push_back(std::move(std::get<ComparisonPairState>(*result)));
    }
    project.items = std::move(newItems);
    project.pairs = std::move(newPairs);
    return std::nullopt;
}

void MarkupViewModel::assignProject(ReadProject &project)
{
    std::vector<ImageMarkupItem> newItems = std::move(project.items);
    std::vector<ComparisonPairState> newPairs = std::move(project.pairs);
    const std::optional<QUuid> firstItemID = newItems.empty() ? std::nullopt : std::optional(newItems.front().id);
    const std::optional<QUuid> firstPairID = newPairs.empty() ? std::nullopt : std::optional(newPairs.front().id);
    QSet<QUuid> allItemIDs;
    for (const ImageMarkupItem &item : newItems)
        allItemIDs.insert(item.id);

    setItems(std::move(newItems));
    // The pairs on screen are in no file, so an open never takes them away. A document's own
    // pairs (older files hold some) join them, and the first of those is shown; a pair already in
    // the list, opened before, is not added twice.
    if (firstPairID) {
        std::vector<ComparisonPairState> pairs = m_comparisonPairs;
        for (ComparisonPairState &pair : newPairs) {
            const bool listed = std::any_of(pairs.begin(), pairs.end(),
                                            [&pair](const ComparisonPairState &shown) { return shown.id == pair.id; });
            if (!listed)
                pairs.push_back(std::move(pair));
        }
        setComparisonPairs(std::move(pairs));
        setSelectedComparisonPairID(firstPairID);
    }
    // Line ends normalised with the markups moved along, markups sorted and renumbered, and the
    // previous document's text histories dropped.
    restoreTextComparisonFromProject(project.document.textComparison);
    setSelectedImageItemIDs(std::move(allItemIDs));
    setSelectedItemID(firstItemID);
    InteractionReset::clear(*this, InteractionReset::everything);
    for (qsizetype i = 0; i < qsizetype(m_items.size()); ++i)
        normalizeLegacyNumberedTexts(i);
}

std::variant<ImageMarkupItem, MarkupProjectError> MarkupViewModel::makeImageItem(const MarkupProjectImage &record)
{
    // Only the thumbnail is kept: a project of many large pictures must not hold them all.
    const std::optional<ImageDecoding::Preview> decoded =
        ImageDecoding::previewImageData(record.imageData, projectThumbnailDimension);
    if (!decoded)
        return projectImageError(record.fileName, record.imageData);
    ImageMarkupItem item;
    item.id = record.id;
    item.fileName = record.fileName;
    item.sourceURL = record.sourcePath;
    // The encoded bytes stay shared with the record; the pixels are decoded again when needed.
    item.image = ImageHandle::fromEncodedData(record.imageData, decoded->size);
    item.thumbnail = ImageHandle(decoded->thumbnail);
    item.pixelSize = storedOrDecodedSize(record.pixelWidth, record.pixelHeight, decoded->size);
    item.annotations = record.annotations;
    item.savedURL = record.savedPath;
    return item;
}

std::variant<ComparisonPairState, MarkupProjectError>
MarkupViewModel::makeComparisonPair(const MarkupProjectComparisonPair &record)
{
    // The before side is checked first, so its name is the one reported when both fail.
    std::optional<ComparisonImageState> before = comparisonImage(record.before);
    if (!before)
        return projectImageError(record.before.fileName, record.before.imageData);
    std::optional<ComparisonImageState> after = comparisonImage(record.after);
    if (!after)
        return projectImageError(record.after.fileName, record.after.imageData);
    return ComparisonPairState{record.id, std::move(*before), std::move(*after)};
}

void MarkupViewModel::scheduleProjectAutosave()
{
    if (!m_projectURL)
        return;
    m_autosaveProjectURL = m_projectURL;
    // One connection at a time; restarting the single-shot timer replaces the pending request.
    QObject::disconnect(m_autosaveTimer, &QTimer::timeout, this, nullptr);
    connect(m_autosaveTimer, &QTimer::timeout, this, [this] {
        const std::optional<QString> target = std::exchange(m_autosaveProjectURL, std::nullopt);
        writeAutosave(*this, target);
    });
    m_autosaveTimer->start();
}

bool MarkupViewModel::writePendingAutosave()
{
    // The pending autosave belongs to the open file: written, not dropped.
    bool written = true;
    if (m_autosaveTimer->isActive()) {
        m_autosaveTimer->stop();
        written = writeAutosave(*this, m_autosaveProjectURL);
    }
    m_autosaveProjectURL.reset();
    return written;
}

bool MarkupViewModel::leaveProjectFile()
{
    const bool written = writePendingAutosave();
    if (written)
        setProjectURL(std::nullopt);
    return written;
}

bool MarkupViewModel::hasUnsavedTextComparison() const
{
    // Inside a project file the autosave keeps every change; outside one, an untouched document
    // is still in its source file.
    if (!m_textComparison || m_projectURL)
        return false;
    return m_textComparison->editedText != m_textComparison->originalText || !m_textComparison->annotations.empty();
}

bool MarkupViewModel::hasUnsavedImages() const
{
    if (m_items.empty())
        return false;
    // The project file keeps its images as they were opened: an image it does not hold, or one
    // annotated since, exists nowhere else.
    if (!m_projectURL)
        return true;
    return std::any_of(m_items.begin(), m_items.end(), [this](const ImageMarkupItem &item) {
        return std::none_of(m_projectSessionImages.begin(), m_projectSessionImages.end(),
                            [&item](const MarkupProjectImage &record) {
                                return record.id == item.id && record.annotations == item.annotations;
                            });
    });
}

void MarkupViewModel::resetProjectSession()
{
    m_undoSnapshotsByItemID.clear();
    m_redoSnapshotsByItemID.clear();
    // A text comparison that lives in its project file stays in it and keeps autosaving: the file
    // holds the text, and its image records are written back as they were, so replacing the image
    // list has nothing to reset there.
    if (m_projectURL && m_textComparison)
        return;
    // The images that reset are replaced whatever the autosave's outcome, which its error shows.
    leaveProjectFile();
    setProjectURL(std::nullopt);
    m_projectSessionImages.clear();
    m_projectSessionPairs.clear();
}
