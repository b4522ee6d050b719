#include "comparison/ComparisonPairing.h"

#include "model/FileSupport.h"
#include "model/MarkupViewModel.h"
#include "model/NaturalOrder.h"
#include "platform/ImageDecoding.h"
#include "platform/ParallelWork.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace ComparisonPairing {

QString undecodableMessage()
{
    return QStringLiteral("对比图片无法解析");
}

QString tooLargeMessage()
{
    return QStringLiteral("对比图片过大，无法处理");
}

QString refusalMessage(const QString &path)
{
    return ImageDecoding::exceedsLimits(path) ? tooLargeMessage() : undecodableMessage();
}

QString batchResultMessage(const ComparisonBatchImportResult &result, bool didAdd)
{
    constexpr qsizetype shownNames = 12;
    QStringList lines{didAdd ? QStringLiteral("已添加 %1 组图片对比。").arg(result.pairs.size())
                             : QStringLiteral("没有找到可按文件名匹配的图片。")};
    const auto addList = [&](const QStringList &names, const QString &heading) {
        if (names.isEmpty())
            return;
        lines.append(QString());
        lines.append(heading);
        for (qsizetype i = 0; i < std::min(names.size(), shownNames); ++i)
            lines.append(QStringLiteral("\u2022 ") + names.at(i));
        if (names.size() > shownNames)
            lines.append(QStringLiteral("\u2026还有 %1 个").arg(names.size() - shownNames));
    };
    addList(result.unmatchedBefore, QStringLiteral("修改前未匹配："));
    addList(result.unmatchedAfter, QStringLiteral("修改后未匹配："));
    return lines.join(u'\n');
}

QStringList sortedImageFiles(const QString &folder)
{
    std::vector<std::pair<QString, QString>> named; // (name, path)
    for (const QString &file : FileSupport::uniqueFileURLs(MarkupViewModel::imageFileURLs(folder)))
        named.emplace_back(QFileInfo(file).fileName(), file);
    std::stable_sort(named.begin(), named.end(),
                     [](const auto &a, const auto &b) { return NaturalOrder::less(a.first, b.first); });
    QStringList files;
    files.reserve(qsizetype(named.size()));
    for (const auto &entry : named)
        files.append(entry.second);
    return files;
}

std::optional<ComparisonImageState> decodeImage(const QString &path)
{
    // The whole picture is still decoded, so a damaged file is refused, but a JPEG only at the
    // reduced DCT scale the thumbnail needs: the full pixels are read again when the pair is shown.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<ImageDecoding::Preview> decoded =
        ImageDecoding::previewImageData(file.readAll(), thumbnailDimension);
    file.close();
    if (!decoded || decoded->size.isEmpty() || decoded->thumbnail.isNull())
        return std::nullopt;
    ImageHandle handle = ImageHandle::fromFile(path, decoded->size);
    if (handle.isNull())
        return std::nullopt;
    ComparisonImageState state;
    state.fileName = QFileInfo(path).fileName();
    state.image = std::move(handle);
    state.pixelSize = QSizeF(decoded->size);
    state.thumbnail = ImageHandle(decoded->thumbnail);
    return state;
}

DecodedBatch decodeFolders(const QString &beforeFolder, const QString &afterFolder)
{
    const QStringList before = sortedImageFiles(beforeFolder);
    const QStringList after = sortedImageFiles(afterFolder);
    const URLMatch match = MarkupViewModel::matchComparisonURLs(before, after);

    std::vector<std::optional<ComparisonPairState>> decoded(match.matched.size());
    // For a pair refused, whether it was for what a side would cost.
    std::vector<char> tooLarge(match.matched.size(), 0);
    ParallelWork::forEach(int(match.matched.size()), [&](int i) {
        const auto &[beforePath, afterPath] = match.matched[size_t(i)];
        std::optional<ComparisonImageState> beforeImage = decodeImage(beforePath);
        if (!beforeImage) {
            tooLarge[size_t(i)] = ImageDecoding::exceedsLimits(beforePath);
            return;
        }
        std::optional<ComparisonImageState> afterImage = decodeImage(afterPath);
        if (!afterImage) {
            tooLarge[size_t(i)] = ImageDecoding::exceedsLimits(afterPath);
            return;
        }
        decoded[size_t(i)] = ComparisonPairState{QUuid(), std::move(*beforeImage), std::move(*afterImage)};
    });

    DecodedBatch batch;
    for (size_t i = 0; i < decoded.size(); ++i) {
        std::optional<ComparisonPairState> &pair = decoded[i];
        if (!pair) {
            (tooLarge[i] ? batch.hadTooLargePair : batch.hadUndecodablePair) = true;
            continue;
        }
        pair->id = QUuid::createUuid();
        batch.result.pairs.push_back(std::move(*pair));
    }
    for (const QString &path : match.unmatchedBefore)
        batch.result.unmatchedBefore.append(QFileInfo(path).fileName());
    for (const QString &path : match.unmatchedAfter)
        batch.result.unmatchedAfter.append(QFileInfo(path).fileName());
    return batch;
}

} // namespace ComparisonPairing
