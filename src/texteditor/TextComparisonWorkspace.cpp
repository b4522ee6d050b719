#include "texteditor/TextComparisonWorkspace.h"

#include "model/AppTheme.h"

#include <QPainter>
#include <QVBoxLayout>

TextComparisonWorkspace::TextComparisonWorkspace(QWidget *emptyState, TextComparisonSession &session,
                                                 TextComparisonActions actions, std::function<void()> cancelAction,
                                                 std::shared_ptr<TextExportDialogs> dialogs, int cancelSignal,
                                                 QWidget *parent)
    : QWidget(parent)
    , m_session(session)
    , m_actions(std::move(actions))
    , m_cancelAction(std::move(cancelAction))
    , m_dialogs(std::move(dialogs))
    , m_cancelSignal(cancelSignal)
    , m_emptyState(emptyState)
{
    setObjectName(QStringLiteral("textComparisonWorkspace"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_emptyState->setParent(this);
    layout->addWidget(m_emptyState);
}

void TextComparisonWorkspace::setComparison(const std::optional<TextComparisonState> &comparison)
{
    if (comparison && m_surface) {
        m_surface->setComparison(*comparison);
        return;
    }
    if (comparison) {
        m_surface = new TextComparisonSurface(*comparison, m_session, m_actions, *m_dialogs, this, m_paneDocuments);
        m_surface->setCancelSignal(m_cancelSignal);
        layout()->addWidget(m_surface);
        m_emptyState->hide();
        m_surface->show();
        return;
    }
    if (m_surface) {
        layout()->removeWidget(m_surface);
        m_surface->hide();
        m_surface->deleteLater();
        m_surface = nullptr;
    }
    m_emptyState->show();
}

void TextComparisonWorkspace::setCancelSignal(int signal)
{
    if (signal == m_cancelSignal)
        return;
    m_cancelSignal = signal;
    if (m_cancelAction)
        m_cancelAction();
    if (m_surface)
        m_surface->setCancelSignal(signal);
}

void TextComparisonWorkspace::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), AppTheme::paleSlate());
}
