#include "video/widgets/VideoTransportPanel.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/MarkupViewModel.h"
#include "model/TypeScale.h"
#include "video/VideoFrameAnnotationStore.h"
#include "video/widgets/VideoScrubber.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

TransportButton *iconButton(const QString &symbol, const QString &tip, int width, QWidget *parent)
{
    auto *button = new TransportButton({symbol, QString(), AppTheme::darkSlate()}, parent);
    button->setFixedSize(width, 34);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    return button;
}

} // namespace

VideoTransportPanel::VideoTransportPanel(VideoFrameAnnotationStore *store, MarkupViewModel *viewModel,
                                         const VideoWorkspaceActions &actions, QWidget *parent)
    : QWidget(parent), m_store(store), m_viewModel(viewModel), m_actions(actions)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(8);
    auto *controls = new QHBoxLayout;
    controls->setSpacing(8);
    auto *statusRow = new QHBoxLayout;
    statusRow->setSpacing(10);
    column->addLayout(controls);
    column->addLayout(statusRow);

    m_import = iconButton(QStringLiteral("video.badge.plus"), QStringLiteral("重新导入视频"), 34, this);
    m_import->setAccessibleName(QStringLiteral("导入视频"));
    m_previous = iconButton(QStringLiteral("backward.frame.fill"), QStringLiteral("上一帧"), 34, this);
    m_play = iconButton(QStringLiteral("play.fill"), QStringLiteral("播放预览"), 38, this);
    m_next = iconButton(QStringLiteral("forward.frame.fill"), QStringLiteral("下一帧"), 34, this);
    m_scrubber = new VideoScrubber(this);
    m_scrubber->setToolTip(QStringLiteral("拖动竖条选择要标注的视频画面"));
    m_counter = new QLabel(this);
    QFont counterFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    counterFont.setPixelSize(int(TypeScale::caption));
    counterFont.setWeight(QFont::DemiBold);
    m_counter->setFont(counterFont);
    // 112 wide, wider when a long video's counter needs it: the counter is never cut.
    m_counter->setMinimumWidth(112);
    m_counter->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_counter->setStyleSheet(QStringLiteral("color: #334155;"));
    m_spinner = new BusyMark(BusyMark::Face::Spokes, QString(), this);
    m_clear = new TransportButton({QStringLiteral("trash"), QStringLiteral("清除标注"), AppTheme::darkSlate(),
                                   Qt::white, AppTheme::lightSlate(), QStringLiteral("Z")},
                                  this);
    m_clear->setMinimumSize(96, 34);
    m_clear->setToolTip(QStringLiteral("清空当前画面的所有标注，保留当前帧画面"));
    m_save = new TransportButton(
        {QStringLiteral("square.and.arrow.down"), QStringLiteral("保存当前帧"), Qt::white, AppTheme::green()}, this);
    m_save->setMinimumSize(112, 34);
    m_save->setToolTip(QStringLiteral("把当前画面和标注保存为 PNG 图片到桌面"));
    // The titled buttons take the width of their face plus some room.
    for (TransportButton *button : {m_clear, m_save})
        button->setFixedWidth(std::max(button->minimumWidth(),
                                       int(QFontMetrics(button->font()).horizontalAdvance(button->face().title)) + 58));

    for (QWidget *item : std::initializer_list<QWidget *>{m_import, m_previous, m_play, m_next})
        controls->addWidget(item);
    controls->addWidget(m_scrubber, 1);
    for (QWidget *item : std::initializer_list<QWidget *>{m_counter, m_spinner, m_clear, m_save})
        controls->addWidget(item);

    const QFont captionFont = AppFont::font(TypeScale::caption, QFont::DemiBold);
    m_fileName = new ElidedLabel({captionFont, AppTheme::secondaryText(), Qt::ElideRight, Qt::AlignLeft,
                                  ElidedLabel::SizeRule::FitsText},
                                 this);
    m_status = new ElidedLabel({captionFont, AppTheme::secondaryText(), Qt::ElideRight, Qt::AlignRight,
                                ElidedLabel::SizeRule::FitsText},
                               this);
    statusRow->addWidget(m_fileName);
    statusRow->addStretch(1);
    statusRow->addWidget(m_status);

    auto call = [](const std::function<void()> &action) {
        if (action)
            action();
    };
    connect(m_import, &QAbstractButton::clicked, this, [this, call] { call(m_actions.importAction); });
    connect(m_play, &QAbstractButton::clicked, this, [this, call] { call(m_actions.togglePlaybackAction); });
    connect(m_clear, &QAbstractButton::clicked, this, [this, call] { call(m_actions.clearAnnotationsAction); });
    connect(m_save, &QAbstractButton::clicked, this, [this, call] { call(m_actions.saveCurrentFrameAction); });
    connect(m_previous, &QAbstractButton::clicked, this, [this] {
        if (m_actions.stepFrameAction)
            m_actions.stepFrameAction(-1);
    });
    connect(m_next, &QAbstractButton::clicked, this, [this] {
        if (m_actions.stepFrameAction)
            m_actions.stepFrameAction(1);
    });
    // The scrubber's writes go to the store's index through the preview, which sets it at once.
    connect(m_scrubber, &VideoScrubber::valueWritten, this, [this](double value) {
        if (!m_scrubber->isDragging() && m_actions.previewAction)
            m_actions.previewAction(value);
    });
    connect(m_scrubber, &VideoScrubber::valueChangedByUser, this, [this](double value) {
        if (m_actions.previewAction)
            m_actions.previewAction(value);
    });
    connect(m_scrubber, &VideoScrubber::editingChanged, this, &VideoTransportPanel::handleScrubEditingChanged);

    if (store) {
        for (auto signal : {&VideoFrameAnnotationStore::currentFrameIndexChanged,
                            &VideoFrameAnnotationStore::totalFrameCountChanged,
                            &VideoFrameAnnotationStore::isLoadingChanged, &VideoFrameAnnotationStore::isPlayingChanged,
                            &VideoFrameAnnotationStore::isSavingFrameChanged,
                            &VideoFrameAnnotationStore::statusTextChanged, &VideoFrameAnnotationStore::playerChanged,
                            &VideoFrameAnnotationStore::videoFileNameChanged, &VideoFrameAnnotationStore::videoURLChanged,
                            &VideoFrameAnnotationStore::frameRateChanged})
            connect(store, signal, this, &VideoTransportPanel::refresh);
    }
    if (viewModel) {
        for (auto signal : {&MarkupViewModel::itemsChanged, &MarkupViewModel::selectedItemIDChanged})
            connect(viewModel, signal, this, &VideoTransportPanel::refresh);
    }
    refresh();
}

