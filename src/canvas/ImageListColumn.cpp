#include "canvas/ImageListColumn.h"

#include "canvas/ImageListModel.h"
#include "canvas/ImageListView.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "ui/PanelButton.h"
#include "ui/PanelChrome.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The dashed "导入" tile of the empty column (76 high, the larger icon).
class ImportTile final : public PanelButton {
public:
    explicit ImportTile(QWidget *parent)
        : PanelButton(QString(), QString(), Look{}, parent)
    {
        setFixedSize(76, 76);
        setCornerRadius(8);
        setToolTip(QStringLiteral("继续导入图片到当前图片列表"));
        setAccessibleName(QStringLiteral("继续导入图片"));
    }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override { ImageCardDelegate::paintImportTile(painter, rect); }
};

PanelButton::Look toggleLook(bool allSelected)
{
    PanelButton::Look look;
    look.foreground = allSelected ? QColor(Qt::white) : AppTheme::navy();
    look.background = allSelected ? AppTheme::navy() : QColor(Qt::white);
    look.border = allSelected ? AppTheme::navy() : AppTheme::lightSlate();
    look.font = AppFont::font(TypeScale::emphasis, QFont::Bold);
    return look;
}

} // namespace

ImageListColumn::ImageListColumn(MarkupViewModel &viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
{
    setFixedWidth(columnWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(10, 12, 10, 0);
    auto *title = new QLabel(QStringLiteral("图片"), this);
    title->setFont(AppFont::font(TypeScale::body, QFont::DemiBold));
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, AppTheme::primaryText());
    title->setPalette(palette);
    m_count = new QLabel(this);
    m_count->setFont(PanelChrome::monospaceFont(11, QFont::DemiBold));
    palette.setColor(QPalette::WindowText, AppTheme::secondaryText());
    m_count->setPalette(palette);
    header->addWidget(title);
    header->addStretch(1);
    header->addWidget(m_count);
    layout->addLayout(header);

    m_emptyTile = new ImportTile(this);
    layout->addWidget(m_emptyTile, 0, Qt::AlignHCenter);
    m_model = new ImageListModel(viewModel, this);
    m_list = new ImageListView(viewModel, *m_model, this);
    m_list->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list, 1);
    m_emptySpacer = new QWidget(this);
    layout->addWidget(m_emptySpacer, 1);

    m_selectAll = new PanelButton(QString(), QString(), toggleLook(false), this);
    m_selectAll->setFixedSize(78, 40);
    m_selectAll->setCornerRadius(8);
    auto *toggleRow = new QHBoxLayout;
    toggleRow->setContentsMargins(8, 0, 8, 10);
    toggleRow->addWidget(m_selectAll, 0, Qt::AlignHCenter);
    layout->addLayout(toggleRow);

    connect(m_emptyTile, &QAbstractButton::clicked, this, [this] {
        if (m_importAction)
            m_importAction();
    });
    connect(m_selectAll, &QAbstractButton::clicked, this, [this] {
        if (m_viewModel.areAllImageItemsSelected())
            m_viewModel.clearImageItemSelectionKeepingCurrent();
        else
            m_viewModel.selectAllImageItems();
    });
    connect(&viewModel, &MarkupViewModel::itemsChanged, this, &ImageListColumn::refresh);
    connect(&viewModel, &MarkupViewModel::selectedImageItemIDsChanged, this, &ImageListColumn::refresh);
    refresh();
}

void ImageListColumn::setImportAction(std::function<void()> action)
{
    m_importAction = action;
    m_list->setImportAction(std::move(action));
}

void ImageListColumn::setResetPanAction(std::function<void()> action)
{
    m_list->setResetPanAction(std::move(action));
}

void ImageListColumn::refresh()
{
    const qsizetype count = qsizetype(m_viewModel.items().size());
    m_count->setText(QString::number(count));
    const bool empty = count == 0;
    m_emptyTile->setVisible(empty);
    m_emptySpacer->setVisible(empty);
    m_list->setVisible(!empty);
    m_selectAll->setVisible(count >= 2);
    const bool all = m_viewModel.areAllImageItemsSelected();
    m_selectAll->setLook(toggleLook(all));
    m_selectAll->setText(all ? QStringLiteral("取消全选") : QStringLiteral("全选"));
    m_selectAll->setToolTip(all ? QStringLiteral("取消左侧图片列表的多选状态")
                                : QStringLiteral("选中左侧全部图片，便于批量导出或套用标注"));
    m_selectAll->setAccessibleName(all ? QStringLiteral("取消全选图片") : QStringLiteral("全选图片"));
}

void ImageListColumn::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), PanelChrome::withAlpha(AppTheme::background(), 0.65));
}
