#pragma once

#include "model/JsonSupport.h"
#include "model/MarkupAnnotation.h"

// The JSON form of annotations inside project files. Reading keeps numbers as found (no clamping,
// the curve direction is not reduced to ±1); writing leaves absent optional members out.
namespace MarkupAnnotationJson {

// {"x": …, "y": …}; throws Json::EncodeError for non-finite coordinates.
QJsonObject toJson(const UnitPoint2D &point, const QString &path = {});
// Both keys required; throws Json::DecodeError.
UnitPoint2D unitPointFromJson(const QJsonValue &value, const QString &path);

// Throws Json::EncodeError for a non-finite number anywhere in the annotation.
QJsonObject toJson(const MarkupAnnotation &annotation, const QString &path = {});
// Throws Json::DecodeError naming the key path of the first problem.
MarkupAnnotation fromJson(const QJsonValue &value, const QString &path);

} // namespace MarkupAnnotationJson
