#include "shell/UpdateCheckButton.h"

#include "model/AppFont.h"
#include "model/TypeScale.h"
#include "shell/AppUpdateManager.h"
#include "ui/BusySpinner.h"
#include "ui/ControlPainting.h"

#include <QPainter>

UpdateCheckButton::UpdateCheckButton(AppUpdateManager &manager, QWidget *parent)
    : FeedbackButton(QString(), 8, parent)
    , m_manager(manager)
    , m_spinner(new BusySpinner(this))
{
    QFont mono = AppFont::font(TypeScale::listName, QFont::Bold);
    mono.setStyleHint(QFont::Monospace);
    setFont(mono);
    setFixedHeight(18);
    connect(&m_manager, &AppUpdateManager::isCheckingChanged, this, &UpdateCheckButton::refresh);
    connect(&m_manager, &AppUpdateManager::availableUpdateChanged, this, &UpdateCheckButton::refresh);
    connect(&m_manager, &AppUpdateManager::statusMessageChanged, this, &UpdateCheckButton::refresh);
    connect(this, &QAbstractButton::clicked, &m_manager, [this] { m_manager.checkForUpdates(false); });
    refresh();
}

void UpdateCheckButton::refresh()
{
    setText(m_manager.buttonTitle());
    setToolTip(m_manager.buttonToolTip());
    setAccessibleName(m_manager.buttonTitle());
    m_spinner->setRunning(m_manager.isChecking());
    updateGeometry();
    update();
}

QSize UpdateCheckButton::sizeHint() const
{
    return QSize(13 + 5 + fontMetrics().horizontalAdvance(text()) + 4, 18);
}

void UpdateCheckButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const QColor tint(m_manager.buttonColorHex());
    const QRectF symbolRect(rect.left() + 2, rect.center().y() - 6.5, 13, 13);
    const QString symbolName = m_manager.buttonSymbolName();
    if (symbolName.isEmpty()) {
        // The spinner: a three-quarter ring turning while the check runs.
        BusySpinner::paintRing(painter, symbolRect.adjusted(2, 2, -2, -2), tint, 1.6, m_spinner->angle());
    } else {
        ControlPainting::symbol(painter, symbolName, tint, symbolRect, 12);
    }
    painter.setFont(font());
    painter.setPen(tint);
    const QRectF textRect(symbolRect.right() + 5, rect.top(), rect.right() - symbolRect.right() - 5, rect.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, int(textRect.width())));
}
