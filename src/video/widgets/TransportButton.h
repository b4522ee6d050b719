#pragma once

#include "ui/FeedbackButton.h"

#include <QColor>
#include <QIcon>

// A button of the transport panel that draws its own face: an icon with an optional title on an
// optional filled, outlined rounded rectangle, and an optional key badge in the top-right corner.
// A disabled button keeps its colours and is drawn at 45 % opacity as a whole.
class TransportButton final : public FeedbackButton {
    Q_OBJECT

public:
    struct Face {
        Face(QString symbol_, QString title_, QColor content_, QColor fill_ = Qt::transparent,
             QColor outline_ = Qt::transparent, QString badge_ = QString())
            : symbol(std::move(symbol_)), title(std::move(title_)), content(std::move(content_)),
              fill(std::move(fill_)), outline(std::move(outline_)), badge(std::move(badge_))
        {
        }
        QString symbol;
        QString title;
        QColor content;
        QColor fill;
        QColor outline;
        QString badge;
    };
    explicit TransportButton(Face face, QWidget *parent = nullptr);
    const Face &face() const { return m_face; }
    void setSymbol(const QString &symbol);
    // The opacity the face is drawn at now.
    double faceOpacity() const { return isEnabled() ? 1.0 : 0.45; }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override;

private:
    Face m_face;
    QIcon m_icon;
};
