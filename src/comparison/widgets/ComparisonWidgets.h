#pragma once

#include "ui/StyledButton.h"
#include "model/ImageItems.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QWidget>

#include <optional>

// The painted controls of the comparison empty state and sheets.

// The small picture of a side, filled into `size` and cropped to its centre with rounded corners.
QPixmap comparisonPreview(const ComparisonImageState &side, QSize size, double radius, qreal ratio);

// A text button with an optional symbol before the title, on a rounded fill with an optional
// border. Disabled, it is drawn on the grey of a button that cannot act. While busy, a turning arc
// takes the symbol's place.
class SheetButton final : public StyledButton {
    Q_OBJECT

public:
    SheetButton(const QString &title, const QString &symbol, const QFont &font, QSize minimumSize,
                QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;
};

// An empty-state button: a 23-px symbol over a 12.5-px bold title in a 126 × 86 tile.
class EmptyStateButton final : public StyledButton {
    Q_OBJECT

public:
    EmptyStateButton(const QString &title, const QString &symbol, QWidget *parent = nullptr);

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;
};

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

// One folder slot of the batch sheet: the folder symbol, the slot title and the chosen folder's
// name (or "未选择"), and its choose button ("选择", "更换" once chosen).
class FolderSlot final : public QWidget {
    Q_OBJECT

public:
    FolderSlot(const QString &title, const QString &help, QWidget *parent = nullptr);
    void setFolder(const std::optional<QString> &path);
    QString valueText() const;
    SheetButton *chooseButton() const { return m_button; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
    std::optional<QString> m_folder;
    SheetButton *m_button = nullptr;
};
