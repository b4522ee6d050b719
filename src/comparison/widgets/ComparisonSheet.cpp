#include "comparison/widgets/ComparisonSheet.h"

#include "comparison/widgets/CurrentImageCard.h"
#include "comparison/widgets/FolderSlot.h"
#include "comparison/widgets/SheetButton.h"
#include "comparison/widgets/UploadCard.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "ui/PanelChrome.h"
#include "ui/SymbolButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

void setPrimaryColors(SheetButton &button)
{
    button.setColors(Qt::white, AppTheme::green());
}

} // namespace

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

// ---- Setup sheet -----------------------------------------------------------------------------------

ComparisonSetupSheet::ComparisonSetupSheet(QWidget *parent)
    : ComparisonSheet(620, parent)
{
    setObjectName(QStringLiteral("comparisonSetupSheet"));
    setWindowTitle(QStringLiteral("图片对比"));
    m_hint = addHeader(QStringLiteral("图片对比"), QString());

    m_twoSlots = new QWidget(this);
    auto *two = new QHBoxLayout(m_twoSlots);
    two->setContentsMargins(0, 0, 0, 0);
    two->setSpacing(14);
    m_beforeCard = new UploadCard(QStringLiteral("修改前图片"), m_twoSlots);
    m_afterCard = new UploadCard(QStringLiteral("修改后图片"), m_twoSlots);
    two->addWidget(m_beforeCard);
    two->addWidget(m_afterCard);
    two->addStretch(1);
    m_rows->addWidget(m_twoSlots);

    m_currentSlots = new QWidget(this);
    auto *current = new QVBoxLayout(m_currentSlots);
    current->setContentsMargins(0, 0, 0, 0);
    current->setSpacing(10);
    m_currentCard = new CurrentImageCard(m_currentSlots);
    m_currentCard->setFixedWidth(620 - 44);
    current->addWidget(m_currentCard);
    m_currentAfterCard = new UploadCard(QStringLiteral("上传修改后图片"), m_currentSlots);
    current->addWidget(m_currentAfterCard, 0, Qt::AlignLeft);
    m_rows->addWidget(m_currentSlots);

    const auto choose = [this](bool isAfter) {
        if (chooseAction)
            chooseAction(isAfter);
    };
    connect(m_beforeCard, &QAbstractButton::clicked, this, [choose] { choose(false); });
    connect(m_afterCard, &QAbstractButton::clicked, this, [choose] { choose(true); });
    connect(m_currentAfterCard, &QAbstractButton::clicked, this, [choose] { choose(true); });

    m_confirm = new SheetButton(QStringLiteral("确定"), QString(), AppFont::font(TypeScale::emphasis, QFont::Bold), QSize(92, 38), this);
    m_confirm->setObjectName(QStringLiteral("comparisonConfirmButton"));
    setPrimaryColors(*m_confirm);
    connect(m_confirm, &QAbstractButton::clicked, this, [this] {
        if (commitAction)
            commitAction();
    });
    addFooter(m_confirm);
    refresh({});
}

void ComparisonSetupSheet::refresh(const State &state)
{
    m_hint->setText(state.usesCurrentImageAsBefore ? QStringLiteral("当前图片已作为修改前图片，只需上传修改后的图片。")
                                                   : QStringLiteral("分别上传修改前和修改后的图片，然后拖动中线查看差异。"));
    m_twoSlots->setVisible(!state.usesCurrentImageAsBefore);
    m_currentSlots->setVisible(state.usesCurrentImageAsBefore);
    m_beforeCard->setImage(state.before);
    m_afterCard->setImage(state.after);
    m_currentAfterCard->setImage(state.after);
    m_currentCard->setImage(state.before);
    m_confirm->setEnabled(state.before.has_value() && state.after.has_value());
}

QString ComparisonSetupSheet::hintText() const
{
    return m_hint->text();
}

// ---- Batch sheet -----------------------------------------------------------------------------------

BatchComparisonSheet::BatchComparisonSheet(QWidget *parent)
    : ComparisonSheet(540, parent)
{
    setObjectName(QStringLiteral("batchComparisonSheet"));
    setWindowTitle(QStringLiteral("批量添加图片对比"));
    addHeader(QStringLiteral("批量添加图片对比"), QStringLiteral("分别选择修改前和修改后文件夹，系统会按文件名自动匹配。"));

    auto *slots = new QVBoxLayout;
    slots->setSpacing(10);
    m_beforeSlot = new FolderSlot(QStringLiteral("修改前文件夹"), QStringLiteral("选择存放修改前图片的文件夹"), this);
    m_afterSlot = new FolderSlot(QStringLiteral("修改后文件夹"), QStringLiteral("选择存放修改后图片的文件夹"), this);
    for (FolderSlot *slot : {m_beforeSlot, m_afterSlot}) {
        slot->setFixedWidth(540 - 44);
        slots->addWidget(slot);
    }
    m_rows->addLayout(slots);
    connect(m_beforeSlot->chooseButton(), &QAbstractButton::clicked, this, [this] {
        if (chooseAction)
            chooseAction(false);
    });
    connect(m_afterSlot->chooseButton(), &QAbstractButton::clicked, this, [this] {
        if (chooseAction)
            chooseAction(true);
    });

    m_run = new SheetButton(QStringLiteral("开始添加"), QStringLiteral("checkmark"), AppFont::font(TypeScale::emphasis, QFont::Bold),
                            QSize(108, 38), this);
    m_run->setObjectName(QStringLiteral("batchRunButton"));
    setPrimaryColors(*m_run);
    connect(m_run, &QAbstractButton::clicked, this, [this] {
        if (runAction)
            runAction();
    });
    addFooter(m_run);
    refresh({});
}

void BatchComparisonSheet::refresh(const State &state)
{
    m_beforeSlot->setFolder(state.beforeFolder);
    m_afterSlot->setFolder(state.afterFolder);
    m_run->setBusy(state.isRunning);
    // While a run decodes, the sheet takes no other input.
    m_run->setEnabled(state.isRunning || (state.beforeFolder && state.afterFolder));
    m_run->setAttribute(Qt::WA_TransparentForMouseEvents, state.isRunning);
    for (QAbstractButton *button : findChildren<QAbstractButton *>()) {
        if (button != m_run)
            button->setEnabled(!state.isRunning);
    }
}
