#include "model/MarkupProjectDocument.h"

#include "model/JsonSupport.h"
#include "model/MarkupAnnotationJson.h"
#include "model/TextComparisonJson.h"
#include "model/UuidText.h"
#include "platform/NewFile.h"

#include <QFileInfo>

MarkupProjectError MarkupProjectError::imageDecodingFailed(const QString &fileName)
{
    return {Kind::ImageDecodingFailed, fileName, QString(), QString(), 0};
}

MarkupProjectError MarkupProjectError::imageTooLarge(const QString &fileName)
{
    return {Kind::ImageTooLarge, fileName, QString(), QString(), 0};
}

MarkupProjectError MarkupProjectError::fileReadFailed(const QString &fileName)
{
    return {Kind::FileReadFailed, fileName, QString(), QString(), 0};
}

MarkupProjectError MarkupProjectError::fileWriteFailed(const QString &fileName)
{
    return {Kind::FileWriteFailed, fileName, QString(), QString(), 0};
}

MarkupProjectError MarkupProjectError::fileWriteFailed(const QString &path, int errorNumber)
{
    return {Kind::FileWriteFailed, QFileInfo(path).fileName(), QString(), path, errorNumber};
}

MarkupProjectError MarkupProjectError::notAProject(const QString &fileName)
{
    MarkupProjectError error;
    error.kind = Kind::NotAProject;
    error.fileName = fileName;
    return error;
}

QString MarkupProjectError::description() const
{
    switch (kind) {
    case Kind::ImageDecodingFailed:
        return QStringLiteral("无法读取项目中的图片：") + fileName;
    case Kind::ImageTooLarge:
        return QStringLiteral("项目中的图片过大，无法打开：") + fileName;
    case Kind::FileReadFailed:
        return QStringLiteral("无法读取文件：") + fileName;
    case Kind::FileWriteFailed:
        if (errorNumber != 0)
            return NewFiles::failureText(path, errorNumber);
        return QStringLiteral("无法写入文件：") + fileName;
    case Kind::UnreadableDocument:
        return fileName.isEmpty() ? QStringLiteral("未能读取数据，因为它的格式不正确。")
                                  : QStringLiteral("无法打开“") + fileName + QStringLiteral("”：它不是Kivora项目文件，或内容已损坏。");
    case Kind::UnwritableDocument:
        return QStringLiteral("未能写入数据，因为它的格式不正确。");
    case Kind::FileTooLarge:
        return QStringLiteral("项目文件过大，无法打开");
    case Kind::NotAProject:
        return fileName.isEmpty() ? QStringLiteral("这个文件不是Kivora项目文件，未打开。")
                                  : QStringLiteral("“") + fileName + QStringLiteral("”不是Kivora项目文件，未打开。");
    }
    return QString();
}

namespace {

QJsonObject comparisonImageJson(const MarkupProjectComparisonImage &image, const QString &path)
{
    QJsonObject object;
    object.insert(QStringLiteral("fileName"), image.fileName);
    object.insert(QStringLiteral("imageData"), Json::base64Text(image.imageData));
    object.insert(QStringLiteral("pixelWidth"),
                  Json::finiteNumber(image.pixelWidth, Json::memberPath(path, QStringLiteral("pixelWidth"))));
    object.insert(QStringLiteral("pixelHeight"),
                  Json::finiteNumber(image.pixelHeight, Json::memberPath(path, QStringLiteral("pixelHeight"))));
    return object;
}

QJsonObject pairJson(const MarkupProjectComparisonPair &pair, const QString &path)
{
    QJsonObject object;
    object.insert(QStringLiteral("id"), UuidText::toString(pair.id));
    object.insert(QStringLiteral("before"),
                  comparisonImageJson(pair.before, Json::memberPath(path, QStringLiteral("before"))));
    object.insert(QStringLiteral("after"),
                  comparisonImageJson(pair.after, Json::memberPath(path, QStringLiteral("after"))));
    return object;
}

QJsonObject imageJson(const MarkupProjectImage &image, const QString &path)
{
    QJsonObject object;
    object.insert(QStringLiteral("id"), UuidText::toString(image.id));
    object.insert(QStringLiteral("fileName"), image.fileName);
    if (image.sourcePath)
        object.insert(QStringLiteral("sourcePath"), *image.sourcePath);
    object.insert(QStringLiteral("imageData"), Json::base64Text(image.imageData));
    object.insert(QStringLiteral("pixelWidth"),
                  Json::finiteNumber(image.pixelWidth, Json::memberPath(path, QStringLiteral("pixelWidth"))));
    object.insert(QStringLiteral("pixelHeight"),
                  Json::finiteNumber(image.pixelHeight, Json::memberPath(path, QStringLiteral("pixelHeight"))));
    QJsonArray annotations;
    const QString annotationsPath = Json::memberPath(path, QStringLiteral("annotations"));
    for (size_t i = 0; i < image.annotations.size(); ++i)
        annotations.append(
            MarkupAnnotationJson::toJson(image.annotations[i], Json::elementPath(annotationsPath, qsizetype(i))));
    object.insert(QStringLiteral("annotations"), annotations);
    if (image.savedPath)
        object.insert(QStringLiteral("savedPath"), *image.savedPath);
    return object;
}

MarkupProjectComparisonImage comparisonImageFromJson(const QJsonValue &value, const QString &path)
{
    const Json::ObjectReader reader(value, path);
    MarkupProjectComparisonImage image;
    image.fileName = reader.string(QStringLiteral("fileName"));
    image.imageData = reader.base64(QStringLiteral("imageData"));
    image.pixelWidth = reader.number(QStringLiteral("pixelWidth"));
    image.pixelHeight = reader.number(QStringLiteral("pixelHeight"));
    return image;
}

MarkupProjectComparisonPair pairFromJson(const QJsonValue &value, const QString &path)
{
    const Json::ObjectReader reader(value, path);
    MarkupProjectComparisonPair pair;
    // Older files may lack the id: each read then makes a new one.
    pair.id = reader.optionalUuid(QStringLiteral("id")).value_or(QUuid::createUuid());
    pair.before = comparisonImageFromJson(reader.required(QStringLiteral("before")), reader.pathOf(QStringLiteral("before")));
    pair.after = comparisonImageFromJson(reader.required(QStringLiteral("after")), reader.pathOf(QStringLiteral("after")));
    return pair;
}

MarkupProjectImage imageFromJson(const QJsonValue &value, const QString &path)
{
    const Json::ObjectReader reader(value, path);
    MarkupProjectImage image;
    image.id = reader.uuid(QStringLiteral("id"));
    image.fileName = reader.string(QStringLiteral("fileName"));
    image.sourcePath = reader.optionalString(QStringLiteral("sourcePath"));
    image.imageData = reader.base64(QStringLiteral("imageData"));
    image.pixelWidth = reader.number(QStringLiteral("pixelWidth"));
    image.pixelHeight = reader.number(QStringLiteral("pixelHeight"));
    // Required even though it may be empty.
    image.annotations = reader.array(QStringLiteral("annotations"), MarkupAnnotationJson::fromJson);
    image.savedPath = reader.optionalString(QStringLiteral("savedPath"));
    return image;
}

} // namespace

