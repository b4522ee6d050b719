#include "comparison/widgets/ComparisonSheet.h"

#include "comparison/widgets/SheetButton.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/PanelChrome.h"
#include "ui/SymbolButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

// ---- Frame -----------------------------------------------------------------------------------------

ComparisonSheet::ComparisonSheet(int width, QWidget *parent)
    : QDialog(parent)
{
    setWindowModality(Qt::WindowModal);
    setFixedWidth(width);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    m_rows = new QVBoxLayout(this);
    m_rows->setContentsMargins(22, 22, 22, 22);
    m_rows->setSpacing(18);
    m_rows->setSizeConstraint(QLayout::SetFixedSize);
}

QLabel *ComparisonSheet::addHeader(const QString &title, const QString &hint)
{
    auto *row = new QHBoxLayout;
    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(PanelChrome::label(title, AppFont::font(TypeScale::sheetTitle, QFont::Bold), AppTheme::primaryText(), this));
    QLabel *hintLabel = PanelChrome::label(hint, AppFont::font(TypeScale::body, QFont::Medium), AppTheme::secondaryText(), this);
    texts->addWidget(hintLabel);
    row->addLayout(texts);
    row->addStretch(1);
    auto *close = new SymbolButton(QStringLiteral("xmark"), 30, 14, AppTheme::darkSlate(), 8, this);
    close->setObjectName(QStringLiteral("sheetCloseButton"));
    close->setAccessibleName(QStringLiteral("关闭"));
    connect(close, &QAbstractButton::clicked, this, &ComparisonSheet::reject);
    row->addWidget(close);
    m_rows->addLayout(row);
    return hintLabel;
}

void ComparisonSheet::addFooter(SheetButton *confirm)
{
    auto *row = new QHBoxLayout;
    auto *cancel = new SheetButton(QStringLiteral("取消"), QString(), AppFont::font(TypeScale::emphasis, QFont::DemiBold), QSize(82, 36), this);
    cancel->setObjectName(QStringLiteral("sheetCancelButton"));
    cancel->setColors(AppTheme::darkSlate(), AppTheme::paleGray());
    connect(cancel, &QAbstractButton::clicked, this, &ComparisonSheet::reject);
    row->addWidget(cancel);
    row->addStretch(1);
    row->addWidget(confirm);
    m_rows->addLayout(row);
}

void ComparisonSheet::reject()
{
    // The owner's close operation clears its flag, which hides the sheet.
    if (closeAction)
        closeAction();
    else
        QDialog::reject();
}

void ComparisonSheet::setPrimaryColors(SheetButton &button)
{
    button.setColors(Qt::white, AppTheme::green());
}
