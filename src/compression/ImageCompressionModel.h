#pragma once

#include "model/MarkupViewModelTypes.h"
#include "platform/Rect.h"

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <array>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The value types of image compression: the user's settings, the long-edge presets, one input
// image, one output, and the errors with their Chinese texts. Paths are absolute local paths.

enum class ImageCompressionMaxDimension {
    original = 0,
    longEdge1920 = 1920,
    longEdge1280 = 1280,
    longEdge800 = 800,
};

namespace ImageCompressionMaxDimensions {

inline constexpr std::array<ImageCompressionMaxDimension, 4> allCases = {
    ImageCompressionMaxDimension::original,
    ImageCompressionMaxDimension::longEdge1920,
    ImageCompressionMaxDimension::longEdge1280,
    ImageCompressionMaxDimension::longEdge800,
};

// Exactly 0, 1920, 1280 and 800 name a case.
std::optional<ImageCompressionMaxDimension> fromRawValue(int rawValue);
int rawValue(ImageCompressionMaxDimension dimension);
inline int id(ImageCompressionMaxDimension dimension) { return rawValue(dimension); }
// "原尺寸", "1920", "1280", "800".
QString title(ImageCompressionMaxDimension dimension);

} // namespace ImageCompressionMaxDimensions

struct ImageCompressionSettings {
    double jpegQuality = 0.75;
    ImageCompressionMaxDimension maxDimension = ImageCompressionMaxDimension::original;

    ImageCompressionSettings() = default;
    // Clamps the quality into 0.2…0.95 (NaN gives 0.2). Assigning jpegQuality later does not clamp.
    ImageCompressionSettings(double jpegQuality, ImageCompressionMaxDimension maxDimension);

    bool operator==(const ImageCompressionSettings &) const = default;
};

struct ImageCompressionSource {
    QUuid id;
    QString url;          // the file that compression reads (for a cropped source, its crop file)
    QString fileName;     // the name shown to the user
    qint64 originalBytes = 0;
    QSizeF pixelSize{0, 0}; // upright size of a still image; the canvas of a GIF
    int frameCount = 1;
    bool isGIF = false;
    QImage thumbnail;     // at most 128 pixels on its long edge; not compared

    bool operator==(const ImageCompressionSource &other) const
    {
        return id == other.id && url == other.url && fileName == other.fileName
            && originalBytes == other.originalBytes && pixelSize == other.pixelSize
            && frameCount == other.frameCount && isGIF == other.isGIF;
    }
};

struct ImageCompressionResult {
    QUuid id;
    QUuid sourceID;
    QString fileName;     // the source's display name
    QString outputURL;    // the final file in the destination folder
    qint64 originalBytes = 0;
    qint64 compressedBytes = 0;
    QSizeF outputPixelSize{0, 0};
    int originalFrameCount = 1;
    int outputFrameCount = 1;
    bool usedOriginalCopy = false;
    // The output's own name was taken, so it was written under a numbered one ("…-压缩-2.jpg").
    bool tookNumberedName = false;

    // 1 − compressed ÷ original; 0 when the original size is below 1; negative when the output grew.
    double savedRatio() const;

    bool operator==(const ImageCompressionResult &) const = default;
};

// A crop frame drawn on an image of the list but neither confirmed nor cancelled, in the points of
// the image's preview (whose size follows from the image's pixel size alone), with its ratio. Each
// image keeps its own until the user confirms or cancels it; no run starts while one is pending.
struct PendingCompressionCrop {
    Rect rect;
    CropAspectRatio aspectRatio = CropAspectRatio::Free;

    bool operator==(const PendingCompressionCrop &) const = default;
};
using PendingCompressionCrops = std::map<QUuid, PendingCompressionCrop>;

// What a finished run wrote and why its images failed. The results banner tells it until the next
// run, or until new images or a cleared list withdraw it; a crop, a removal or a selection leave it
// as it was, since the files it counts stay on disk.
struct CompressionRunReport {
    std::vector<ImageCompressionResult> results;
    int failedCount = 0;
    // The first failure's reason as several images share it, and how many failed by it.
    QString firstFailureReason;
    int firstFailureShare = 0;

