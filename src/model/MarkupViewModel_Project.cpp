// Saving, opening and autosaving project files, and the reset of the open project.
//
// Opening is all or nothing: every picture of the file is decoded (on every core) before
// anything of the view model changes, so a damaged file never leaves half a project behind.

#include "model/MarkupViewModel.h"

#include "model/InteractionReset.h"

#include "platform/ImageDecoding.h"
#include "platform/NewFile.h"
#include "platform/ParallelWork.h"
#include "textengine/TextComparisonExecutor.h"
#include "textengine/TextComparisonRules.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <map>
#include <mutex>
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

// The project files written by this process, by every view model on every thread: one write at a
// time, in the order the writes were asked for. A write finds the number of the latest write that
// reached its file, so one that was overtaken while it waited leaves the newer file alone. That
// number has a lock of its own, held only to read or set it: the window asks for it without
// waiting for a write in progress.
struct ProjectFileWrites {
    std::mutex writing;
    std::mutex numbers;
    std::map<QString, quint64> written;
    std::atomic<quint64> asked{0};
};

ProjectFileWrites &projectFileWrites()
{
    // Lives as long as the process: a write on a worker may end after the application has gone.
    static ProjectFileWrites *const instance = new ProjectFileWrites;
    return *instance;
}

// The file a project saved under `path` goes to: ".kivo" is appended unless the name already ends
// so, in any case.
QString projectFileTarget(const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    return pathExtension(fileName).toLower() == MarkupProjectDocument::fileExtension
        ? path
        : path + u'.' + MarkupProjectDocument::fileExtension;
}

std::variant<QString, MarkupProjectError> writeProjectDocument(const MarkupProjectDocument &document,
                                                               const QString &target)
{
    auto encoded = document.encode();
    if (auto *error = std::get_if<MarkupProjectError>(&encoded))
        return *error;
    const QByteArray &bytes = std::get<QByteArray>(encoded);

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

// Write number `sequence` of the document, after every write asked for before it; skipped (and
// counted as written) when a later one already reached the file. Memory running out fails the
// write like a full disk: nothing may leave a worker unanswered.
std::variant<QString, MarkupProjectError> writeProjectInOrder(const MarkupProjectDocument &document,
                                                              const QString &target, quint64 sequence)
{
    ProjectFileWrites &writes = projectFileWrites();
    const std::lock_guard lock(writes.writing);
    try {
        {
            const std::lock_guard numbers(writes.numbers);
            if (writes.written[target] > sequence)
                return target;
        }
        auto written = writeProjectDocument(document, target);
        if (std::holds_alternative<QString>(written)) {
            const std::lock_guard numbers(writes.numbers);
            writes.written[target] = sequence;
        }
        return written;
    } catch (const std::bad_alloc &) {
        return MarkupProjectError::fileWriteFailed(QFileInfo(target).absoluteFilePath(), ENOMEM);
    }
}

// Whether a write later than `sequence` reached the file.
bool projectFileOvertaken(const QString &target, quint64 sequence)
{
    ProjectFileWrites &writes = projectFileWrites();
    const std::lock_guard lock(writes.numbers);
    const auto found = writes.written.find(target);
    return found != writes.written.end() && found->second > sequence;
}

// Writes the autosave that is due for the open project, here; failures show in the error alert.
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

MarkupProjectDocument MarkupViewModel::projectSnapshot() const
{
    MarkupProjectDocument document;
    document.version = 1;
    document.images = m_projectSessionImages;
    document.comparisonPairs = m_projectSessionPairs;
    document.textComparison = m_textComparison;
    return document;
}

std::variant<QString, MarkupProjectError> MarkupViewModel::writeProjectFile(const QString &path)
{
    const quint64 sequence = ++projectFileWrites().asked;
    m_latestProjectWriteHere = sequence;
    return writeProjectInOrder(projectSnapshot(), projectFileTarget(path), sequence);
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
    if (m_projectURL != target)
        ++m_projectSessions;
    setProjectURL(target);
    setStatusMessage(QStringLiteral("项目已保存：") + QFileInfo(target).fileName());
    return true;
}

void MarkupViewModel::setProjectWriter(std::shared_ptr<TextComparisonExecutor> writer)
{
    m_projectWriter = std::move(writer);
}

void MarkupViewModel::startSavingProject(const QString &path)
{
    m_autosaveTimer->stop();
    m_autosaveProjectURL.reset();
    const quint64 edits = m_projectEdits;
    const quint64 session = m_projectSessions;
    // A long project takes a moment to write: the status line says so until it is in its file.
    const QString statusBefore = statusMessage();
    const QString saving = QStringLiteral("正在保存项目…");
    setStatusMessage(saving);
    const auto withdrawSaving = [this, statusBefore, saving] {
        if (statusMessage() == saving)
            setStatusMessage(statusBefore);
    };
    startProjectWrite(path, [this, path, edits, session, withdrawSaving](const ProjectWriteResult &result, bool latest) {
        if (const auto *error = std::get_if<MarkupProjectError>(&result)) {
            if (latest) {
                ++m_projectWriteFailures;
                withdrawSaving();
                setErrorMessage(error->description());
                return;
            }
        }
        // Another document or project file took this one's place meanwhile: the file holds what
        // was saved, and the window goes on with what it shows now.
        if (m_projectSessions != session) {
            withdrawSaving();
            return;
        }
        // Written, or overtaken by a later write of the same file.
        const QString target = projectFileTarget(path);
        if (m_projectURL != target)
            ++m_projectSessions;
        setProjectURL(target);
        setStatusMessage(QStringLiteral("项目已保存：") + QFileInfo(target).fileName());
        // Edits made while the file was being written are in no file yet: the autosave takes them
        // there (one already pending was meant for the file the project was in before).
        if (m_projectEdits != edits)
            scheduleProjectAutosave();
    });
}

void MarkupViewModel::startProjectWrite(const QString &path,
                                        std::function<void(const ProjectWriteResult &, bool latest)> done)
{
    const QString target = projectFileTarget(path);
    const quint64 sequence = ++projectFileWrites().asked;
    m_latestProjectWriteStarted = sequence;
    ++m_projectWritesUnderWay;
    const QPointer<MarkupViewModel> receiver(this);
    QThread *const home = thread();
    // The snapshot shares the view model's texts and records; the encoding, which grows with the
    // project, and the write happen on the worker.
    std::function<void()> job = [document = projectSnapshot(), target, sequence, receiver, home,
                                 done = std::move(done)]() mutable {
        ProjectWriteResult result = writeProjectInOrder(document, target, sequence);
        document = MarkupProjectDocument();
        auto deliver = [receiver, result = std::move(result), target, sequence, done = std::move(done)] {
            if (receiver)
                receiver->endProjectWrite(result, target, sequence, done);
        };
        // An inline or held writer runs on the window's thread: the outcome is taken at once.
        if (QThread::currentThread() == home)
            deliver();
        else
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(deliver), Qt::QueuedConnection);
    };
    if (m_projectWriter) {
        try {
            m_projectWriter->start(job);
            return;
        } catch (...) {
            // No worker to be had: the file is written here rather than not at all.
        }
    }
    job();
}

