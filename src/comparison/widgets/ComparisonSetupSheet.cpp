#include "comparison/widgets/ComparisonSetupSheet.h"

#include "comparison/widgets/CurrentImageCard.h"
#include "comparison/widgets/SheetButton.h"
#include "comparison/widgets/UploadCard.h"
#include "model/AppFont.h"
#include "model/TypeScale.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

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
    m_confirm->setEnabled(state.canCommit);
}

QString ComparisonSetupSheet::hintText() const
{
    return m_hint->text();
}
