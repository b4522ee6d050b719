#include "ui/EmptyStateColumn.h"

#include "model/AppTheme.h"
#include "platform/SymbolIcons.h"

#include <QLabel>
#include <QVBoxLayout>

QVBoxLayout *emptyStateColumn(QWidget *empty, const QString &objectName, const QString &symbolName, int symbolSize,
                              int spacing)
{
    empty->setObjectName(objectName);
    auto *column = new QVBoxLayout(empty);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(spacing);
    column->addStretch(1);
    auto *symbol = new QLabel(empty);
    symbol->setPixmap(SymbolIcons::icon(symbolName, AppTheme::navy())
                          .pixmap(QSize(symbolSize, symbolSize), empty->devicePixelRatioF()));
    symbol->setAlignment(Qt::AlignCenter);
    column->addWidget(symbol, 0, Qt::AlignHCenter);
    return column;
}