    bool operator==(const CompressionRunReport &) const = default;
};

// A failure of the compression service. description() is the text shown to the user.
class ImageCompressionServiceError : public std::exception {
public:
    enum class Kind {
        noReadableImage,         // carries the source path; shows its file name
        imageTooLarge,           // source path; file name
        unsupportedImage,        // source path; file name
        cropUnsupported,         // source path; file name
        cropTooSmall,            // source path; file name
        cropFailed,              // source path; file name
        cannotCreateDestination, // temporary output path; full path
        cannotReadFrame,         // zero-based frame index; shows index + 1
        cannotResizeFrame,       // zero-based frame index; shows index + 1
        cannotFinalize,          // temporary output path; full path
        cannotReadFileSize,      // measured path; full path
        cannotWriteOutput,       // destination folder and the system's reason; both shown
    };

    static ImageCompressionServiceError noReadableImage(const QString &path) { return {Kind::noReadableImage, path}; }
    static ImageCompressionServiceError imageTooLarge(const QString &path) { return {Kind::imageTooLarge, path}; }
    static ImageCompressionServiceError unsupportedImage(const QString &path) { return {Kind::unsupportedImage, path}; }
    static ImageCompressionServiceError cropUnsupported(const QString &path) { return {Kind::cropUnsupported, path}; }
    static ImageCompressionServiceError cropTooSmall(const QString &path) { return {Kind::cropTooSmall, path}; }
    static ImageCompressionServiceError cropFailed(const QString &path) { return {Kind::cropFailed, path}; }
    // With the system's error number, when known, the description says why ("磁盘空间不足").
    static ImageCompressionServiceError cannotCreateDestination(const QString &path, int errorNumber = 0)
    {
        return {Kind::cannotCreateDestination, path, 0, reasonOf(errorNumber)};
    }
    static ImageCompressionServiceError cannotReadFrame(int index) { return {Kind::cannotReadFrame, {}, index}; }
    static ImageCompressionServiceError cannotResizeFrame(int index) { return {Kind::cannotResizeFrame, {}, index}; }
    static ImageCompressionServiceError cannotFinalize(const QString &path, int errorNumber = 0)
    {
        return {Kind::cannotFinalize, path, 0, reasonOf(errorNumber)};
    }
    static ImageCompressionServiceError cannotReadFileSize(const QString &path) { return {Kind::cannotReadFileSize, path}; }
    static ImageCompressionServiceError cannotWriteOutput(const QString &folder, const QString &reason)
    {
        return {Kind::cannotWriteOutput, folder, 0, reason};
    }

    Kind kind() const { return m_kind; }
    QString path() const { return m_path; }
    int frameIndex() const { return m_frameIndex; }
    // Why the file system refused, for cannotWriteOutput ("权限不足"), and for cannotCreateDestination
    // and cannotFinalize when it is known; empty otherwise.
    QString reason() const { return m_reason; }
    QString description() const;
    // What several images can fail by alike: the description without the file it names
    // ("无法读取图片"), whole for a folder that refused the outputs ("无法写入 /out：文件夹不存在").
    QString sharedReason() const;
    const char *what() const noexcept override { return m_utf8.c_str(); }

    bool operator==(const ImageCompressionServiceError &other) const
    {
        return m_kind == other.m_kind && m_path == other.m_path && m_frameIndex == other.m_frameIndex
            && m_reason == other.m_reason;
    }

private:
    ImageCompressionServiceError(Kind kind, const QString &path, int frameIndex = 0, const QString &reason = {});
    // The program's words for a system error number; empty for 0.
    static QString reasonOf(int errorNumber);

    Kind m_kind;
    QString m_path;
    int m_frameIndex = 0;
    QString m_reason;
    std::string m_utf8;
};
