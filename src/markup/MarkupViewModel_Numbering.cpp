#include "model/MarkupViewModel.h"

void MarkupViewModel::renumberAnnotations(qsizetype index)
{
    if (index < 0 || index >= qsizetype(m_items.size()))
        return;
    std::vector<ImageMarkupItem> items = m_items;
    qint64 counter = 1;
    for (MarkupAnnotation &annotation : items[size_t(index)].annotations) {
        if (annotation.shouldNumber())
            annotation.sequenceNumber = counter++;
        else
            annotation.sequenceNumber.reset();
    }
    setItems(std::move(items));
}

void MarkupViewModel::normalizeLegacyNumberedTexts(qsizetype index)
{
    if (index < 0 || index >= qsizetype(m_items.size()) || m_items[size_t(index)].annotations.empty())
        return;
    std::vector<ImageMarkupItem> items = m_items;
    bool anyTextChanged = false;
    for (MarkupAnnotation &annotation : items[size_t(index)].annotations) {
        const QString before = annotation.text;
        annotation.normalizeLegacyNumberedTextIfNeeded();
        anyTextChanged = anyTextChanged || annotation.text != before;
    }
    if (!anyTextChanged)
        return;
    setItems(std::move(items));
    renumberAnnotations(index);
}
