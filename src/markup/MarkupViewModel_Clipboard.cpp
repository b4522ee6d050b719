#include "model/MarkupViewModel.h"

#include "markup/AnnotationEditing.h"
#include "markup/MarkupGeometry.h"
#include "model/TextRules.h"

#include <algorithm>

namespace {

bool isBlank(const QString &text)
{
    return !TextRules::hasVisibleText(text);
}

QString toolName(MarkupTool tool)
{
    switch (tool) {
    case MarkupTool::Select:
        return QStringLiteral("选择");
    case MarkupTool::Crop:
        return QStringLiteral("裁剪");
    case MarkupTool::Eyedropper:
        return QStringLiteral("取色");
    case MarkupTool::Arrow:
        return QStringLiteral("箭头");
    case MarkupTool::Text:
        return QStringLiteral("文字");
    case MarkupTool::Rectangle:
        return QStringLiteral("框选");
    case MarkupTool::Brush:
        return QStringLiteral("画笔");
    }
    return {};
}

// The label of an arrow copied on its own: a text annotation standing where the label stands.
MarkupAnnotation labelAsText(const MarkupAnnotation &arrow, QSizeF pixelSize)
{
    const UnitPoint2D at = UnitPoint2D::fromPoint(MarkupGeometry::labelPoint(arrow, pixelSize), pixelSize);
    return MarkupAnnotation(QUuid::createUuid(), AnnotationKind::Text, at, at, arrow.text, arrow.colorHex,
                            arrow.lineWidth, arrow.fontSize, std::nullopt, std::nullopt, 1, arrow.sequenceNumber, {});
}

// A decimal number with an optional sign and nothing else (no spaces); absent when it is not one
// or does not fit.
// Removes only the label text of the one selected annotation when its label part is selected.
// Returns whether it did.
bool deleteSelectedAnnotationText(MarkupViewModel &model, const QUuid &id)
{
    const std::optional<qsizetype> index = model.selectedIndex();
    if (!index || model.selectedAnnotationPart() == AnnotationSelectionPart::Shape)
        return false;
    std::vector<ImageMarkupItem> items = model.items();
    std::vector<MarkupAnnotation> &list = items[size_t(*index)].annotations;
    const std::optional<size_t> at = AnnotationEditing::indexOf(list, id);
    if (!at || list[*at].kind == AnnotationKind::Text || isBlank(list[*at].text))
        return false;
    list[*at].text.clear();
    AnnotationEditing::renumber(list);
    model.setItems(std::move(items));
    model.setSelectedAnnotationID(id);
    model.setSelectedAnnotationIDs({id});
    model.setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    model.setEditingTextAnnotationID(std::nullopt);
    model.setPendingTextFocusID(std::nullopt);
    model.setStatusMessage(QStringLiteral("已删除标注文字"));
    return true;
}

void removeAnnotations(MarkupViewModel &model, const QSet<QUuid> &ids)
{
    const std::optional<qsizetype> index = model.selectedIndex();
    if (!index)
        return;
    std::vector<ImageMarkupItem> items = model.items();
    std::vector<MarkupAnnotation> &list = items[size_t(*index)].annotations;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const MarkupAnnotation &annotation) { return ids.contains(annotation.id); }),
               list.end());
    AnnotationEditing::renumber(list);
    model.setItems(std::move(items));

    const auto removed = [&](const std::optional<QUuid> &id) { return id && ids.contains(*id); };
    if (removed(model.selectedAnnotationID()))
        model.setSelectedAnnotationID(std::nullopt);
    if (removed(model.editingTextAnnotationID()))
        model.setEditingTextAnnotationID(std::nullopt);
    if (removed(model.pendingTextFocusID()))
        model.setPendingTextFocusID(std::nullopt);
    model.setSelectedAnnotationIDs(model.selectedAnnotationIDs() - ids);
}

} // namespace

