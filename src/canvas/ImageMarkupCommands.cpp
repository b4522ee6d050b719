#include "canvas/ImageMarkupCommands.h"

#include "markup/BackgroundDesktopSave.h"
#include "markup/DesktopImageSave.h"
#include "markup/MarkupViewportGeometry.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "ui/FeedbackButton.h"
#include "ui/ImportFileChooser.h"
#include "ui/MessageBoxConfirmer.h"

#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include <algorithm>
#include <cmath>

using DesktopImageSave::desktopFormat;

namespace {

// The green save button: white symbol and title on the confirming colour.
class SaveToDesktopButton final : public FeedbackButton {
public:
    explicit SaveToDesktopButton(QWidget *parent) : FeedbackButton(QStringLiteral("保存到桌面"), 8, parent) {}

    QSize sizeHint() const override
    {
        if (isCompact())
            return QSize(38, 38);
        const int content = iconSize().width() + 7 + fontMetrics().horizontalAdvance(text()) + 24;
        return QSize(std::max(108, content), 38);
    }

protected:
    void paintContent(QPainter &painter, const QRectF &rect) override
    {
        QPainterPath path;
        path.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(path, AppTheme::green());
        painter.setPen(QPen(AppTheme::green(), 1));
        painter.drawPath(path);
        const QSize iconExtent = iconSize();
        const double textWidth = isCompact() ? 0 : QFontMetricsF(font()).horizontalAdvance(text());
        const double left = rect.center().x() - (iconExtent.width() + (isCompact() ? 0 : 6) + textWidth) / 2;
        const QRect iconRect(int(std::lround(left)), int(std::lround(rect.center().y() - iconExtent.height() / 2.0)),
                             iconExtent.width(), iconExtent.height());
        icon().paint(&painter, iconRect);
        if (isCompact())
            return;
        painter.setFont(font());
        painter.setPen(Qt::white);
        painter.drawText(QRectF(iconRect.right() + 7, rect.top(), textWidth + 2, rect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, text());
    }
};

} // namespace

ImageMarkupCommands::ImageMarkupCommands(ImageMarkupHost &host, QWidget *dialogParent)
    : m_host(host),
      m_dialogParent(dialogParent),
      m_confirmer(std::make_unique<MessageBoxConfirmer>(dialogParent)),
      m_fileChooser(std::make_unique<ImportFileChooser>(dialogParent))
{
}

ImageMarkupCommands::~ImageMarkupCommands() = default;

void ImageMarkupCommands::presentImageImportPanel()
{
    const std::optional<QStringList> paths = m_fileChooser->chooseImagesAndFolders();
    if (!paths)
        return;
    m_host.setWorkspaceMode(WorkspaceMode::ImageMarkup);
    m_host.setPanOffset(QSizeF(0, 0));
    m_host.setDropTargeted(false);
    MarkupViewModel &model = m_host.viewModel();
    model.importImages(*paths, model.items().empty());
}

QToolButton *ImageMarkupCommands::imageAnnotationMenuButton(QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setText(QStringLiteral("标注"));
    button->setIcon(SymbolIcons::icon(QStringLiteral("paintbrush.pointed"), AppTheme::darkSlate()));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setFont(AppFont::font(TypeScale::button, QFont::DemiBold));
    button->setMinimumSize(78, 38);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolTip(QStringLiteral("批量套用当前图标注，或清空当前图的全部标注"));
    button->setAccessibleName(QStringLiteral("标注"));
    button->setStyleSheet(QStringLiteral(
        "QToolButton { color: #334155; background: #F1F5F9; border: 1px solid #DDE3EA; border-radius: 8px;"
        " padding: 0 4px; }"
        "QToolButton:pressed { background: #E3E9F2; }"
        "QToolButton::menu-indicator { image: none; width: 0; }"));
    auto *menu = new QMenu(button);
    menu->setToolTipsVisible(true);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillImageAnnotationMenu(*menu); });
    button->setMenu(menu);
    return button;
}

