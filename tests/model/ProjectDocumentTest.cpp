#include <gtest/gtest.h>

#include "model/JsonSupport.h"
#include "model/MarkupProjectDocument.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

std::optional<MarkupProjectDocument> read(const QByteArray &json, MarkupProjectError *error = nullptr)
{
    auto result = MarkupProjectDocument::decode(json);
    if (auto *document = std::get_if<MarkupProjectDocument>(&result))
        return *document;
    if (error)
        *error = std::get<MarkupProjectError>(result);
    return std::nullopt;
}

QByteArray write(const MarkupProjectDocument &document)
{
    auto result = document.encode();
    EXPECT_TRUE(std::holds_alternative<QByteArray>(result));
    return std::holds_alternative<QByteArray>(result) ? std::get<QByteArray>(result) : QByteArray();
}

const char *comparisonImage = R"({"fileName": "b.png", "imageData": "iVBORw==", "pixelWidth": 10, "pixelHeight": 5})";

QByteArray pairJson(const char *id = nullptr)
{
    QByteArray json = "{";
    if (id)
        json += QByteArray("\"id\": \"") + id + "\", ";
    return json + "\"before\": " + comparisonImage + ", \"after\": " + comparisonImage + "}";
}

QByteArray imageJson(const QByteArray &extra)
{
    return R"({"id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "fileName": "a.png", "imageData": "AAEC",
               "pixelWidth": 3, "pixelHeight": 2)"
        + extra + "}";
}

MarkupProjectDocument fullDocument()
{
    MarkupProjectDocument document;
    MarkupProjectImage image;
    image.id = QUuid::createUuid();
    image.fileName = "图.png";
    image.sourcePath = "/home/u/图.png";
    image.imageData = QByteArray("\x89PNG\x00\xff", 6);
    image.pixelWidth = 4000;
    image.pixelHeight = 3000.5;
    image.annotations = {MarkupAnnotation::defaultText(UnitPoint2D(0.5, 0.5), "标注文字", 1)};
    document.images = {image};
    MarkupProjectComparisonPair pair{QUuid::createUuid(), {"b.png", "bb", 1, 2}, {"a.png", "aa", 3, 4}};
    document.comparisonPairs = {pair};
    TextMarkupAnnotation markup(QUuid::createUuid(), 1, 2, 3, "注", true, "none", false, "#16A34A", true);
    document.textComparison = TextComparisonState("合同.docx", "原文", QStringLiteral("改文"), {markup});
    return document;
}

} // namespace

TEST(MarkupProjectDocument, OnlyAProjectsContentsMakeAProject)
{
    // Another program's JSON, a version alone (many formats carry one) or only null members: not
    // a project, whatever else the object holds.
    for (const QByteArray &json : {QByteArray("{}"), QByteArray(R"({"name": "other"})"), QByteArray(R"({"version": 7})"),
                                  QByteArray(R"({"version": 1, "name": "x", "images": null, "textComparison": null})")}) {
        SCOPED_TRACE(json.toStdString());
        MarkupProjectError error;
        EXPECT_FALSE(read(json, &error));
        EXPECT_EQ(error.kind, MarkupProjectError::Kind::NotAProject);
    }
    EXPECT_EQ(MarkupProjectError::notAProject(QStringLiteral("other.json")).description(),
              QStringLiteral("“other.json”不是Kivora项目文件，未打开。"));

    // Any one of the contents is enough: the saver's lists, a text comparison, a legacy pair.
    const auto lists = read(R"({"version": 7, "images": [], "comparisonPairs": [], "name": "ignored"})");
    ASSERT_TRUE(lists);
    EXPECT_EQ(lists->version, 7);
    EXPECT_TRUE(lists->images.empty() && lists->comparisonPairs.empty());
    EXPECT_FALSE(lists->comparisonPair || lists->textComparison);
    EXPECT_EQ(read(R"({"images": []})")->version, 1);
    EXPECT_TRUE(read("{\"comparisonPair\": " + pairJson() + "}")->comparisonPair);
    EXPECT_TRUE(read(R"({"textComparison": {"sourceName": "a.txt", "originalText": "", "editedText": "",
                                            "annotations": []}})")->textComparison);
    EXPECT_TRUE(read(write(MarkupProjectDocument())));
}