bool MarkupViewModel::copySelectedAnnotationsToClipboard()
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index) {
        setStatusMessage(QStringLiteral("请先导入图片"));
        return false;
    }
    const QSet<QUuid> ids = AnnotationEditing::selectionTargets(*this);
    if (ids.isEmpty()) {
        setStatusMessage(QStringLiteral("请先选中要复制的标注"));
        return false;
    }
    const ImageMarkupItem &item = m_items[size_t(*index)];
    std::vector<MarkupAnnotation> entries;
    for (const MarkupAnnotation &annotation : item.annotations) {
        if (!ids.contains(annotation.id))
            continue;
        if (m_selectedAnnotationPart == AnnotationSelectionPart::Label && annotation.kind == AnnotationKind::Arrow
            && !isBlank(annotation.text))
            entries.push_back(labelAsText(annotation, item.pixelSize));
        else
            entries.push_back(AnnotationEditing::copyWithNewID(annotation));
    }
    const size_t count = entries.size();
    m_annotationClipboard = std::move(entries);
    if (count == 0) {
        setStatusMessage(QStringLiteral("没有可复制的标注"));
        return false;
    }
    setStatusMessage(count == 1 ? QStringLiteral("已复制标注") : QStringLiteral("已复制 %1 个标注").arg(count));
    return true;
}

bool MarkupViewModel::pasteAnnotationClipboard()
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index) {
        setStatusMessage(QStringLiteral("请先选择要粘贴到的图片"));
        return false;
    }
    if (m_annotationClipboard.empty()) {
        setStatusMessage(QStringLiteral("没有可粘贴的标注"));
        return false;
    }
    recordUndoSnapshot();
    std::vector<ImageMarkupItem> items = m_items;
    std::vector<MarkupAnnotation> &list = items[size_t(*index)].annotations;
    QSet<QUuid> pastedIDs;
    for (const MarkupAnnotation &entry : m_annotationClipboard) {
        list.push_back(AnnotationEditing::copyWithNewID(entry));
        pastedIDs.insert(list.back().id);
    }
    const QUuid last = list.back().id;
    AnnotationEditing::renumber(list);
    setItems(std::move(items));

    setSelectedAnnotationID(last);
    setSelectedAnnotationIDs(pastedIDs);
    setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
    const size_t count = m_annotationClipboard.size();
    setStatusMessage(count == 1 ? QStringLiteral("已粘贴标注") : QStringLiteral("已粘贴 %1 个标注").arg(count));
    return true;
}

bool MarkupViewModel::selectAllAnnotations()
{
    const std::optional<qsizetype> index = selectedIndex();
    if (!index) {
        setStatusMessage(QStringLiteral("请先导入图片"));
        return false;
    }
    const std::vector<MarkupAnnotation> &list = m_items[size_t(*index)].annotations;
    if (list.empty()) {
        setStatusMessage(QStringLiteral("当前图片没有可全选的标注"));
        return true;
    }
    QSet<QUuid> ids;
    for (const MarkupAnnotation &annotation : list)
        ids.insert(annotation.id);
    const QUuid last = list.back().id;
    setSelectedAnnotationIDs(ids);
    setSelectedAnnotationID(last);
    setSelectedAnnotationPart(AnnotationSelectionPart::Shape);
    setEditingTextAnnotationID(std::nullopt);
    setPendingTextFocusID(std::nullopt);
    setStatusMessage(QStringLiteral("已全选 %1 个标注").arg(ids.size()));
    return true;
}

bool MarkupViewModel::deleteSelectedAnnotations()
{
    const QSet<QUuid> ids = AnnotationEditing::selectionTargets(*this);
    if (ids.isEmpty())
        return false;
    recordUndoSnapshot();
    // With the label part of one annotation selected, Delete takes the text and keeps the shape.
    if (ids.size() == 1 && deleteSelectedAnnotationText(*this, *ids.begin()))
        return true;
    removeAnnotations(*this, ids);
    setStatusMessage(ids.size() == 1 ? QStringLiteral("已删除标注")
                                     : QStringLiteral("已删除 %1 个标注").arg(ids.size()));
    return true;
}

bool MarkupViewModel::deleteCurrentSelection()
{
    return deleteSelectedAnnotations() || deleteSelectedImageItems();
}

