#include "comparison/widgets/FolderSlot.h"

#include "comparison/widgets/SheetButton.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/ControlPainting.h"
#include "ui/PanelChrome.h"

#include <QDir>
#include <QHBoxLayout>
#include <QPainter>

FolderSlot::FolderSlot(const QString &title, const QString &help, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
{
    setFixedHeight(32 + 24);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->addStretch(1);
    m_button = new SheetButton(QStringLiteral("选择"), QString(), AppFont::font(TypeScale::body, QFont::Bold), QSize(58, 32), this);
    m_button->setFixedSize(58, 32);
    m_button->setColors(AppTheme::darkSlate(), AppTheme::surface(), AppTheme::lightSlate());
    m_button->setToolTip(help);
    row->addWidget(m_button);
}

void FolderSlot::setFolder(const std::optional<QString> &path)
{
    m_folder = path;
    m_button->setText(path ? QStringLiteral("更换") : QStringLiteral("选择"));
    m_button->setAccessibleName(m_button->text());
    update();
}

QString FolderSlot::valueText() const
{
    if (!m_folder)
        return QStringLiteral("未选择");
    const QString name = QDir(*m_folder).dirName();
    return name.isEmpty() ? *m_folder : name;
}

void FolderSlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    const bool chosen = m_folder.has_value();
    PanelChrome::paintRoundedBox(painter, box, 8, AppTheme::paleGray(),
                                 chosen ? PanelChrome::withAlpha(AppTheme::green(), 0.38) : AppTheme::lightSlate(), 1);
    const QRectF icon(box.left() + 12, box.center().y() - 15, 30, 30);
    ControlPainting::alignedSymbol(painter, chosen ? QStringLiteral("folder.fill") : QStringLiteral("folder.badge.plus"),
               chosen ? AppTheme::green() : AppTheme::secondaryText(), icon, 18);
    const double textLeft = icon.right() + 12;
    const double textRight = m_button->geometry().left() - 12;
    const QFont titleFont = AppFont::font(TypeScale::body, QFont::Bold);
    const QFont valueFont = AppFont::font(TypeScale::caption, QFont::DemiBold);
    const double h1 = QFontMetricsF(titleFont).height();
    const double h2 = QFontMetricsF(valueFont).height();
    const double top = box.center().y() - (h1 + 3 + h2) / 2;
    ControlPainting::elidedText(painter, QRectF(textLeft, top, textRight - textLeft, h1), m_title, titleFont, AppTheme::primaryText(),
               Qt::ElideRight, Qt::AlignLeft | Qt::AlignVCenter);
    ControlPainting::elidedText(painter, QRectF(textLeft, top + h1 + 3, textRight - textLeft, h2), valueText(), valueFont,
               chosen ? AppTheme::darkSlate() : AppTheme::secondaryText(), Qt::ElideMiddle, Qt::AlignLeft | Qt::AlignVCenter);
}
