#pragma once

#include "model/ImageItems.h"

#include <QPixmap>
#include <QWidget>

#include <optional>

// The row of the current markup image taken over as the before side: its thumbnail, "修改前图片"
// and its file name; nothing but the pale panel when there is no such image.
class CurrentImageCard final : public QWidget {
    Q_OBJECT

public:
    explicit CurrentImageCard(QWidget *parent = nullptr);
    void setImage(const std::optional<ComparisonImageState> &image);
    bool hasImage() const { return m_fileName.has_value(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<QString> m_fileName;
    QPixmap m_preview;
};
