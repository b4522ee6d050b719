#pragma once

#include "markup/DesktopImageSave.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <thread>

class MarkupViewModel;

// A save of the selected images to the Desktop that keeps the window responsive: the plan is taken
// when it starts, the files are made on worker threads, and the outcome is applied on the GUI
// thread in one step. Meanwhile the view model's isSavingImagesToDesktop is true and its status
// counts the images done ("正在保存 7/22 张图片到桌面…"); the outcome's status comes after the last
// count, so it is the last status of the save whatever was done in the window meanwhile. One save
// at a time. Lives in the GUI thread; the save's threads run at a lower priority than it, so the
// window stays responsive even when the save has every core busy.
class BackgroundDesktopSave final : public QObject {
    Q_OBJECT

public:
    // The view model must outlive every save that is applied; the destructor never touches it.
    explicit BackgroundDesktopSave(MarkupViewModel &model, QObject *parent = nullptr);
    // Waits for a save that still runs, so its files are complete; its outcome is not applied
    // (the window is going away).
    ~BackgroundDesktopSave() override;

    // Starts saving the selected images as PNG or JPEG files. False when nothing started: a save
    // runs already, or nothing is selected (errorMessage then says so).
    bool start(ImageExportFormat format, double jpegQuality);
    bool isRunning() const { return m_plan != nullptr; }

Q_SIGNALS:
    // The outcome was applied and isSavingImagesToDesktop is false again; the files written.
    void finished(const QStringList &written);

private:
    void showProgress(size_t done);
    void finish();

    MarkupViewModel &m_model;
    // Read by the worker while the save runs, and by finish() once it posted its end.
    std::shared_ptr<const DesktopImageSave::Plan> m_plan;
    std::shared_ptr<std::vector<DesktopExport::JobResult>> m_results;
    std::thread m_thread;
};
