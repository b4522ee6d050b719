#include "model/TextComparisonJson.h"

#include "model/UuidText.h"

namespace TextComparisonJson {

QJsonObject toJson(const TextMarkupAnnotation &annotation)
{
    QJsonObject object;
    object.insert(QStringLiteral("id"), UuidText::toString(annotation.id));
    object.insert(QStringLiteral("sequenceNumber"), QJsonValue(annotation.sequenceNumber));
    object.insert(QStringLiteral("location"), QJsonValue(annotation.location));
    object.insert(QStringLiteral("length"), QJsonValue(annotation.length));
    object.insert(QStringLiteral("note"), annotation.note);
    object.insert(QStringLiteral("highlight"), annotation.highlight);
    object.insert(QStringLiteral("highlightColorHex"), annotation.highlightColorHex);
    object.insert(QStringLiteral("underline"), annotation.underline);
    object.insert(QStringLiteral("underlineColorHex"), annotation.underlineColorHex);
    object.insert(QStringLiteral("strikethrough"), annotation.strikethrough);
    return object;
}

QJsonObject toJson(const TextComparisonState &state)
{
    QJsonObject object;
    object.insert(QStringLiteral("sourceName"), state.sourceName);
    object.insert(QStringLiteral("originalText"), state.originalText);
    object.insert(QStringLiteral("editedText"), state.editedText);
    QJsonArray annotations;
    for (const TextMarkupAnnotation &annotation : state.annotations)
        annotations.append(toJson(annotation));
    object.insert(QStringLiteral("annotations"), annotations);
    return object;
}

TextMarkupAnnotation markupFromJson(const QJsonValue &value, const QString &path)
{
    const Json::ObjectReader reader(value, path);
    // The initializer turns negative offsets into 0.
    return TextMarkupAnnotation(
        reader.uuid(QStringLiteral("id")), reader.integer(QStringLiteral("sequenceNumber")),
        reader.integer(QStringLiteral("location")), reader.integer(QStringLiteral("length")),
        reader.string(QStringLiteral("note")), reader.boolean(QStringLiteral("highlight")),
        reader.optionalString(QStringLiteral("highlightColorHex"))
            .value_or(TextMarkupAnnotation::defaultHighlightColorHex),
        reader.boolean(QStringLiteral("underline")),
        reader.optionalString(QStringLiteral("underlineColorHex"))
            .value_or(TextMarkupAnnotation::defaultUnderlineColorHex),
        reader.boolean(QStringLiteral("strikethrough")));
}

TextComparisonState stateFromJson(const QJsonValue &value, const QString &path)
{
    const Json::ObjectReader reader(value, path);
    TextComparisonState state;
    state.sourceName = reader.string(QStringLiteral("sourceName"));
    state.originalText = reader.string(QStringLiteral("originalText"));
    state.editedText = reader.string(QStringLiteral("editedText"));
    state.annotations = reader.array(QStringLiteral("annotations"), markupFromJson);
    return state;
}

} // namespace TextComparisonJson
