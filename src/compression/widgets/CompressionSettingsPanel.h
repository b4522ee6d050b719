#pragma once

#include "compression/ImageCompressionModel.h"
#include "compression/widgets/CompressionSurface.h"
#include "model/MarkupViewModelTypes.h"
#include "ui/StyledButton.h"

#include <functional>
#include <vector>

class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QSlider;

// The right-hand column: quality, long edge, the crop section of the shown image, the GIF note,
// the figures of the batch and the button that starts it.
class CompressionSettingsPanel : public CompressionSurface {
    Q_OBJECT

public:
    struct Actions {
        std::function<void(const ImageCompressionSettings &)> setSettings;
        std::function<void()> compress;
        std::function<void()> beginCrop;
        std::function<void()> closeCrop;
        std::function<void(CropAspectRatio)> setCropAspectRatio;
        std::function<void()> applyCrop;
    };
    // What the crop section shows.
    enum class CropForm { Hidden, GifNote, StartButton, Editing };

    explicit CompressionSettingsPanel(Actions actions, QWidget *parent = nullptr);

    void setSettings(const ImageCompressionSettings &settings);
    void setSources(const std::vector<ImageCompressionSource> &sources);
    void setResults(const std::vector<ImageCompressionResult> &results);
    void setCompressing(bool compressing);
    void setCropForm(CropForm form, CropAspectRatio ratio);
    // While a crop frame waits for 确认 or 取消, the run cannot start, and the panel says so.
    // Why no run may start while crop frames wait for confirmation; empty when none does.
    void setCropPending(const QString &note);

    QSlider *qualitySlider() const { return m_slider; }
    QString qualityText() const;
    // The long-edge segments, in order.
    std::vector<StyledButton *> maxDimensionButtons() const;
    CropForm cropForm() const { return m_cropForm; }
    QString cropRatioTitle() const;
    StyledButton *cropStartButton() const { return m_cropStart; }
    StyledButton *cropRatioButton(CropAspectRatio ratio) const;
    StyledButton *cancelCropButton() const { return m_cropCancel; }
    StyledButton *confirmCropButton() const { return m_cropConfirm; }
    bool showsGifNote() const;
    // The value of a figure row; empty when the row is hidden.
    QString statValue(const QString &title) const;
    StyledButton *compressButton() const { return m_compress; }
    // The line under the button that says why it cannot be pressed; empty when hidden.
    QString compressBlockedText() const;

private:
    void rebuildMaxDimensions(const std::vector<ImageCompressionMaxDimension> &offered);
    void refreshFigures();
    void refreshCompressButton();
    void refreshRatioButtons();

    Actions m_actions;
    ImageCompressionSettings m_settings;
    std::vector<ImageCompressionSource> m_sources;
    std::vector<ImageCompressionResult> m_results;
    std::vector<ImageCompressionMaxDimension> m_offered;
    bool m_compressing = false;
    bool m_cropPending = false;
    CropForm m_cropForm = CropForm::Hidden;
    CropAspectRatio m_cropRatio = CropAspectRatio::Free;

    QSlider *m_slider = nullptr;
    QLabel *m_percent = nullptr;
    QHBoxLayout *m_dimensionRow = nullptr;
    QButtonGroup *m_dimensionGroup = nullptr;
    QWidget *m_cropSection = nullptr;
    QLabel *m_cropRatioTitle = nullptr;
    QLabel *m_gifCropNote = nullptr;
    QWidget *m_cropEditing = nullptr;
    StyledButton *m_cropStart = nullptr;
    std::vector<std::pair<CropAspectRatio, StyledButton *>> m_ratioButtons;
    StyledButton *m_cropCancel = nullptr;
    StyledButton *m_cropConfirm = nullptr;
    QWidget *m_gifNote = nullptr;
    std::vector<std::pair<QString, QLabel *>> m_statValues;
    QWidget *m_compressedRow = nullptr;
    StyledButton *m_compress = nullptr;
    QLabel *m_compressBlocked = nullptr;
};
