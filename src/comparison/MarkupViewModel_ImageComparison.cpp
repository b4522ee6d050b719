// The comparison pairs: selecting, deleting and appending them, decoding one side, and pairing
// two folders by normalised file names.

#include "model/MarkupViewModel.h"

#include "comparison/ComparisonPairing.h"
#include "markup/ExportFileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>

namespace {

// Removed in this order: a longer word goes before the shorter words it contains.
const std::array<QString, 24> &markerWords()
{
    static const std::array<QString, 24> words{
        QStringLiteral("修改前"), QStringLiteral("修改后"), QStringLiteral("改前"),     QStringLiteral("改后"),
        QStringLiteral("原图"),   QStringLiteral("原稿"),   QStringLiteral("原始"),     QStringLiteral("旧图"),
        QStringLiteral("旧版"),   QStringLiteral("新版"),   QStringLiteral("新图"),     QStringLiteral("before"),
        QStringLiteral("after"),  QStringLiteral("old"),    QStringLiteral("new"),      QStringLiteral("original"),
        QStringLiteral("origin"), QStringLiteral("revised"), QStringLiteral("revision"), QStringLiteral("final"),
        QStringLiteral("edited"), QStringLiteral("edit"),   QStringLiteral("前"),       QStringLiteral("后"),
    };
    return words;
}

bool isKeySeparator(QChar c)
{
    static const QString separators = QStringLiteral(" _-\u2014\u2013.()\uFF08\uFF09[]\u3010\u3011{}");
    return c.isSpace() || separators.contains(c);
}

// Full-width ASCII to ASCII, the ideographic space to a space, the other half- and full-width
// forms by compatibility mapping. Only those: "①", ligatures and superscripts stay as they are.
QString foldWidth(const QString &text)
{
    QString folded;
    folded.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            folded.append(QChar(char16_t(u - 0xFEE0)));
        else if (u == 0x3000)
            folded.append(u' ');
        else if (u >= 0xFF61 && u <= 0xFFEF)
            folded.append(QString(c).normalized(QString::NormalizationForm_KC));
        else
            folded.append(c);
    }
    return folded;
}

QString removeDiacritics(const QString &text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString kept;
    kept.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            kept.append(c);
    }
    return kept.normalized(QString::NormalizationForm_C);
}

QString standardizedPath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

void MarkupViewModel::selectComparisonPair(const QUuid &id)
{
    const bool exists = std::any_of(m_comparisonPairs.begin(), m_comparisonPairs.end(),
                                    [&](const ComparisonPairState &pair) { return pair.id == id; });
    if (!exists)
        return;
    setSelectedComparisonPairID(id);
    setStatusMessage(comparisonPositionText());
}

void MarkupViewModel::deleteComparisonPair(const QUuid &id)
{
    const auto found = std::find_if(m_comparisonPairs.begin(), m_comparisonPairs.end(),
                                    [&](const ComparisonPairState &pair) { return pair.id == id; });
    if (found == m_comparisonPairs.end())
        return;
    const qsizetype removed = qsizetype(found - m_comparisonPairs.begin());
    std::vector<ComparisonPairState> pairs = m_comparisonPairs;
    pairs.erase(pairs.begin() + removed);

    if (pairs.empty()) {
        setComparisonPairs({});
        setSelectedComparisonPairID(std::nullopt);
        setStatusMessage(QStringLiteral("已删除图片对比"));
        return;
    }
    const std::optional<QUuid> selected = m_selectedComparisonPairID;
    const bool keepsSelection = selected && *selected != id
                                && std::any_of(pairs.begin(), pairs.end(),
                                               [&](const ComparisonPairState &pair) { return pair.id == *selected; });
    const QUuid next = pairs[size_t(std::min(qsizetype(pairs.size()) - 1, removed))].id;
    setComparisonPairs(std::move(pairs));
    if (keepsSelection) {
        setStatusMessage(QStringLiteral("已删除图片对比"));
        return;
    }
    setSelectedComparisonPairID(next);
    setStatusMessage(comparisonPositionText());
}

std::optional<ComparisonImageState> MarkupViewModel::makeComparisonImage(const QString &path)
{
    std::optional<ComparisonImageState> image = ComparisonPairing::decodeImage(path);
    if (!image)
        setErrorMessage(ComparisonPairing::refusalMessage(path));
    return image;
}

void MarkupViewModel::appendComparisonPairs(std::vector<ComparisonPairState> pairs)
{
    if (pairs.empty())
        return;
    const QUuid firstID = pairs.front().id;
    const qsizetype count = qsizetype(pairs.size());
    std::vector<ComparisonPairState> all = m_comparisonPairs;
    all.insert(all.end(), std::make_move_iterator(pairs.begin()), std::make_move_iterator(pairs.end()));
    setComparisonPairs(std::move(all));
    setSelectedComparisonPairID(firstID);
    setStatusMessage(count == 1 ? QStringLiteral("已添加 1 组图片对比")
                                : QStringLiteral("已批量添加 %1 组图片对比").arg(count));
}

ComparisonBatchImportResult MarkupViewModel::batchComparisonPairs(const QString &beforeFolder,
                                                                  const QString &afterFolder)
{
    return finishComparisonBatch(ComparisonPairing::decodeFolders(beforeFolder, afterFolder));
}

ComparisonBatchImportResult MarkupViewModel::finishComparisonBatch(ComparisonPairing::DecodedBatch batch)
{
    if (batch.hadUndecodablePair)
        setErrorMessage(ComparisonPairing::undecodableMessage());
    else if (batch.hadTooLargePair)
        setErrorMessage(ComparisonPairing::tooLargeMessage());
    return std::move(batch.result);
}

QString MarkupViewModel::comparisonMatchKey(const QString &path)
{
    const QString name = path.section(u'/', -1);
    QString key = removeDiacritics(foldWidth(ExportFileNames::deletingPathExtension(name))).toCaseFolded().toLower();
    for (const QString &word : markerWords())
        key.remove(word);
    key.removeIf(isKeySeparator);
    return key;
}

ComparisonPairing::URLMatch MarkupViewModel::matchComparisonURLs(const QStringList &before, const QStringList &after)
{
    QHash<QString, QStringList> afterByKey;
    for (const QString &path : after)
        afterByKey[comparisonMatchKey(path)].append(path);

    ComparisonPairing::URLMatch match;
    QSet<QString> taken;
    for (const QString &path : before) {
        const auto group = afterByKey.constFind(comparisonMatchKey(path));
        if (group == afterByKey.constEnd() || group->size() != 1) {
            match.unmatchedBefore.append(path);
            continue;
        }
        const QString partner = group->front();
        match.matched.emplace_back(path, partner);
        taken.insert(standardizedPath(partner));
        afterByKey.erase(group);
    }
    for (const QString &path : after) {
        if (!taken.contains(standardizedPath(path)))
            match.unmatchedAfter.append(path);
    }
    return match;
}