void VideoTransportPanel::handleScrubEditingChanged(bool editing)
{
    if (!m_store)
        return;
    if (editing) {
        if (VideoPlayer *player = m_store->player())
            player->pause();
        m_store->setPlaying(false);
    } else if (m_actions.seekAction) {
        m_actions.seekAction(m_store->currentFrameIndex());
    }
}

void VideoTransportPanel::refresh()
{
    const bool loaded = m_store && m_store->hasAsset();
    const bool busy = m_store && m_store->isLoading();
    const bool transport = loaded && !busy;
    const bool playing = m_store && m_store->isPlaying();
    const bool hasAnnotations = m_viewModel && !m_viewModel->annotations().empty();
    const bool canSave = m_viewModel && m_viewModel->canExport();

    m_previous->setEnabled(transport);
    m_play->setEnabled(transport);
    m_next->setEnabled(transport);
    m_play->setSymbol(playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"));
    m_play->setToolTip(playing ? QStringLiteral("暂停预览") : QStringLiteral("播放预览"));
    m_play->setAccessibleName(playing ? QStringLiteral("暂停") : QStringLiteral("播放"));

    m_scrubber->setEnabled(transport);
    const int count = m_store ? m_store->totalFrameCount() : 0;
    m_scrubber->setRange(0, double(std::max(count - 1, 0)));
    m_scrubber->setValue(m_store ? m_store->currentFrameIndex() : 0);

    m_counter->setText(m_store ? m_store->frameCounterText() : QString());
    m_spinner->setVisible(busy);
    m_clear->setEnabled(hasAnnotations && !busy);
    m_save->setEnabled(canSave && !busy && !(m_store && m_store->isSavingFrame()));

    const QString name = m_store ? m_store->videoFileName() : QString();
    m_fileName->setText(name.isEmpty() ? QStringLiteral("未导入视频") : name);
    m_status->setText(m_store ? m_store->statusText() : QString());
}

void VideoTransportPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    QColor fill = Qt::white;
    fill.setAlphaF(0.94f);
    painter.fillPath(shape, fill);
    painter.setPen(QPen(AppTheme::lightSlate(), 1));
    painter.drawPath(shape);
}
