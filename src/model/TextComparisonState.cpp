#include "model/TextComparisonState.h"

#include <algorithm>

TextMarkupAnnotation::TextMarkupAnnotation(QUuid id, qint64 sequenceNumber, qint64 location, qint64 length,
                                           QString note, bool highlight, QString highlightColorHex, bool underline,
                                           QString underlineColorHex, bool strikethrough)
    : id(id)
    , sequenceNumber(sequenceNumber)
    , location(std::max<qint64>(location, 0))
    , length(std::max<qint64>(length, 0))
    , note(std::move(note))
    , highlight(highlight)
    , highlightColorHex(std::move(highlightColorHex))
    , underline(underline)
    , underlineColorHex(std::move(underlineColorHex))
    , strikethrough(strikethrough)
{
}

std::optional<std::pair<qint64, qint64>> TextMarkupAnnotation::nsRange(const QString &text) const
{
    const qint64 textLength = text.size();
    if (location < textLength && length >= 1 && location >= 0)
        return std::make_pair(location, std::min(length, textLength - location));
    return std::nullopt;
}

TextComparisonState::TextComparisonState(QString sourceName, QString originalText,
                                         std::optional<QString> editedText,
                                         std::vector<TextMarkupAnnotation> annotations)
    : sourceName(std::move(sourceName))
    , originalText(originalText)
    , editedText(editedText ? *editedText : originalText)
    , annotations(std::move(annotations))
{
}
