#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"
#include "model/TextComparisonJson.h"

#include <QJsonDocument>

namespace {

QJsonObject markupJson()
{
    return QJsonDocument::fromJson(R"({"id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "sequenceNumber": 3,
        "location": -5, "length": -1, "note": "n", "highlight": true, "underline": false,
        "strikethrough": true, "extra": 1})")
        .object();
}

TextMarkupAnnotation markup(qint64 location, qint64 length, const QString &note)
{
    return TextMarkupAnnotation(QUuid::createUuid(), 99, location, length, note, false, "#FDE047", false, "#16A34A",
                                false);
}

} // namespace

TEST(TextComparisonJson, MarkupDefaultsAndClamping)
{
    const TextMarkupAnnotation read = TextComparisonJson::markupFromJson(markupJson(), "m");
    EXPECT_EQ(read.location, 0);
    EXPECT_EQ(read.length, 0);
    EXPECT_EQ(read.highlightColorHex, QStringLiteral("#FDE047"));
    EXPECT_EQ(read.underlineColorHex, QStringLiteral("#16A34A"));
    EXPECT_FALSE(read.nsRange(QStringLiteral("abc")).has_value());

    QJsonObject withNull = markupJson();
    withNull.insert("highlightColorHex", QJsonValue::Null);
    withNull.insert("underlineColorHex", "none");
    const TextMarkupAnnotation read2 = TextComparisonJson::markupFromJson(withNull, "m");
    EXPECT_EQ(read2.highlightColorHex, QStringLiteral("#FDE047"));
    EXPECT_EQ(read2.underlineColorHex, QStringLiteral("none"));

    // All ten keys are written, the colours included.
    const QJsonObject written = TextComparisonJson::toJson(read);
    EXPECT_EQ(written.size(), 10);
    EXPECT_EQ(written.value("highlightColorHex").toString(), QStringLiteral("#FDE047"));
    EXPECT_EQ(written.value("id").toString(), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
}

TEST(TextComparisonJson, RequiredKeysAndTypes)
{
    for (const char *key : {"id", "sequenceNumber", "location", "length", "note", "highlight", "underline",
                            "strikethrough"}) {
        QJsonObject object = markupJson();
        object.remove(key);
        EXPECT_THROW(TextComparisonJson::markupFromJson(object, "m"), Json::DecodeError) << key;
    }
    QJsonObject numericBool = markupJson();
    numericBool.insert("highlight", 1);
    EXPECT_THROW(TextComparisonJson::markupFromJson(numericBool, "m"), Json::DecodeError);
    QJsonObject fractional = markupJson();
    fractional.insert("location", 1.5);
    EXPECT_THROW(TextComparisonJson::markupFromJson(fractional, "m"), Json::DecodeError);

    const QJsonObject state{{"sourceName", "a.txt"}, {"originalText", "x"}, {"editedText", "y"},
                            {"annotations", QJsonArray{markupJson()}}};
    EXPECT_EQ(TextComparisonJson::stateFromJson(state, "t").annotations.size(), 1u);
    for (const char *key : {"sourceName", "originalText", "editedText", "annotations"}) {
        QJsonObject broken = state;
        broken.remove(key);
        EXPECT_THROW(TextComparisonJson::stateFromJson(broken, "t"), Json::DecodeError) << key;
    }
}

TEST(TextComparisonJson, StateRoundTrip)
{
    const TextComparisonState state("合同.docx", "原文 😀", std::nullopt,
                                    {markup(3, 2, "注释"), markup(0, 1, "")});
    EXPECT_EQ(state.editedText, state.originalText);
    EXPECT_EQ(TextComparisonJson::stateFromJson(TextComparisonJson::toJson(state), "t"), state);
}

TEST(TextComparisonNormalization, SortsStablyAndNumbersVisibleNotes)
{
    TextComparisonState state("s", "o", QStringLiteral("e"), {});
    const TextMarkupAnnotation a = markup(5, 2, "late");
    const TextMarkupAnnotation b = markup(1, 3, " \n ");
    const TextMarkupAnnotation c = markup(1, 1, "first");
    const TextMarkupAnnotation d = markup(1, 3, "tie keeps order");
    state.annotations = {a, b, c, d};

    const TextComparisonState normalized = MarkupViewModel::normalizedTextComparison(state);
    ASSERT_EQ(normalized.annotations.size(), 4u);
    EXPECT_EQ(normalized.annotations[0].id, c.id);
    EXPECT_EQ(normalized.annotations[1].id, b.id);
    EXPECT_EQ(normalized.annotations[2].id, d.id);
    EXPECT_EQ(normalized.annotations[3].id, a.id);
    EXPECT_EQ(normalized.annotations[0].sequenceNumber, 1);
    EXPECT_EQ(normalized.annotations[1].sequenceNumber, 0);
    EXPECT_EQ(normalized.annotations[2].sequenceNumber, 2);
    EXPECT_EQ(normalized.annotations[3].sequenceNumber, 3);
    EXPECT_EQ(normalized.editedText, QStringLiteral("e"));
}