TEST(MarkupProjectDocument, RoundTripWithSortedKeysAndUpperCaseIds)
{
    const MarkupProjectDocument document = fullDocument();
    const QByteArray bytes = write(document);
    EXPECT_EQ(read(bytes), document);

    const QString text = QString::fromUtf8(bytes);
    EXPECT_TRUE(text.contains(QStringLiteral("合同.docx"))); // UTF-8, not escaped
    EXPECT_TRUE(text.contains(document.images[0].id.toString(QUuid::WithoutBraces).toUpper()));
    EXPECT_FALSE(text.contains(document.images[0].id.toString(QUuid::WithoutBraces)));
    const qsizetype pairs = text.indexOf("\"comparisonPairs\""), images = text.indexOf("\"images\""),
                    textComparison = text.indexOf("\"textComparison\""), version = text.indexOf("\"version\"");
    EXPECT_TRUE(pairs < images && images < textComparison && textComparison < version);
    const qsizetype annotations = text.indexOf("\"annotations\""), fileName = text.indexOf("\"fileName\"", annotations),
                    savedOrSource = text.indexOf("\"sourcePath\"");
    EXPECT_TRUE(annotations < fileName && fileName < savedOrSource);
    EXPECT_TRUE(text.contains('\n')); // pretty-printed
}

TEST(MarkupProjectDocument, SaverShapeWithoutTextComparison)
{
    const QJsonObject root = QJsonDocument::fromJson(write(MarkupProjectDocument())).object();
    EXPECT_EQ(root.keys(), (QStringList{"comparisonPairs", "images", "version"}));
    EXPECT_EQ(root.value("version").toInteger(), 1);
}

TEST(MarkupProjectDocument, LegacySinglePair)
{
    const QByteArray id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
    const auto legacy = read("{\"comparisonPairs\": [], \"comparisonPair\": " + pairJson(id) + "}");
    ASSERT_TRUE(legacy);
    ASSERT_EQ(legacy->pairsToRestore().size(), 1u);
    EXPECT_EQ(legacy->pairsToRestore()[0].id, QUuid::fromString(QString::fromLatin1(id)));

    const auto listWins = read("{\"comparisonPairs\": [" + pairJson() + ", " + pairJson() + "], \"comparisonPair\": "
                               + pairJson(id) + "}");
    ASSERT_TRUE(listWins);
    EXPECT_EQ(listWins->pairsToRestore().size(), 2u);

    // A malformed legacy pair fails the file even when the list wins.
    EXPECT_FALSE(read("{\"comparisonPairs\": [" + pairJson() + "], \"comparisonPair\": {\"before\": 1}}"));

    // Without an id each read makes a new one.
    const QByteArray noId = "{\"comparisonPairs\": [" + pairJson() + "]}";
    EXPECT_NE(read(noId)->comparisonPairs[0].id, read(noId)->comparisonPairs[0].id);
    EXPECT_FALSE(read(noId)->comparisonPairs[0].id.isNull());
}

TEST(MarkupProjectDocument, ImageMembers)
{
    const auto nullPath = read("{\"images\": [" + imageJson(R"(, "annotations": [], "sourcePath": null)") + "]}");
    ASSERT_TRUE(nullPath);
    EXPECT_FALSE(nullPath->images[0].sourcePath.has_value());
    EXPECT_EQ(nullPath->images[0].imageData, QByteArray("\x00\x01\x02", 3));

    MarkupProjectError error;
    EXPECT_FALSE(read("{\"images\": [" + imageJson("") + "]}", &error)); // annotations required
    EXPECT_EQ(error.kind, MarkupProjectError::Kind::UnreadableDocument);
    EXPECT_TRUE(error.detail.contains(QStringLiteral("images[0].annotations"))) << error.detail.toStdString();
    EXPECT_EQ(error.description(), QStringLiteral("未能读取数据，因为它的格式不正确。"));
}

