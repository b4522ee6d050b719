#pragma once

#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

// A point in unit coordinates of an image: 0…1 across the displayed image, origin top left.
struct UnitPoint2D {
    double x = 0;
    double y = 0;

    UnitPoint2D() = default;
    // Clamps both coordinates into 0…1 (NaN becomes 0). Field assignment does not clamp.
    UnitPoint2D(double x, double y);

    // The point as fractions of the size, clamped; a size without area gives (0, 0).
    static UnitPoint2D fromPoint(QPointF point, QSizeF size);

    // (x × width, y × height), unclamped.
    QPointF toPoint(QSizeF size) const;

    // The point moved by (dx, dy) unit coordinates, clamped.
    UnitPoint2D translated(double dx, double dy) const;

    // Clamping into 0…1 as the initializers do it.
    static double clampUnit(double value);

    bool operator==(const UnitPoint2D &) const = default;
};

enum class AnnotationKind { Arrow, Text, Rectangle, Brush };

namespace AnnotationKinds {
QString rawValue(AnnotationKind kind);
std::optional<AnnotationKind> fromRawValue(const QString &raw);
} // namespace AnnotationKinds

// One mark on an image. All positions are unit coordinates of the image; sizes are thousandths of
// the image's long side (see MarkupGeometry).
struct MarkupAnnotation {
    QUuid id;
    AnnotationKind kind = AnnotationKind::Arrow;
    UnitPoint2D start;
    UnitPoint2D end;
    QString text;
    QString colorHex;
    double lineWidth = 0;
    double fontSize = 0;
    std::optional<UnitPoint2D> labelPosition;
    std::optional<double> labelWidth;
    double curveDirection = 1;
    std::optional<qint64> sequenceNumber;
    // A brush stroke's path. Shared between copies until one of them changes it, so an image's
    // undo step, which copies the annotation list, does not copy every stroke drawn on it.
    QList<UnitPoint2D> points;

    MarkupAnnotation() = default;
    // Stores every value unchanged except the curve direction, which becomes +1 for values ≥ 0 and
    // −1 otherwise (NaN included).
    MarkupAnnotation(QUuid id, AnnotationKind kind, UnitPoint2D start, UnitPoint2D end, QString text,
                     QString colorHex, double lineWidth, double fontSize,
                     std::optional<UnitPoint2D> labelPosition, std::optional<double> labelWidth,
                     double curveDirection, std::optional<qint64> sequenceNumber,
                     QList<UnitPoint2D> points);

    // A text label at a point with the default text style.
    static MarkupAnnotation defaultText(UnitPoint2D at, const QString &text,
                                        std::optional<qint64> sequenceNumber);

    // ±1 as the initializer reduces a direction.
    static double normalizedCurveDirection(double direction);

    // Whether the annotation takes part in numbering: visible text, or any text annotation.
    bool shouldNumber() const;
    // The label as drawn, with its number in front.
    QString displayText() const;
    // "N." when numbered.
    std::optional<QString> sequencePrefix() const;
    // Moves a number that older versions wrote into the text ("3. 标注文字") into sequenceNumber.
    // Returns whether anything changed.
    bool normalizeLegacyNumberedTextIfNeeded();

    bool operator==(const MarkupAnnotation &) const = default;
};
