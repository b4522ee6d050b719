#include "comparison/widgets/BatchComparisonSheet.h"

#include "comparison/widgets/FolderSlot.h"
#include "comparison/widgets/SheetButton.h"
#include "model/AppFont.h"
#include "model/TypeScale.h"

#include <QVBoxLayout>

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
    m_run->setEnabled(state.isRunning || state.canRun);
    m_run->setAttribute(Qt::WA_TransparentForMouseEvents, state.isRunning);
    for (QAbstractButton *button : findChildren<QAbstractButton *>()) {
        if (button != m_run)
            button->setEnabled(!state.isRunning);
    }
}
