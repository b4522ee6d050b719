#include "model/MarkupViewModel.h"

#include "model/InteractionReset.h"

#include <algorithm>

namespace {

ImageUndoSnapshot snapshotOf(const ImageMarkupItem &item)
{
    // Pictures are shared handles, so a snapshot costs the annotations only.
    return ImageUndoSnapshot{item.image, item.thumbnail, item.pixelSize, item.annotations, item.sourceURL,
                             item.savedURL};
}

void pushKeepingNewest(std::vector<ImageUndoSnapshot> &stack, ImageUndoSnapshot snapshot)
{
    stack.push_back(std::move(snapshot));
    if (qsizetype(stack.size()) > MarkupViewModel::undoHistoryLimit)
        stack.erase(stack.begin(), stack.end() - MarkupViewModel::undoHistoryLimit);
}

} // namespace

void MarkupViewModel::recordUndoSnapshot(std::optional<QUuid> itemID)
{
    const std::optional<QUuid> id = itemID ? itemID : m_selectedItemID;
    if (!id)
        return;
    const auto it = std::find_if(m_items.begin(), m_items.end(),
                                 [&](const ImageMarkupItem &item) { return item.id == *id; });
    if (it == m_items.end())
        return;
    pushKeepingNewest(m_undoSnapshotsByItemID[*id], snapshotOf(*it));
    m_redoSnapshotsByItemID[*id].clear();
}

void MarkupViewModel::restoreUndoSnapshot(const ImageUndoSnapshot &snapshot, qsizetype index)
{
    if (index < 0 || index >= qsizetype(m_items.size()))
        return;
    std::vector<ImageMarkupItem> items = m_items;
    ImageMarkupItem &item = items[size_t(index)];
    item.image = snapshot.image;
    item.thumbnail = snapshot.thumbnail;
    item.pixelSize = snapshot.pixelSize;
    item.annotations = snapshot.annotations;
    item.sourceURL = snapshot.sourceURL;
    item.savedURL = snapshot.savedURL;
    setItems(std::move(items));
}

bool MarkupViewModel::undo()
{
    return stepHistory(m_undoSnapshotsByItemID, m_redoSnapshotsByItemID, QStringLiteral("没有可撤回的操作"),
                       QStringLiteral("已撤回"));
}

bool MarkupViewModel::redo()
{
    return stepHistory(m_redoSnapshotsByItemID, m_undoSnapshotsByItemID, QStringLiteral("没有可重做的操作"),
                       QStringLiteral("已重做"));
}

// Undo and redo are one walk with the two histories exchanged: take the newest snapshot from
// `from`, push the present state onto `to`, restore and renumber.
bool MarkupViewModel::stepHistory(UndoStacks &from, UndoStacks &to, const QString &emptyMessage,
                                  const QString &doneMessage)
{
    if (!m_selectedItemID || from.value(*m_selectedItemID).empty()) {
        setStatusMessage(emptyMessage);
        return true;
    }
    const QUuid id = *m_selectedItemID;
    std::vector<ImageUndoSnapshot> remaining = from.value(id);
    const ImageUndoSnapshot taken = remaining.back();
    remaining.pop_back();
    const std::optional<qsizetype> index = selectedIndex();
    if (!index) {
        setStatusMessage(emptyMessage);
        return true;
    }
    pushKeepingNewest(to[id], snapshotOf(m_items[size_t(*index)]));
    restoreUndoSnapshot(taken, *index);
    renumberAnnotations(*index);
    from[id] = std::move(remaining);

    const std::vector<MarkupAnnotation> &restored = m_items[size_t(*index)].annotations;
    std::optional<QUuid> last;
    if (!restored.empty())
        last = restored.back().id;
    setSelectedAnnotationID(last);
    setSelectedAnnotationIDs(last ? QSet<QUuid>{*last} : QSet<QUuid>{});
    setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    InteractionReset::clear(*this, InteractionReset::Draft | InteractionReset::TextEditing);
    setStatusMessage(doneMessage);
    return true;
}

bool MarkupViewModel::clearSelectedImageAnnotations()
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index) {
        setStatusMessage(QStringLiteral("请先选择图片"));
        return false;
    }
    if (m_items[size_t(*index)].annotations.empty()) {
        setStatusMessage(QStringLiteral("当前图片没有标注"));
        return true;
    }
    recordUndoSnapshot();
    std::vector<ImageMarkupItem> items = m_items;
    items[size_t(*index)].annotations.clear();
    setItems(std::move(items));
    setSelectedAnnotationID(std::nullopt);
    setSelectedAnnotationIDs({});
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
    setStatusMessage(QStringLiteral("已清空当前图片标注，可按 Ctrl+Z 撤销"));
    return true;
}

void MarkupViewModel::eraseUndoHistories(const QSet<QUuid> &itemIDs)
{
    for (const QUuid &id : itemIDs) {
        m_undoSnapshotsByItemID.remove(id);
        m_redoSnapshotsByItemID.remove(id);
    }
}
