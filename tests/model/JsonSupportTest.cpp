#include <gtest/gtest.h>

#include "model/JsonSupport.h"

#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace {

Json::ObjectReader readerOf(const char *json)
{
    return Json::ObjectReader(Json::parseObject(QByteArray(json)));
}

} // namespace

TEST(JsonSupport, IntegersMustBeWholeNumbersOfTheRightType)
{
    const auto reader = readerOf(R"({"a": 5, "b": 5.0, "c": 5.5, "d": "5", "e": true, "f": -0,
                                     "g": 9223372036854775807, "h": 1e300, "n": null})");
    EXPECT_EQ(reader.integer("a"), 5);
    EXPECT_EQ(reader.integer("b"), 5);
    EXPECT_THROW(reader.integer("c"), Json::DecodeError);
    EXPECT_THROW(reader.integer("d"), Json::DecodeError);
    EXPECT_THROW(reader.integer("e"), Json::DecodeError);
    EXPECT_EQ(reader.integer("f"), 0);
    EXPECT_EQ(reader.integer("g"), std::numeric_limits<qint64>::max());
    EXPECT_THROW(reader.integer("h"), Json::DecodeError);
    // Null and missing are absent for optional members but fail required ones.
    EXPECT_FALSE(reader.optionalInteger("n").has_value());
    EXPECT_FALSE(reader.optionalInteger("missing").has_value());
    EXPECT_THROW(reader.integer("n"), Json::DecodeError);
    EXPECT_THROW(reader.optionalInteger("c"), Json::DecodeError);
}

TEST(JsonSupport, BooleansStringsAndNumbersAreNotConverted)
{
    const auto reader = readerOf(R"({"one": 1, "yes": true, "text": "x", "num": 2})");
    EXPECT_THROW(reader.boolean("one"), Json::DecodeError);
    EXPECT_TRUE(reader.boolean("yes"));
    EXPECT_THROW(reader.number("text"), Json::DecodeError);
    EXPECT_THROW(reader.string("num"), Json::DecodeError);
    EXPECT_THROW(reader.object("num"), Json::DecodeError);
}

TEST(JsonSupport, ErrorsNameTheKeyPath)
{
    const auto reader = readerOf(R"({"list": [{"x": 1}, {"x": "bad"}]})");
    try {
        reader.array("list", [](const QJsonValue &v, const QString &p) {
            return Json::ObjectReader(v, p).number("x");
        });
        FAIL() << "expected a decode error";
    } catch (const Json::DecodeError &error) {
        EXPECT_EQ(error.path(), QStringLiteral("list[1].x"));
    }
}

TEST(JsonSupport, UuidsInEitherCaseButOnlyTheCanonicalShape)
{
    const auto reader = readerOf(R"({"upper": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
                                     "lower": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f",
                                     "braces": "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",
                                     "short": "E621E1F8C36C495A93FC0C247A3E6E5F"})");
    EXPECT_EQ(reader.uuid("upper"), reader.uuid("lower"));
    EXPECT_THROW(reader.uuid("braces"), Json::DecodeError);
    EXPECT_THROW(reader.uuid("short"), Json::DecodeError);
}

TEST(JsonSupport, Base64IsStrict)
{
    EXPECT_EQ(Json::decodeBase64Strict(u"aGVsbG8="), QByteArray("hello"));
    EXPECT_EQ(Json::decodeBase64Strict(u""), QByteArray());
    EXPECT_FALSE(Json::decodeBase64Strict(u"aGVsbG8").has_value());      // padding missing
    EXPECT_FALSE(Json::decodeBase64Strict(u"aGVs\nbG8=").has_value());   // line break
    EXPECT_FALSE(Json::decodeBase64Strict(u"aGVs bG8=").has_value());    // space
    EXPECT_FALSE(Json::decodeBase64Strict(u"aG=sbG8=").has_value());     // padding inside
    EXPECT_FALSE(Json::decodeBase64Strict(u"aGVsbG8_").has_value());     // URL alphabet
    EXPECT_FALSE(Json::decodeBase64Strict(u"aGVsb===").has_value());     // three pads
    const QByteArray binary("\x00\xff\x10\x80", 4);
    EXPECT_EQ(Json::decodeBase64Strict(Json::base64Text(binary)), binary);
}

TEST(JsonSupport, NonFiniteNumbersAreRefusedOnWrite)
{
    EXPECT_THROW(Json::finiteNumber(std::nan(""), "a"), Json::EncodeError);
    EXPECT_THROW(Json::finiteNumber(INFINITY, "a"), Json::EncodeError);
    EXPECT_THROW(Json::finiteNumber(-INFINITY, "a"), Json::EncodeError);
    EXPECT_EQ(Json::finiteNumber(2.5, "a").toDouble(), 2.5);
}

TEST(JsonSupport, RootMustBeAnObject)
{
    EXPECT_THROW(Json::parseObject("[]"), Json::DecodeError);
    EXPECT_THROW(Json::parseObject("{\"a\": "), Json::DecodeError);
    EXPECT_THROW(Json::parseObject(""), Json::DecodeError);
    EXPECT_NO_THROW(Json::parseObject("{}"));
}
