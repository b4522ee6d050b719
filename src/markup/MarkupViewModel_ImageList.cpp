// The image list: making an image current, thumbnail clicks, the group selection, deleting images
// and reordering them by drag.
#include "model/MarkupViewModel.h"

#include "model/InteractionReset.h"

#include <algorithm>

namespace {

using namespace InteractionReset;

std::optional<qsizetype> indexOf(const std::vector<ImageMarkupItem> &items, const QUuid &id)
{
    const auto it = std::find_if(items.begin(), items.end(), [&](const ImageMarkupItem &item) { return item.id == id; });
    if (it == items.end())
        return std::nullopt;
    return qsizetype(it - items.begin());
}

// The removed images' undo and redo histories can never be reached again; dropping them frees the
// pictures they hold. An id still used by a remaining item keeps its history.
void eraseHistoriesOfRemoved(MarkupViewModel &model, const QSet<QUuid> &removed)
{
    QSet<QUuid> gone = removed;
    for (const ImageMarkupItem &item : model.items())
        gone.remove(item.id);
    model.eraseUndoHistories(gone);
}

} // namespace

void MarkupViewModel::selectItem(std::optional<QUuid> id)
{
    if (id && indexOf(m_items, *id)) {
        setSelectedItemID(id);
        if (!m_selectedImageItemIDs.contains(*id))
            setSelectedImageItemIDs({*id});
        if (const std::optional<qsizetype> index = selectedIndex())
            normalizeLegacyNumberedTexts(*index);
        InteractionReset::clear(*this, everything);
        setStatusMessage(QStringLiteral("当前图片：") + selectedItem()->fileName);
        return;
    }
    const std::optional<QUuid> first = m_items.empty() ? std::nullopt : std::optional<QUuid>(m_items.front().id);
    setSelectedItemID(first);
    setSelectedImageItemIDs(first ? QSet<QUuid>{*first} : QSet<QUuid>{});
    InteractionReset::clear(*this, AnnotationSelection | Draft | ColorSample | Zoom);
}

void MarkupViewModel::activateImageItem(const QUuid &id)
{
    setSelectedItemID(id);
    if (const std::optional<qsizetype> index = selectedIndex())
        normalizeLegacyNumberedTexts(*index);
    // The eyedropper's locked sample survives a thumbnail click.
    InteractionReset::clear(*this, AnnotationSelection | Draft | TextEditing | Zoom);
}

void MarkupViewModel::selectImageItem(const QUuid &id, bool extendingSelection)
{
    if (!indexOf(m_items, id))
        return;
    QSet<QUuid> group;
    if (!extendingSelection) {
        group = {id};
    } else {
        group = m_selectedImageItemIDs;
        // The last member of a group cannot be Ctrl-clicked away.
        if (group.contains(id) && group.size() >= 2)
            group.remove(id);
        else
            group.insert(id);
    }
    setSelectedImageItemIDs(group);
    activateImageItem(id);
    if (m_selectedImageItemIDs.size() < 2)
        setStatusMessage(QStringLiteral("当前图片：") + selectedItem()->fileName);
    else
        setStatusMessage(QStringLiteral("已选择 %1 张图片").arg(m_selectedImageItemIDs.size()));
}

void MarkupViewModel::clearImageItemSelectionKeepingCurrent()
{
    if (const std::optional<ImageMarkupItem> current = selectedItem()) {
        setSelectedImageItemIDs({current->id});
        setStatusMessage(QStringLiteral("已取消全选"));
    } else {
        setSelectedImageItemIDs({});
    }
}

void MarkupViewModel::selectAllImageItems()
{
    if (m_items.empty())
        return;
    QSet<QUuid> all;
    for (const ImageMarkupItem &item : m_items)
        all.insert(item.id);
    setSelectedImageItemIDs(all);
    if (!selectedIndex())
        setSelectedItemID(m_items.front().id);
    setStatusMessage(QStringLiteral("已全选 %1 张图片").arg(m_selectedImageItemIDs.size()));
}

bool MarkupViewModel::deleteSelectedImageItems()
{
    const QSet<QUuid> ids = effectiveSelectedImageItemIDs();
    std::vector<ImageMarkupItem> remaining;
    qsizetype removed = 0;
    for (const ImageMarkupItem &item : m_items) {
        if (ids.contains(item.id))
            ++removed;
        else
            remaining.push_back(item);
    }
    if (removed == 0) {
        setStatusMessage(QStringLiteral("没有可删除的图片"));
        return false;
    }
    setItems(std::move(remaining));
    eraseHistoriesOfRemoved(*this, ids);
    const std::optional<QUuid> first = m_items.empty() ? std::nullopt : std::optional<QUuid>(m_items.front().id);
    setSelectedItemID(first);
    setSelectedImageItemIDs(first ? QSet<QUuid>{*first} : QSet<QUuid>{});
    // The comparison pairs belong to another workspace and are kept.
    InteractionReset::clear(*this, everything);
    setStatusMessage(m_items.empty() ? QStringLiteral("已删除 %1 张图片，当前没有图片").arg(removed)
                                     : QStringLiteral("已删除 %1 张图片").arg(removed));
    return true;
}

bool MarkupViewModel::deleteSelectedItem()
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index) {
        setStatusMessage(QStringLiteral("没有可删除的图片"));
        return false;
    }
    std::vector<ImageMarkupItem> items = m_items;
    const ImageMarkupItem removed = items[size_t(*index)];
    items.erase(items.begin() + *index);
    setItems(std::move(items));
    eraseHistoriesOfRemoved(*this, {removed.id});
    QSet<QUuid> group = m_selectedImageItemIDs;
    group.remove(removed.id);
    setSelectedImageItemIDs(group);

    const std::optional<QUuid> next = neighborImageItemID(*index);
    setSelectedItemID(next);
    // Other members of a group stay as they are; the new current image joins only an empty group.
    if (next && m_selectedImageItemIDs.isEmpty())
        setSelectedImageItemIDs({*next});
    InteractionReset::clear(*this, everything);
    QString status = QStringLiteral("已删除图片：") + removed.fileName;
    if (m_items.empty())
        status += QStringLiteral("，当前没有图片");
    setStatusMessage(status);
    return true;
}

std::optional<QUuid> MarkupViewModel::neighborImageItemID(qsizetype removedIndex) const
{
    if (m_items.empty())
        return std::nullopt;
    const qsizetype index = std::clamp<qsizetype>(removedIndex, 0, qsizetype(m_items.size()) - 1);
    return m_items[size_t(index)].id;
}

void MarkupViewModel::moveImageItem(const QUuid &id, const QUuid &targetID)
{
    if (id == targetID)
        return;
    const std::optional<qsizetype> source = indexOf(m_items, id);
    const std::optional<qsizetype> target = indexOf(m_items, targetID);
    if (!source || !target)
        return;
    std::vector<ImageMarkupItem> items = m_items;
    ImageMarkupItem moved = items[size_t(*source)];
    items.erase(items.begin() + *source);
    // Removing the moved image shifts the target one place up when it came before it.
    const qsizetype insertAt = *source < *target ? *target - 1 : *target;
    items.insert(items.begin() + insertAt, std::move(moved));
    setItems(std::move(items));
    setStatusMessage(QStringLiteral("已调整图片顺序"));
}
