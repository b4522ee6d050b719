#include <gtest/gtest.h>

#include "model/MarkupAnnotation.h"
#include "model/MarkupAnnotationJson.h"

#include <QJsonDocument>

#include <cmath>

namespace {

MarkupAnnotation annotation(AnnotationKind kind, const QString &text, std::optional<qint64> number)
{
    return MarkupAnnotation(QUuid::createUuid(), kind, UnitPoint2D(0.1, 0.2), UnitPoint2D(0.3, 0.4), text,
                            "#DC2626", 4, 26, std::nullopt, std::nullopt, 1, number, {});
}

MarkupAnnotation decode(const QByteArray &json)
{
    return MarkupAnnotationJson::fromJson(QJsonDocument::fromJson(json).object(), QString());
}

const QByteArray minimalJson = R"({"id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "kind": "arrow",
    "start": {"x": 0.1, "y": 1.5}, "end": {"x": -0.2, "y": 0.5}, "text": "a", "colorHex": "#DC2626",
    "lineWidth": 4, "fontSize": 26, "unknownKey": [1, 2]})";

} // namespace

TEST(UnitPoint2D, ClampsOnConstructionAndTranslation)
{
    EXPECT_EQ(UnitPoint2D(-0.2, 1.7), UnitPoint2D(0, 1));
    EXPECT_EQ(UnitPoint2D(std::nan(""), 0.5), UnitPoint2D(0, 0.5));
    EXPECT_EQ(UnitPoint2D::fromPoint(QPointF(50, 25), QSizeF(100, 0)), UnitPoint2D(0, 0));
    EXPECT_EQ(UnitPoint2D(0.8, 0.5).translated(0.5, -2), UnitPoint2D(1, 0));
    EXPECT_EQ(UnitPoint2D(0.25, 0.5).toPoint(QSizeF(400, 300)), QPointF(100, 150));
}

TEST(MarkupAnnotation, CurveDirectionIsReducedOnlyByTheInitializer)
{
    auto make = [](double direction) {
        return MarkupAnnotation(QUuid(), AnnotationKind::Arrow, {}, {}, "", "", 1, 1, std::nullopt, std::nullopt,
                                direction, std::nullopt, {});
    };
    EXPECT_EQ(make(0).curveDirection, 1);
    EXPECT_EQ(make(-0.3).curveDirection, -1);
    EXPECT_EQ(make(std::nan("")).curveDirection, -1);
}

TEST(MarkupAnnotation, NumberingAndDisplayText)
{
    // A blank label on a shape carries no number.
    EXPECT_EQ(annotation(AnnotationKind::Arrow, "  ", 2).displayText(), QStringLiteral("  "));
    EXPECT_FALSE(annotation(AnnotationKind::Arrow, "  ", 2).sequencePrefix().has_value());
    // A blank text annotation shows the number alone.
    EXPECT_EQ(annotation(AnnotationKind::Text, "", 2).displayText(), QStringLiteral("2."));
    EXPECT_EQ(annotation(AnnotationKind::Text, "", 2).sequencePrefix(), QStringLiteral("2."));
    // The stored text is shown untrimmed after the prefix.
    EXPECT_EQ(annotation(AnnotationKind::Arrow, " a", 2).displayText(), QStringLiteral("2.  a"));
    EXPECT_EQ(annotation(AnnotationKind::Rectangle, "标注文字", 3).displayText(), QStringLiteral("3. 标注文字"));
    EXPECT_EQ(annotation(AnnotationKind::Rectangle, "标注文字", std::nullopt).displayText(), QStringLiteral("标注文字"));
    // Line breaks and ideographic spaces count as white space.
    EXPECT_FALSE(annotation(AnnotationKind::Brush, "\n\u3000\t", 1).shouldNumber());
    EXPECT_TRUE(annotation(AnnotationKind::Text, "\n", std::nullopt).shouldNumber());
}