std::vector<MarkupProjectComparisonPair> MarkupProjectDocument::pairsToRestore() const
{
    if (!comparisonPairs.empty())
        return comparisonPairs;
    if (comparisonPair)
        return {*comparisonPair};
    return {};
}

std::variant<QByteArray, MarkupProjectError> MarkupProjectDocument::encode() const
{
    try {
        QJsonObject root;
        root.insert(QStringLiteral("version"), QJsonValue(version));
        QJsonArray imageArray;
        for (size_t i = 0; i < images.size(); ++i)
            imageArray.append(imageJson(images[i], Json::elementPath(QStringLiteral("images"), qsizetype(i))));
        root.insert(QStringLiteral("images"), imageArray);
        if (comparisonPair)
            root.insert(QStringLiteral("comparisonPair"), pairJson(*comparisonPair, QStringLiteral("comparisonPair")));
        QJsonArray pairArray;
        for (size_t i = 0; i < comparisonPairs.size(); ++i)
            pairArray.append(
                pairJson(comparisonPairs[i], Json::elementPath(QStringLiteral("comparisonPairs"), qsizetype(i))));
        root.insert(QStringLiteral("comparisonPairs"), pairArray);
        if (textComparison)
            root.insert(QStringLiteral("textComparison"), TextComparisonJson::toJson(*textComparison));
        // QJsonObject keeps its members sorted by key, so the pretty text has sorted keys.
        return Json::prettyText(root);
    } catch (const Json::EncodeError &error) {
        return MarkupProjectError{MarkupProjectError::Kind::UnwritableDocument, QString(), error.path(), QString(), 0};
    }
}

std::variant<MarkupProjectDocument, MarkupProjectError> MarkupProjectDocument::decode(const QByteArray &bytes)
{
    try {
        const Json::ObjectReader reader(Json::parseObject(bytes));
        // The version alone says nothing: many programs' JSON carries one.
        const bool holdsProjectContent = reader.has(QStringLiteral("images")) || reader.has(QStringLiteral("comparisonPairs"))
            || reader.has(QStringLiteral("comparisonPair")) || reader.has(QStringLiteral("textComparison"));
        if (!holdsProjectContent)
            return MarkupProjectError::notAProject(QString());
        MarkupProjectDocument document;
        // Any integer is accepted; nothing depends on the version.
        document.version = reader.optionalInteger(QStringLiteral("version")).value_or(1);
        document.images = reader.optionalArray(QStringLiteral("images"), imageFromJson)
                              .value_or(std::vector<MarkupProjectImage>{});
        // Decoded whenever present, so a malformed legacy pair fails the file even when the list
        // of pairs wins.
        if (const auto pair = reader.optional(QStringLiteral("comparisonPair")))
            document.comparisonPair = pairFromJson(*pair, QStringLiteral("comparisonPair"));
        document.comparisonPairs = reader.optionalArray(QStringLiteral("comparisonPairs"), pairFromJson)
                                       .value_or(std::vector<MarkupProjectComparisonPair>{});
        if (const auto text = reader.optional(QStringLiteral("textComparison")))
            document.textComparison = TextComparisonJson::stateFromJson(*text, QStringLiteral("textComparison"));
        return document;
    } catch (const Json::DecodeError &error) {
        const QString where = error.path().isEmpty() ? error.message() : error.path() + QStringLiteral(": ") + error.message();
        return MarkupProjectError{MarkupProjectError::Kind::UnreadableDocument, QString(), where, QString(), 0};
    }
}
