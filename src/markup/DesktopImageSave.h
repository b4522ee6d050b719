#pragma once

#include "markup/DesktopExport.h"
#include "model/MarkupViewModelTypes.h"

#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

class MarkupViewModel;

// Saving images of the markup list to the Desktop as PNG or JPEG files, in three steps so that the
// long middle one can run on another thread while the window goes on:
// 1. the plan, taken from the view model on its thread: which images, their pictures and
//    annotations as they are now, the file names, the texts of the outcome;
// 2. the files, made from the plan alone on any thread;
// 3. the outcome, applied to the view model on its thread as if the images had been saved one
//    after another: each written file recorded in its image's savedURL (when the image is still
//    in the list), per-image failures in errorMessage (the last one stays) and the count in
//    statusMessage.
namespace DesktopImageSave {

// The files of every Desktop save (the save button, Ctrl+S, the quit-time save, the batch save):
// PNG. The JPEG quality goes along unused, so that every caller passes the same pair.
struct FileFormat {
    ImageExportFormat format = ImageExportFormat::Png;
    double jpegQuality = 0.9;
};
inline constexpr FileFormat desktopFormat{};

struct Plan {
    // The images in the order of the save; an image not in the list at planning time has a job
    // without a picture, which fails.
    std::vector<QUuid> ids;
    std::vector<DesktopExport::ImageJob> jobs;
    ImageExportFormat format = ImageExportFormat::Png;
    double jpegQuality = 0.9;
    // Without a Desktop folder nothing is written: every job fails at its write, unrendered, for
    // the reason the folder could not be made.
    bool hasDesktop = false;
    int desktopErrorNumber = 0;
    QString successText; // with %1 for the number of files written
    QString nothingSavedText;
};

// The selected images (the current one when none is marked). Nothing, with errorMessage
// "请先选择要保存的图片", when there is none. `format` must not be PDF.
std::optional<Plan> selectedImages(MarkupViewModel &model, ImageExportFormat format, double jpegQuality);
// Every image of the list as PNG. Nothing, with errorMessage "没有可保存的图片", when it is empty.
std::optional<Plan> allImages(MarkupViewModel &model);

// Renders, encodes and writes; results in the order of the plan. `finished` as in
// DesktopExport::renderAndWrite.
std::vector<DesktopExport::JobResult> makeFiles(const Plan &plan,
                                                const std::function<void(size_t done)> &finished = {});

// Applies the results of makeFiles(plan) and returns the paths written, in the order of the plan.
QStringList applyOutcome(MarkupViewModel &model, const Plan &plan, const std::vector<DesktopExport::JobResult> &results);

// "第 n 张图片无法生成", n the 1-based position among the images of a save.
QString failedImageText(qsizetype position);

// The status shown while a save runs: "正在保存 7/22 张图片到桌面…".
QString progressText(size_t done, size_t total);

} // namespace DesktopImageSave