TEST(MarkupProjectDocument, AnyMalformedMemberFailsTheWholeFile)
{
    const QByteArray bad[] = {
        "",
        "[]",
        "{\"version\": 1.5}",
        "{\"version\": \"1\"}",
        "{\"images\": {}}",
        "{\"images\": [" + imageJson(R"(, "annotations": [], "imageData": "AAE\nC")") + "]}",
        "{\"images\": [" + imageJson(R"(, "annotations": [], "imageData": "AAE")") + "]}",
        "{\"images\": [" + imageJson(R"(, "annotations": [], "pixelWidth": "3")") + "]}",
        "{\"images\": [" + imageJson(R"(, "annotations": [], "id": "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}")") + "]}",
        "{\"images\": [" + imageJson(R"(, "annotations": [{"kind": "arrow"}])") + "]}",
        R"({"comparisonPairs": [{"before": {"fileName": "a", "imageData": "", "pixelWidth": 1}}]})",
        R"({"textComparison": {"sourceName": "a", "originalText": "", "editedText": ""}})",
        R"({"textComparison": {"sourceName": "a", "originalText": "", "editedText": "", "annotations": [{}]}})",
    };
    for (const QByteArray &json : bad)
        EXPECT_FALSE(read(json).has_value()) << json.toStdString();
}

TEST(MarkupProjectDocument, TextMarkupLeniency)
{
    const auto document = read(R"({"textComparison": {"sourceName": "a", "originalText": "x", "editedText": "y",
        "annotations": [{"id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "sequenceNumber": 0, "location": -5,
        "length": 2, "note": "", "highlight": false, "underline": true, "strikethrough": false}]}})");
    ASSERT_TRUE(document && document->textComparison);
    EXPECT_EQ(document->textComparison->annotations[0].location, 0);
    EXPECT_EQ(document->textComparison->annotations[0].highlightColorHex, QStringLiteral("#FDE047"));
}

TEST(MarkupProjectDocument, NonFiniteNumbersFailTheWrite)
{
    MarkupProjectDocument document = fullDocument();
    document.images[0].pixelWidth = std::nan("");
    auto result = document.encode();
    ASSERT_TRUE(std::holds_alternative<MarkupProjectError>(result));
    EXPECT_EQ(std::get<MarkupProjectError>(result).kind, MarkupProjectError::Kind::UnwritableDocument);
    EXPECT_EQ(std::get<MarkupProjectError>(result).detail, QStringLiteral("images[0].pixelWidth"));

    document = fullDocument();
    document.images[0].annotations[0].start.x = INFINITY;
    EXPECT_TRUE(std::holds_alternative<MarkupProjectError>(document.encode()));
    document = fullDocument();
    document.comparisonPairs[0].after.pixelHeight = -INFINITY;
    EXPECT_TRUE(std::holds_alternative<MarkupProjectError>(document.encode()));
}

TEST(MarkupProjectError, ChineseDescriptions)
{
    EXPECT_EQ(MarkupProjectError::imageDecodingFailed("a.png").description(), QStringLiteral("无法读取项目中的图片：a.png"));
    EXPECT_EQ(MarkupProjectError::fileReadFailed("p.kivo").description(), QStringLiteral("无法读取文件：p.kivo"));
    EXPECT_EQ(MarkupProjectError::fileWriteFailed("p.kivo").description(), QStringLiteral("无法写入文件：p.kivo"));
}

TEST(MarkupProjectDocument, StructureTooLargeToHoldIsRefusedBeforeParsing)
{
    // Millions of tiny arrays under a key nobody reads would take some 44 bytes a byte to parse.
    QByteArray arrays = "{\"version\": 1, \"images\": [], \"extra\": [";
    const qint64 count = Json::maxParsedStructureBytes / 160;
    arrays.reserve(arrays.size() + count * 4 + 8);
    for (qint64 k = 0; k < count; ++k)
        arrays += "[0],";
    arrays += "[0]]}";
    MarkupProjectError error;
    EXPECT_FALSE(read(arrays, &error));
    EXPECT_EQ(error.description(), QStringLiteral("未能读取数据，因为它的格式不正确。"));
    arrays.clear();

    // Strings of any length and content are not structure: escaped quotes and backslashes inside
    // them, and brackets by the million.
    const QByteArray brackets(count, '[');
    const auto large = read("{\"images\": [" + imageJson(R"(, "annotations": [], "savedPath": "a\\\"b\\\\", "sourcePath": ")"
                                                         + brackets + "\"") + "]}");
    ASSERT_TRUE(large);
    EXPECT_EQ(large->images[0].savedPath, QStringLiteral(R"(a\"b\\)"));
    EXPECT_EQ(large->images[0].sourcePath->size(), count);
}
