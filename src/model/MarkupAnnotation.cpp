#include "model/MarkupAnnotation.h"

#include "model/TextRules.h"

#include <QList>

#include <cmath>

UnitPoint2D::UnitPoint2D(double x, double y)
    : x(clampUnit(x))
    , y(clampUnit(y))
{
}

double UnitPoint2D::clampUnit(double value)
{
    if (std::isnan(value) || value < 0)
        return 0;
    if (value > 1)
        return 1;
    return value;
}

UnitPoint2D UnitPoint2D::fromPoint(QPointF point, QSizeF size)
{
    if (!(size.width() > 0) || !(size.height() > 0))
        return UnitPoint2D(0, 0);
    return UnitPoint2D(point.x() / size.width(), point.y() / size.height());
}

QPointF UnitPoint2D::toPoint(QSizeF size) const
{
    return QPointF(x * size.width(), y * size.height());
}

UnitPoint2D UnitPoint2D::translated(double dx, double dy) const
{
    return UnitPoint2D(x + dx, y + dy);
}

namespace AnnotationKinds {

QString rawValue(AnnotationKind kind)
{
    switch (kind) {
    case AnnotationKind::Arrow:
        return QStringLiteral("arrow");
    case AnnotationKind::Text:
        return QStringLiteral("text");
    case AnnotationKind::Rectangle:
        return QStringLiteral("rectangle");
    case AnnotationKind::Brush:
        return QStringLiteral("brush");
    }
    return QStringLiteral("arrow");
}

std::optional<AnnotationKind> fromRawValue(const QString &raw)
{
    for (AnnotationKind kind : {AnnotationKind::Arrow, AnnotationKind::Text, AnnotationKind::Rectangle,
                                AnnotationKind::Brush}) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}

} // namespace AnnotationKinds

MarkupAnnotation::MarkupAnnotation(QUuid id, AnnotationKind kind, UnitPoint2D start, UnitPoint2D end, QString text,
                                   QString colorHex, double lineWidth, double fontSize,
                                   std::optional<UnitPoint2D> labelPosition, std::optional<double> labelWidth,
                                   double curveDirection, std::optional<qint64> sequenceNumber,
                                   QList<UnitPoint2D> points)
    : id(id)
    , kind(kind)
    , start(start)
    , end(end)
    , text(std::move(text))
    , colorHex(std::move(colorHex))
    , lineWidth(lineWidth)
    , fontSize(fontSize)
    , labelPosition(labelPosition)
    , labelWidth(labelWidth)
    , curveDirection(normalizedCurveDirection(curveDirection))
    , sequenceNumber(sequenceNumber)
    , points(std::move(points))
{
}

double MarkupAnnotation::normalizedCurveDirection(double direction)
{
    return direction >= 0 ? 1.0 : -1.0; // NaN compares false and becomes −1
}

MarkupAnnotation MarkupAnnotation::defaultText(UnitPoint2D at, const QString &text,
                                               std::optional<qint64> sequenceNumber)
{
    return MarkupAnnotation(QUuid::createUuid(), AnnotationKind::Text, at, at, text, QStringLiteral("#1E3A5F"), 3, 30,
                            std::nullopt, std::nullopt, 1, sequenceNumber, {});
}

bool MarkupAnnotation::shouldNumber() const
{
    return TextRules::hasVisibleText(text) || kind == AnnotationKind::Text;
}

QString MarkupAnnotation::displayText() const
{
    if (!sequenceNumber || !shouldNumber())
        return text;
    if (TextRules::hasVisibleText(text))
        return QString::number(*sequenceNumber) + QStringLiteral(". ") + text;
    return QString::number(*sequenceNumber) + QStringLiteral(".");
}

std::optional<QString> MarkupAnnotation::sequencePrefix() const
{
    if (!shouldNumber() || !sequenceNumber)
        return std::nullopt;
    return QString::number(*sequenceNumber) + QStringLiteral(".");
}

bool MarkupAnnotation::normalizeLegacyNumberedTextIfNeeded()
{
    if (sequenceNumber)
        return false;
    const QString trimmedText = TextRules::trimmed(text);
    const qsizetype dot = trimmedText.indexOf(u'.');
    if (dot <= 0)
        return false;
    const QString prefix = trimmedText.left(dot);
    for (const char32_t c : prefix.toUcs4()) {
        if (!TextRules::isNumericCharacter(c))
            return false;
    }
    const QString rest = TextRules::trimmed(trimmedText.mid(dot + 1));
    if (rest.isEmpty())
        return false;
    sequenceNumber = TextRules::parseAsciiDecimal(prefix);
    text = rest;
    return true;
}