TEST(MarkupAnnotation, LegacyNumberedTextRepair)
{
    auto repaired = [](const QString &text, std::optional<qint64> number = std::nullopt) {
        MarkupAnnotation a = annotation(AnnotationKind::Arrow, text, number);
        const bool changed = a.normalizeLegacyNumberedTextIfNeeded();
        return std::make_tuple(changed, a.sequenceNumber, a.text);
    };
    EXPECT_EQ(repaired(" 12. 门 "), std::make_tuple(true, std::optional<qint64>(12), QStringLiteral("门")));
    EXPECT_EQ(repaired("3.  标注文字"), std::make_tuple(true, std::optional<qint64>(3), QStringLiteral("标注文字")));
    EXPECT_EQ(repaired("1.2.3 x"), std::make_tuple(true, std::optional<qint64>(1), QStringLiteral("2.3 x")));
    // Already numbered: untouched.
    EXPECT_EQ(repaired("3.  标注文字", 5), std::make_tuple(false, std::optional<qint64>(5), QStringLiteral("3.  标注文字")));
    // Not a legacy number.
    for (const char *text : {"12.", "a. b", "1 . x", ". x", "no dot"})
        EXPECT_FALSE(std::get<0>(repaired(QString::fromUtf8(text)))) << text;
    // Numerals that are not ASCII digits: the text is repaired, the number stays absent.
    EXPECT_EQ(repaired("３. 标注文字"), std::make_tuple(true, std::optional<qint64>(), QStringLiteral("标注文字")));
    EXPECT_EQ(repaired("三. x"), std::make_tuple(true, std::optional<qint64>(), QStringLiteral("x")));
    EXPECT_EQ(repaired("99999999999999999999. x"), std::make_tuple(true, std::optional<qint64>(), QStringLiteral("x")));
}

TEST(MarkupAnnotationJson, OptionalMembersDefaultAndAreOmittedOnWrite)
{
    const MarkupAnnotation read = decode(minimalJson);
    EXPECT_TRUE(read.points.empty());
    EXPECT_EQ(read.curveDirection, 1);
    EXPECT_FALSE(read.labelPosition || read.labelWidth || read.sequenceNumber);
    // Coordinates are kept as stored, not clamped.
    EXPECT_EQ(read.start.y, 1.5);
    EXPECT_EQ(read.end.x, -0.2);

    const QJsonObject written = MarkupAnnotationJson::toJson(read);
    EXPECT_FALSE(written.contains("labelPosition"));
    EXPECT_FALSE(written.contains("labelWidth"));
    EXPECT_FALSE(written.contains("sequenceNumber"));
    EXPECT_EQ(written.value("curveDirection").toDouble(), 1);
    EXPECT_TRUE(written.value("points").isArray());
    EXPECT_EQ(written.value("id").toString(), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
}

TEST(MarkupAnnotationJson, RoundTripKeepsEveryField)
{
    MarkupAnnotation original(QUuid::createUuid(), AnnotationKind::Brush, UnitPoint2D(0.1, 0.2),
                              UnitPoint2D(0.3, 0.4), "笔 \n two", "#123456", 3.25, 17.5, UnitPoint2D(0.5, 0.6), 120.5,
                              -1, 7, {UnitPoint2D(0.1, 0.1), UnitPoint2D(0.2, 0.3)});
    original.curveDirection = 0.3; // field assignment keeps the raw value
    const QJsonObject json = MarkupAnnotationJson::toJson(original);
    EXPECT_EQ(MarkupAnnotationJson::fromJson(json, QString()), original);
}

TEST(MarkupAnnotationJson, StrictMembersFailTheDecode)
{
    QJsonObject base = QJsonDocument::fromJson(minimalJson).object();
    auto failsWith = [&base](const QString &key, const QJsonValue &value) {
        QJsonObject changed = base;
        if (value.isUndefined())
            changed.remove(key);
        else
            changed.insert(key, value);
        try {
            MarkupAnnotationJson::fromJson(changed, QString());
        } catch (const Json::DecodeError &) {
            return true;
        }
        return false;
    };
    for (const char *key : {"id", "kind", "start", "end", "text", "colorHex", "lineWidth", "fontSize"})
        EXPECT_TRUE(failsWith(key, QJsonValue::Undefined)) << key;
    EXPECT_TRUE(failsWith("kind", "Arrow"));
    EXPECT_TRUE(failsWith("id", "not-a-uuid"));
    EXPECT_TRUE(failsWith("start", QJsonObject{{"x", 1}}));
    EXPECT_TRUE(failsWith("sequenceNumber", 1.5));
    EXPECT_TRUE(failsWith("sequenceNumber", "1"));
    EXPECT_TRUE(failsWith("points", QJsonArray{1}));
    EXPECT_FALSE(failsWith("sequenceNumber", QJsonValue::Null));
    EXPECT_FALSE(failsWith("labelPosition", QJsonValue::Null));
}

TEST(MarkupAnnotationJson, NonFiniteNumbersFailTheWrite)
{
    MarkupAnnotation a = annotation(AnnotationKind::Brush, "", std::nullopt);
    a.points = {UnitPoint2D(0.1, 0.1)};
    a.points[0].y = INFINITY;
    EXPECT_THROW(MarkupAnnotationJson::toJson(a), Json::EncodeError);
    a.points.clear();
    a.labelWidth = std::nan("");
    EXPECT_THROW(MarkupAnnotationJson::toJson(a), Json::EncodeError);
}
