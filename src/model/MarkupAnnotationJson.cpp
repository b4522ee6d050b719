#include "model/MarkupAnnotationJson.h"

#include "model/UuidText.h"

namespace MarkupAnnotationJson {

QJsonObject toJson(const UnitPoint2D &point, const QString &path)
{
    QJsonObject object;
    object.insert(QStringLiteral("x"), Json::finiteNumber(point.x, Json::memberPath(path, QStringLiteral("x"))));
    object.insert(QStringLiteral("y"), Json::finiteNumber(point.y, Json::memberPath(path, QStringLiteral("y"))));
    return object;
}

UnitPoint2D unitPointFromJson(const QJsonValue &value, const QString &path)
{
    const Json::ObjectReader reader(value, path);
    // Field assignment, not the clamping initializer: stored coordinates are kept as written.
    UnitPoint2D point;
    point.x = reader.number(QStringLiteral("x"));
    point.y = reader.number(QStringLiteral("y"));
    return point;
}

QJsonObject toJson(const MarkupAnnotation &annotation, const QString &path)
{
    const auto at = [&path](const char *key) { return Json::memberPath(path, QString::fromLatin1(key)); };
    QJsonObject object;
    object.insert(QStringLiteral("id"), UuidText::toString(annotation.id));
    object.insert(QStringLiteral("kind"), AnnotationKinds::rawValue(annotation.kind));
    object.insert(QStringLiteral("start"), toJson(annotation.start, at("start")));
    object.insert(QStringLiteral("end"), toJson(annotation.end, at("end")));
    object.insert(QStringLiteral("text"), annotation.text);
    object.insert(QStringLiteral("colorHex"), annotation.colorHex);
    object.insert(QStringLiteral("lineWidth"), Json::finiteNumber(annotation.lineWidth, at("lineWidth")));
    object.insert(QStringLiteral("fontSize"), Json::finiteNumber(annotation.fontSize, at("fontSize")));
    if (annotation.labelPosition)
        object.insert(QStringLiteral("labelPosition"), toJson(*annotation.labelPosition, at("labelPosition")));
    if (annotation.labelWidth)
        object.insert(QStringLiteral("labelWidth"), Json::finiteNumber(*annotation.labelWidth, at("labelWidth")));
    object.insert(QStringLiteral("curveDirection"),
                  Json::finiteNumber(annotation.curveDirection, at("curveDirection")));
    if (annotation.sequenceNumber)
        object.insert(QStringLiteral("sequenceNumber"), QJsonValue(*annotation.sequenceNumber));
    QJsonArray points;
    for (qsizetype i = 0; i < annotation.points.size(); ++i)
        points.append(toJson(annotation.points[i], Json::elementPath(at("points"), i)));
    object.insert(QStringLiteral("points"), points);
    return object;
}

MarkupAnnotation fromJson(const QJsonValue &value, const QString &path)
{
    const Json::ObjectReader reader(value, path);
    MarkupAnnotation annotation;
    annotation.id = reader.uuid(QStringLiteral("id"));
    const QString kindText = reader.string(QStringLiteral("kind"));
    const std::optional<AnnotationKind> kind = AnnotationKinds::fromRawValue(kindText);
    if (!kind)
        throw Json::DecodeError(reader.pathOf(QStringLiteral("kind")), QStringLiteral("unknown annotation kind"));
    annotation.kind = *kind;
    annotation.start = unitPointFromJson(reader.required(QStringLiteral("start")), reader.pathOf(QStringLiteral("start")));
    annotation.end = unitPointFromJson(reader.required(QStringLiteral("end")), reader.pathOf(QStringLiteral("end")));
    annotation.text = reader.string(QStringLiteral("text"));
    annotation.colorHex = reader.string(QStringLiteral("colorHex"));
    annotation.lineWidth = reader.number(QStringLiteral("lineWidth"));
    annotation.fontSize = reader.number(QStringLiteral("fontSize"));
    if (const auto label = reader.optional(QStringLiteral("labelPosition")))
        annotation.labelPosition = unitPointFromJson(*label, reader.pathOf(QStringLiteral("labelPosition")));
    annotation.labelWidth = reader.optionalNumber(QStringLiteral("labelWidth"));
    // Stored as found: a direction of 0.3 stays 0.3 (only the initializer reduces it to ±1).
    annotation.curveDirection = reader.optionalNumber(QStringLiteral("curveDirection")).value_or(1.0);
    annotation.sequenceNumber = reader.optionalInteger(QStringLiteral("sequenceNumber"));
    if (auto read = reader.optionalArray(QStringLiteral("points"), unitPointFromJson))
        annotation.points = QList<UnitPoint2D>(read->begin(), read->end());
    return annotation;
}

} // namespace MarkupAnnotationJson