void MarkupViewModel::endProjectWrite(const ProjectWriteResult &result, const QString &target, quint64 sequence,
                                      const std::function<void(const ProjectWriteResult &, bool latest)> &done)
{
    --m_projectWritesUnderWay;
    done(result, !projectFileOvertaken(target, sequence));
    if (m_projectWritesUnderWay == 0)
        releaseProjectWriteWaiters();
}

void MarkupViewModel::finishProjectWrites(std::function<void(bool written)> then)
{
    m_projectWriteWaiters.emplace_back(m_projectWriteFailures, std::move(then));
    releaseProjectWriteWaiters();
}

void MarkupViewModel::releaseProjectWriteWaiters()
{
    if (m_projectWriteWaiters.empty())
        return;
    // Edits made while the writes ran are written too before anyone is told the work is in its file.
    if (m_autosaveTimer->isActive()) {
        m_autosaveTimer->stop();
        startAutosave(std::exchange(m_autosaveProjectURL, std::nullopt));
    }
    if (m_projectWritesUnderWay > 0)
        return;
    const auto waiters = std::exchange(m_projectWriteWaiters, {});
    const int failures = m_projectWriteFailures;
    for (const auto &[failuresBefore, then] : waiters)
        then(failures == failuresBefore);
}

void MarkupViewModel::startAutosave(const std::optional<QString> &target)
{
    if (!target || m_projectURL != target)
        return;
    startProjectWrite(*target, [this, url = *target](const ProjectWriteResult &result, bool latest) {
        // Shown while it matters: the file is still the open project's and no later write of it
        // has succeeded since.
        const auto *error = std::get_if<MarkupProjectError>(&result);
        if (!error || !latest || m_projectURL != url)
            return;
        ++m_projectWriteFailures;
        setErrorMessage(error->description());
    });
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
    ++m_projectSessions;
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
    ++m_projectEdits;
    if (!m_projectURL)
        return;
    m_autosaveProjectURL = m_projectURL;
    // One connection at a time; restarting the single-shot timer replaces the pending request.
    QObject::disconnect(m_autosaveTimer, &QTimer::timeout, this, nullptr);
    connect(m_autosaveTimer, &QTimer::timeout, this,
            [this] { startAutosave(std::exchange(m_autosaveProjectURL, std::nullopt)); });
    m_autosaveTimer->start();
}

bool MarkupViewModel::writePendingAutosave()
{
    // The pending autosave belongs to the open file: written, not dropped.
    const bool due = m_autosaveTimer->isActive();
    m_autosaveTimer->stop();
    std::optional<QString> target = std::exchange(m_autosaveProjectURL, std::nullopt);
    // A write still under way on the worker is overtaken by one here, of the project as it is now:
    // the caller goes on only once the file holds it (a write running on the worker is waited
    // for, and one not yet begun finds the file newer and leaves it).
    if (!due)
        target = m_projectWritesUnderWay > 0 && m_latestProjectWriteStarted > m_latestProjectWriteHere
            ? m_projectURL
            : std::nullopt;
    return writeAutosave(*this, target);
}

bool MarkupViewModel::leaveProjectFile()
{
    const bool written = writePendingAutosave();
    if (written) {
        ++m_projectSessions;
        setProjectURL(std::nullopt);
    }
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
    if (m_projectURL)
        ++m_projectSessions;
    setProjectURL(std::nullopt);
    m_projectSessionImages.clear();
    m_projectSessionPairs.clear();
}
