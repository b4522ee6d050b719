#pragma once

#include "model/JsonSupport.h"
#include "model/TextComparisonState.h"

// The JSON form of the text comparison document inside project files. All keys are always
// written; reading requires every key except the two markup colours, which fall back to their
// defaults, and reads negative offsets as 0.
namespace TextComparisonJson {

QJsonObject toJson(const TextMarkupAnnotation &annotation);
QJsonObject toJson(const TextComparisonState &state);

// Throw Json::DecodeError naming the key path of the first problem.
TextMarkupAnnotation markupFromJson(const QJsonValue &value, const QString &path);
TextComparisonState stateFromJson(const QJsonValue &value, const QString &path);

} // namespace TextComparisonJson
