#pragma once

#include <QLabel>
#include <QWidget>

class FeedbackButton;
class MarkupViewModel;
class QSlider;

// The zoom cluster: zoom out, a slider over 0.25…30, the percentage and zoom in. It writes the
// view model's zoom on presses and user moves of the slider only; a zoom pushed by the model moves
// the slider without writing a rounded value back.
class ZoomControls : public QWidget
{
    Q_OBJECT

public:
    static constexpr int sliderScale = 1000;
    static constexpr int preferredSliderWidth = 132;
    static constexpr int minimumSliderWidth = 60;

    explicit ZoomControls(MarkupViewModel &viewModel, QWidget *parent = nullptr);
    QSlider *slider() const { return m_slider; }
    FeedbackButton *zoomOutButton() const { return m_zoomOut; }
    FeedbackButton *zoomInButton() const { return m_zoomIn; }
    QString percentText() const;
    // The slider's width, kept within minimumSliderWidth…preferredSliderWidth.
    void setSliderWidth(int width);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void syncFromModel();

    MarkupViewModel &m_viewModel;
    FeedbackButton *m_zoomOut = nullptr;
    FeedbackButton *m_zoomIn = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_percent = nullptr;
};
