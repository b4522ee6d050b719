#pragma once

#include "compression/ImageCompressionModel.h"
#include "model/MarkupViewModelTypes.h"
#include "platform/Rect.h"

#include <QRectF>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class StyledButton;
class CompressionPreview;
class CompressionResultBanner;
class CompressionSettingsPanel;
class CompressionSourceColumn;
class ElidedLabel;
class QHBoxLayout;
class QStackedWidget;

// The compression workspace: the list column, and the selected image large with its details, the
// results banner and the settings panel (or the empty state). Its inputs are the window's state,
// pushed in by the hookup; its only state of its own is the crop editor's. A frame drawn on an
// image stays with that image until it is confirmed or cancelled: selecting another image puts it
// aside and selecting the image again brings it back, and the window keeps every pending frame
// (keepCrops), so that leaving the workspace does not lose one either.
class ImageCompressionWorkspace : public QWidget {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> add;
        std::function<void()> clear;
        std::function<void(const QUuid &)> remove;
        std::function<void(const QUuid &)> select;
        std::function<bool(const QUuid &, const QRectF &unitRect, CropAspectRatio ratio)> crop;
        std::function<void()> compress;
        // The settings binding: the panel's edits go back to the window's state.
        std::function<void(const ImageCompressionSettings &)> setSettings;
        // Every crop frame drawn and not yet confirmed or cancelled, after each change.
        std::function<void(const PendingCompressionCrops &)> keepCrops;
    };

    struct CropState {
        std::optional<QUuid> sourceID;
        std::optional<Rect> rect;
        CropAspectRatio aspectRatio = CropAspectRatio::Free;
        std::optional<QPointF> dragAnchor;
        std::optional<CropCorner> resizeCorner;

        bool operator==(const CropState &) const = default;
    };

    explicit ImageCompressionWorkspace(Actions actions, QWidget *parent = nullptr);

    // The first values, set without running the change handlers.
    void setInputs(const std::vector<ImageCompressionSource> &sources, const std::optional<QUuid> &selectedID,
                   const std::vector<ImageCompressionResult> &results, const ImageCompressionSettings &settings,
                   bool compressing, const std::optional<CompressionRunReport> &lastRun = std::nullopt,
                   const PendingCompressionCrops &pendingCrops = {});
    void setSources(const std::vector<ImageCompressionSource> &sources);
    void setSelectedSourceID(const std::optional<QUuid> &id);
    // The last batch's outputs of the images still listed (the panel's figures).
    void setResults(const std::vector<ImageCompressionResult> &results);
    // The last finished run, which the banner tells; none hides it.
    void setLastRunReport(const std::optional<CompressionRunReport> &report);
    void setSettings(const ImageCompressionSettings &settings);
    void setCompressing(bool compressing);

    // ---- Crop editor ---------------------------------------------------------------------------
    const CropState &cropState() const { return m_crop; }
    bool isCropping(const ImageCompressionSource &source) const;
    void beginCrop(const ImageCompressionSource &source);
    void closeCropEditor();
    void setCropAspectRatio(CropAspectRatio ratio, const ImageCompressionSource &source);
    void updateCropDrag(QPointF start, QPointF current, const ImageCompressionSource &source);
    void endCropDrag(QPointF start, QPointF current, const ImageCompressionSource &source);
    bool applyCrop(const ImageCompressionSource &source);

    // ---- Parts, for tests and screenshots -------------------------------------------------------
    const ImageCompressionSource *selectedSource() const;
    CompressionSourceColumn *sourceColumn() const { return m_column; }
    CompressionSettingsPanel *settingsPanel() const { return m_panel; }
    CompressionPreview *preview() const { return m_preview; }
    CompressionResultBanner *banner() const { return m_banner; }
    StyledButton *emptyStateButton() const { return m_emptyButton; }
    bool showsEmptyState() const;
    QString detailsName() const;
    // The badge texts under the preview, in order.
    QStringList detailBadges() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *makeEmptyState();
    QWidget *makeSelectedLayout();
    void refreshMain();
    void refreshCrop();
    void normalizeMaxDimensionSelection();
    std::optional<Rect> dragRect(QPointF current, const ImageCompressionSource &source) const;
    // Puts the open frame aside and opens the one kept for the image with this id, if any.
    void switchCropTo(const std::optional<QUuid> &id);
    // Every pending frame: the open one and those put aside.
    PendingCompressionCrops pendingCrops() const;
    void publishCrops();
    // Why no run may start now; empty when none is pending.
    QString pendingCropNote() const;

    Actions m_actions;
    std::vector<ImageCompressionSource> m_sources;
    std::optional<QUuid> m_selectedID;
    std::vector<ImageCompressionResult> m_results;
    std::optional<CompressionRunReport> m_lastRun;
    ImageCompressionSettings m_settings;
    bool m_compressing = false;
    CropState m_crop;
    PendingCompressionCrops m_keptCrops; // frames of images not being edited

    CompressionSourceColumn *m_column = nullptr;
    QStackedWidget *m_main = nullptr;
    StyledButton *m_emptyButton = nullptr;
    QWidget *m_previewHolder = nullptr;
    QWidget *m_previewBox = nullptr;
    CompressionPreview *m_preview = nullptr;
    QWidget *m_details = nullptr;
    ElidedLabel *m_name = nullptr;
    QHBoxLayout *m_badges = nullptr;
    CompressionResultBanner *m_banner = nullptr;
    CompressionSettingsPanel *m_panel = nullptr;
    QUuid m_shownID;
};