void ImageMarkupCommands::fillImageAnnotationMenu(QMenu &menu)
{
    menu.clear();
    MarkupViewModel &model = m_host.viewModel();
    const bool canApply = model.canApplyAnnotationsToSelectedImages();
    QAction *all = menu.addAction(QStringLiteral("套用全部标注"));
    all->setEnabled(canApply);
    all->setToolTip(QStringLiteral("把当前图片的全部标注复制到左侧选中的其他图片"));
    connect(all, &QAction::triggered, this, [this] {
        m_host.viewModel().applyCurrentAnnotationsToSelectedImages(false);
    });
    QAction *selected = menu.addAction(QStringLiteral("套用选中标注"));
    selected->setEnabled(canApply);
    selected->setToolTip(QStringLiteral("只把当前选中的标注复制到左侧选中的其他图片"));
    connect(selected, &QAction::triggered, this, [this] {
        m_host.viewModel().applyCurrentAnnotationsToSelectedImages(true);
    });
    QAction *clear = menu.addAction(QStringLiteral("清空当前图标注"));
    clear->setToolTip(QStringLiteral("删除当前图片上的所有标注，可用于重新开始"));
    connect(clear, &QAction::triggered, this, [this] { confirmClearImageAnnotations(); });
}

FeedbackButton *ImageMarkupCommands::saveToDesktopButton(QWidget *parent)
{
    auto *button = new SaveToDesktopButton(parent);
    button->setIcon(SymbolIcons::icon(QStringLiteral("square.and.arrow.down"), Qt::white));
    button->setIconSize(QSize(15, 15));
    button->setFont(AppFont::font(TypeScale::button, QFont::DemiBold));
    button->setMinimumHeight(38);
    button->setToolTip(QStringLiteral("把当前图片或左侧选中的图片保存到桌面"));
    button->setAccessibleName(QStringLiteral("保存到桌面"));
    connect(button, &QAbstractButton::clicked, this, [this] { saveSelectedImagesToDesktopAction(); });
    return button;
}

void ImageMarkupCommands::saveSelectedImagesToDesktopAction()
{
    MarkupViewModel &model = m_host.viewModel();
    if (model.isSavingImagesToDesktop())
        return;
    if (!m_desktopSave)
        m_desktopSave = std::make_unique<BackgroundDesktopSave>(model);
    m_desktopSave->start(desktopFormat.format, desktopFormat.jpegQuality);
}

bool ImageMarkupCommands::deleteImageMarkupSelection()
{
    MarkupViewModel &model = m_host.viewModel();
    if (model.selectedAnnotationCount() < 1)
        return confirmDeleteSelectedImageItems();
    if (!model.deleteSelectedAnnotations())
        return false;
    model.setStatusMessage(QStringLiteral("已删除标注，可按 Ctrl+Z 撤销"));
    return true;
}

void ImageMarkupCommands::fitImageMarkupCanvas()
{
    MarkupViewModel &model = m_host.viewModel();
    const std::optional<qsizetype> index = model.selectedIndex();
    if (!index)
        return;
    const QSizeF pixels = model.items()[size_t(*index)].pixelSize;
    model.setZoom(MarkupGeometry::fittedZoom(pixels, MarkupGeometry::imageMarkupFitBox));
    m_host.setPanOffset(QSizeF(0, 0));
}

std::optional<ConfirmationRequest> ImageMarkupCommands::deleteImagesRequest() const
{
    const std::vector<ImageMarkupItem> images = m_host.viewModel().selectedImageItems();
    if (images.size() >= 2) {
        return ConfirmationRequest{QStringLiteral("删除选中的 %1 张图片？").arg(images.size()),
                                   QStringLiteral("这些图片和上面的标注都会被删除。"), QStringLiteral("删除")};
    }
    if (images.empty())
        return std::nullopt;
    // The image that will go: with a Ctrl-click the one marked in the list may not be the one on
    // the canvas.
    return ConfirmationRequest{QStringLiteral("删除这张图片？"),
                               QStringLiteral("图片\u201C%1\u201D和上面的标注都会被删除。").arg(images.front().fileName),
                               QStringLiteral("删除")};
}

bool ImageMarkupCommands::confirmDeleteSelectedImageItems()
{
    MarkupViewModel &model = m_host.viewModel();
    const std::optional<ConfirmationRequest> request = deleteImagesRequest();
    if (request && !m_confirmer->confirm(*request))
        return false;
    return model.deleteSelectedImageItems();
}

void ImageMarkupCommands::confirmClearImageAnnotations()
{
    MarkupViewModel &model = m_host.viewModel();
    const std::optional<qsizetype> index = model.selectedIndex();
    if (!index || model.items()[size_t(*index)].annotations.empty()) {
        model.clearSelectedImageAnnotations();
        return;
    }
    const ConfirmationRequest request{QStringLiteral("清空当前图片标注？"),
                                      QStringLiteral("只会清空当前图片上的标注，不会删除图片。可以按 Ctrl+Z 撤销。"),
                                      QStringLiteral("清空")};
    if (m_confirmer->confirm(request))
        model.clearSelectedImageAnnotations();
}
