#pragma once

#include "model/ImageItems.h"
#include "ui/FeedbackButton.h"

#include <QPixmap>

#include <optional>

// The 274 × 216 card that labels a side's upload button: the chosen picture with its file name on
// a solid navy border, or the upload symbol and the title on a dashed grey border.
class UploadCard final : public FeedbackButton {
    Q_OBJECT

public:
    explicit UploadCard(const QString &title, QWidget *parent = nullptr);
    void setImage(const std::optional<ComparisonImageState> &image);
    bool hasImage() const { return m_fileName.has_value(); }
    QString title() const { return text(); }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    std::optional<QString> m_fileName;
    QPixmap m_preview;
};