int MarkupViewModel::applyCurrentAnnotationsToSelectedImages(bool onlySelectedAnnotations)
{
    if (m_selectedImageItemIDs.size() < 2) {
        setStatusMessage(QStringLiteral("请先选择源图片和目标图片"));
        return 0;
    }
    // The source: the current image when it has annotations, else the first marked image that has.
    std::optional<size_t> source;
    if (const std::optional<qsizetype> current = selectedIndex();
        current && !m_items[size_t(*current)].annotations.empty())
        source = size_t(*current);
    for (size_t i = 0; !source && i < m_items.size(); ++i) {
        if (m_selectedImageItemIDs.contains(m_items[i].id) && !m_items[i].annotations.empty())
            source = i;
    }
    if (!source) {
        setStatusMessage(QStringLiteral("已选图片没有可套用的标注"));
        return 0;
    }
    const ImageMarkupItem &sourceItem = m_items[*source];
    std::vector<MarkupAnnotation> chosen;
    if (onlySelectedAnnotations && m_selectedItemID == sourceItem.id) {
        const QSet<QUuid> ids = AnnotationEditing::selectionTargets(*this);
        for (const MarkupAnnotation &annotation : sourceItem.annotations) {
            if (ids.contains(annotation.id))
                chosen.push_back(annotation);
        }
    } else {
        chosen = sourceItem.annotations;
    }
    if (chosen.empty()) {
        setStatusMessage(QStringLiteral("请先选择要套用的标注"));
        return 0;
    }

    std::vector<size_t> targets;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (i != *source && m_selectedImageItemIDs.contains(m_items[i].id))
            targets.push_back(i);
    }
    if (targets.empty()) {
        setStatusMessage(QStringLiteral("请选择目标图片"));
        return 0;
    }
    // The targets' own annotations are replaced, so each keeps an undo step to get them back.
    for (size_t i : targets)
        recordUndoSnapshot(m_items[i].id);
    std::vector<ImageMarkupItem> items = m_items;
    for (size_t i : targets) {
        std::vector<MarkupAnnotation> &list = items[i].annotations;
        list.clear();
        for (const MarkupAnnotation &annotation : chosen)
            list.push_back(AnnotationEditing::copyWithNewID(annotation));
        AnnotationEditing::renumber(list);
    }
    setItems(std::move(items));
    setStatusMessage(QStringLiteral("已套用到 %1 张图片").arg(targets.size()));
    return int(targets.size());
}

bool MarkupViewModel::handleShortcut(const QString &command, const ShortcutScope &scope)
{
    if (command == u"undo")
        return undo();
    if (command == u"redo")
        return redo();
    if (command == u"copy")
        return copySelectedAnnotationsToClipboard();
    if (command == u"paste")
        return pasteAnnotationClipboard();
    if (command == u"selectAll")
        return selectAllAnnotations();
    if (command == u"delete") {
        if (scope.deleteReachesImages)
            return deleteCurrentSelection();
        if (selectedAnnotationCount() >= 1)
            return deleteSelectedAnnotations();
        setStatusMessage(QStringLiteral("请先选中要删除的标注"));
        return true;
    }
    if (command == u"escape") {
        cancelCurrentOperation();
        return true;
    }
    return switchToolByNumber(command, scope.tools);
}

bool MarkupViewModel::handleToolShortcut(const QString &command)
{
    return handleShortcut(command, ShortcutScope{m_toolOrder, true});
}

bool MarkupViewModel::switchToolByNumber(const QString &command, const std::vector<MarkupTool> &tools)
{
    const std::optional<qint64> n = TextRules::parseSignedAsciiDecimal(command);
    if (!n || *n < 1 || *n > qint64(tools.size()))
        return false;
    const MarkupTool tool = tools[size_t(*n - 1)];
    setSelectedTool(tool);
    setDraftAnnotation(std::nullopt);
    setSelectionRect(std::nullopt);
    setCropRect(std::nullopt);
    setStatusMessage(QStringLiteral("已切换工具：") + toolName(tool));
    return true;
}
