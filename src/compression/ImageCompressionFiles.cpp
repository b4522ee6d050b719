#include "compression/ImageCompressionService.h"

#include "compression/OutputFilePlacement.h"
#include "model/TextRules.h"
#include "model/UuidText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>

// Output names, temporary files, the copy into place and file sizes.
namespace ImageCompressionService {

namespace {

// The name without its last extension ("a.tar.gz" → "a.tar", ".hidden" stays ".hidden").
QString removingLastExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return fileName;
    return fileName.left(dot);
}

// base + "-压缩.jpg", "-压缩-2.jpg", …, the base shortened so that the name fits the file system:
// a source whose own name is near the limit still gets its output.
QString candidateName(const QString &base, int number, const QString &fileExtension)
{
    const QString numbering = number == 1 ? QString() : QLatin1Char('-') + QString::number(number);
    return NewFiles::fittedName(base, QStringLiteral("-压缩") + numbering + QLatin1Char('.') + fileExtension);
}

} // namespace

OutputType outputType(const QString &path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    return type.name() == QLatin1String("image/png") ? OutputType::png : OutputType::jpeg;
}

QString fileExtension(OutputType type)
{
    return type == OutputType::png ? QStringLiteral("png") : QStringLiteral("jpg");
}

QString temporaryFolder()
{
    const QString path = QDir::tempPath();
    if (!path.isEmpty())
        return path;
    const QString configured = qEnvironmentVariable("TMPDIR");
    return configured.isEmpty() ? QStringLiteral("/tmp") : QDir::cleanPath(QDir(configured).absolutePath());
}

QString temporaryOutputURL(const QString &fileExtension)
{
    return QDir(temporaryFolder())
        .filePath(QStringLiteral("kivo-compression-") + UuidText::toString(QUuid::createUuid()) + QLatin1Char('.')
                  + fileExtension);
}

QString outputBaseName(const QString &sourcePath)
{
    const QString base = TextRules::trimmed(removingLastExtension(QFileInfo(sourcePath).fileName()));
    return base.isEmpty() ? QStringLiteral("图片") : base;
}

QString outputURL(const QString &sourcePath, const QString &destinationDirectory, const QString &fileExtension)
{
    const QDir folder(destinationDirectory);
    const QString base = outputBaseName(sourcePath);
    for (int number = 1;; ++number) {
        const QString candidate = folder.filePath(candidateName(base, number, fileExtension));
        if (!NewFiles::isTaken(candidate))
            return candidate;
    }
}

QString outputNamePath(const ImageCompressionSource &source)
{
    // A crop lives under a temporary name; the user knows it by the name the list shows.
    if (!source.fileName.isEmpty() && isCropFile(source.url))
        return source.fileName;
    return source.url;
}

ImageCompressionResult deliverOutput(const ImageCompressionSource &source, const QString &chosenPath,
                                     bool usedOriginalCopy, const DeliveredOutput &output,
                                     const QString &destinationDirectory, const QString &fileExtension)
{
    if (OutputTurn *turn = OutputTurn::current())
        turn->wait();
    const QString finalPath
        = copyToFreeOutputName(chosenPath, outputNamePath(source), destinationDirectory, fileExtension);
    ImageCompressionResult result;
    result.id = QUuid::createUuid();
    result.sourceID = source.id;
    result.fileName = source.fileName;
    result.outputURL = finalPath;
    result.originalBytes = source.originalBytes;
    result.compressedBytes = fileSize(finalPath);
    result.outputPixelSize = output.pixelSize;
    result.originalFrameCount = output.originalFrameCount;
    result.outputFrameCount = output.outputFrameCount;
    result.usedOriginalCopy = usedOriginalCopy;
    result.tookNumberedName = QFileInfo(finalPath).fileName()
        != candidateName(outputBaseName(outputNamePath(source)), 1, fileExtension);
    return result;
}

QString copyToFreeOutputName(const QString &fromPath, const QString &sourcePath,
                             const QString &destinationDirectory, const QString &fileExtension)
{
    // The bytes arrive under a hidden name first, so no output name ever shows a cut-short file;
    // should a name be taken meanwhile, the next one is tried.
    const QString base = outputBaseName(sourcePath);
    return OutputFilePlacement::placeCopy(fromPath, destinationDirectory, [base, fileExtension](int number) {
        return candidateName(base, number, fileExtension);
    });
}

qint64 fileSize(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw ImageCompressionServiceError::cannotReadFileSize(path);
    return info.size();
}

QString humanReadableByteCount(qint64 bytes)
{
    return QLocale(QLocale::Chinese, QLocale::China).formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

} // namespace ImageCompressionService
