#include "texteditor/TextComparisonSurface.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "model/TypeScale.h"
#include "platform/SymbolIcons.h"
#include "texteditor/AnnotationNoteInput.h"
#include "texteditor/AnnotationTextView.h"
#include "texteditor/ChangeStrip.h"
#include "texteditor/HighlightedTextEditor.h"
#include "texteditor/MarkupLegend.h"
#include "texteditor/MarkupToolButton.h"
#include "texteditor/RoundedPanel.h"
#include "texteditor/SurfaceButton.h"
#include "texteditor/SurfaceColor.h"
#include "texteditor/SyncedOriginalTextView.h"
#include "texteditor/TextComparisonScrollSync.h"
#include "texteditor/TextExportDialogs.h"
#include "texteditor/TextPaneDocuments.h"
#include "textengine/CarriedChanges.h"
#include "textengine/TextComparisonExecutor.h"
#include "textengine/TextComparisonRules.h"
#include "textengine/TextComparisonSession.h"
#include "textengine/TextComparisonSummary.h"
#include "ui/BusyMark.h"
#include "ui/ColorSwatchButton.h"
#include "ui/PanelChrome.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

const QString comparingWords = QStringLiteral("正在对比…");
const QString comparingTip = QStringLiteral("正在对比原文与修改文案，完成后更新高亮和修改列表");
const QString fillingWords = QStringLiteral("正在排版…");
const QString fillingTip = QStringLiteral("正在排版长文案，完成后即可继续编辑");

// The panes fill long texts in where the session searches, whichever executor it has by then.
class SurfaceFillExecutor final : public TextComparisonExecutor {
public:
    explicit SurfaceFillExecutor(TextComparisonSession &session)
        : m_session(&session)
    {
    }
    void start(std::function<void()> job) override
    {
        if (!m_session || !m_session->executor())
            throw std::runtime_error("no executor");
        m_session->executor()->start(std::move(job));
    }

private:
    QPointer<TextComparisonSession> m_session;
};

using PanelChrome::label;


// A plain filled area (the header and the strip are white, the working row pale slate).
class FilledArea : public QWidget {
public:
    FilledArea(const QColor &color, QWidget *parent)
        : QWidget(parent)
    {
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, color);
        setPalette(palette);
    }
};

// The popover card with its downward pointer; the pointer's offset from the centre is set by
// the surface.
class NotePopoverFrame : public QWidget {
public:
    explicit NotePopoverFrame(QWidget *parent)
        : QWidget(parent)
    {
    }
    qreal pointerOffset = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF card(0.5, 0.5, width() - 1, 124 - 1);
        for (int k = 3; k >= 1; --k) {
            QPainterPath shadow;
            shadow.addRoundedRect(card.translated(0, 2 * k).adjusted(-k, -k, k, k), 8 + k, 8 + k);
            painter.fillPath(shadow, QColor(0, 0, 0, 8));
        }
        QPainterPath path;
        path.addRoundedRect(card, 8, 8);
        painter.fillPath(path, QColor(255, 255, 255, 250));
        painter.setPen(QPen(surfaceColor("#DDE3EA", 0.95), 1));
        painter.drawPath(path);
        const qreal centre = width() / 2.0 + pointerOffset;
        QPainterPath pointer;
        pointer.moveTo(centre - 7, 123.5);
        pointer.lineTo(centre + 7, 123.5);
        pointer.lineTo(centre, 133);
        pointer.closeSubpath();
        painter.fillPath(pointer, QColor(255, 255, 255, 250));
    }
};

} // namespace

const QStringList &TextComparisonSurface::quickNotePhrases()
{
    static const QStringList phrases { QStringLiteral("错别字"), QStringLiteral("建议删除"), QStringLiteral("表述不清"),
                                       QStringLiteral("需确认") };
    return phrases;
}

const std::vector<std::pair<QString, QString>> &TextComparisonSurface::markupColorOptions()
{
    static const std::vector<std::pair<QString, QString>> options {
        { QStringLiteral("黄色标注"), QStringLiteral("#FDE047") },
        { QStringLiteral("绿色标注"), QStringLiteral("#16A34A") },
        { QStringLiteral("红色标注"), QStringLiteral("#DC2626") },
        { QStringLiteral("橙色标注"), QStringLiteral("#D97706") },
        { QStringLiteral("蓝色标注"), QStringLiteral("#2563EB") },
        { QStringLiteral("紫色标注"), QStringLiteral("#7C3AED") }
    };
    return options;
}

TextComparisonSurface::TextComparisonSurface(const TextComparisonState &comparison, TextComparisonSession &session,
                                             TextComparisonActions actions, TextExportDialogs &dialogs, QWidget *parent,
                                             std::shared_ptr<TextPaneDocuments> paneDocuments)
    : QWidget(parent)
    , m_comparison(comparison)
    , m_actions(std::move(actions))
    , m_dialogs(dialogs)
    , m_scrollSync(std::make_shared<TextComparisonScrollSync>())
    , m_paneDocuments(std::move(paneDocuments))
    , m_session(&session)
    , m_busyTimer(new QTimer(this))
{
    m_busyTimer->setSingleShot(true);
    m_busyTimer->setInterval(busyMarkDelayMs);
    connect(m_busyTimer, &QTimer::timeout, this, [this] {
        if (m_comparisonPending && m_session && m_session->isComparing())
            showComparing();
    });
    connect(&session, &TextComparisonSession::resultChanged, this, [this] { comparisonArrived(); });
    connect(&session, &TextComparisonSession::comparingChanged, this, [this] { refreshBusyMark(); });
    setObjectName(QStringLiteral("textComparisonSurface"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(24, 24, 24, 24);
    auto *card = new RoundedPanel(Qt::white, AppTheme::lightSlate(), 1, this);
    outer->addWidget(card);
    auto *cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(1, 1, 1, 1);
    cardLayout->setSpacing(0);
    buildHeader(cardLayout);
    buildWorkingRow(cardLayout);
    buildStrip(cardLayout);
    // Entering the workspace again: the panes show the documents laid out last time, and the
    // comparison they showed stands until this surface's own answers.
    if (m_paneDocuments) {
        if (std::optional<TextPaneDocuments::Shown> shown
            = m_paneDocuments->lend(m_originalView, m_editor, m_comparison.originalText)) {
            m_changes = std::move(shown->changes);
            m_aligned = std::move(shown->alignedOriginal);
            m_alignedFrom = std::move(shown->originalText);
            m_changesFor = std::move(shown->editedText);
        }
    }
    const auto fills = std::make_shared<SurfaceFillExecutor>(session);
    m_originalView->setFillExecutor(fills);
    m_editor->setFillExecutor(fills);
    connect(m_originalView, &SyncedOriginalTextView::fillingChanged, this, [this] { refreshBusyMark(); });
    refreshDocument();
    refreshChrome();
    startAtFirstLine();
}

// Nothing to wait for: the comparison belongs to the session, which drops answers nobody wants.
// The panes' documents stay behind for the next entry.
TextComparisonSurface::~TextComparisonSurface()
{
    if (!m_paneDocuments)
        return;
    m_paneDocuments->keep(m_originalView, m_editor, { m_alignedFrom, m_changes, m_aligned, m_changesFor });
    // The panes still point at those documents. They go now, while this surface's share keeps the
    // documents alive: when the window closes, the hookup's share may be gone already, and the
    // documents would go with this surface's members, before the child widgets.
    delete m_editor;
    delete m_originalView;
}

void TextComparisonSurface::buildHeader(QVBoxLayout *card)
{
    auto *header = new FilledArea(Qt::white, this);
    header->setFixedHeight(64);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(18, 0, 18, 0);
    row->setSpacing(10);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(3);
    titles->addStretch(1);
    titles->addWidget(
        label(QStringLiteral("文案对比"), AppFont::font(TypeScale::title, QFont::Bold), AppTheme::primaryText(), header));
    m_summary = label(QString(), AppFont::font(TypeScale::caption, QFont::Medium), AppTheme::secondaryText(), header);
    m_summary->setObjectName(QStringLiteral("textComparisonSummary"));
    auto *summaryRow = new QHBoxLayout;
    summaryRow->setSpacing(10);
    summaryRow->addWidget(m_summary);
    m_busyMark = new BusyMark(BusyMark::Face::Ring, comparingWords, header);
    m_busyMark->setObjectName(QStringLiteral("comparisonBusyMark"));
    m_busyMark->setToolTip(comparingTip);
    m_busyMark->hide();
    summaryRow->addWidget(m_busyMark);
    summaryRow->addStretch(1);
    titles->addLayout(summaryRow);
    titles->addStretch(1);
    row->addLayout(titles);
    row->addStretch(1);

    m_upload = new SurfaceButton(QStringLiteral("上传原文"), QString(), QSize(86, 36), header);
    m_upload->setToolTip(QStringLiteral("重新上传 TXT、RTF 或 DOCX 原文进行文案对比"));
    connect(m_upload, &QAbstractButton::clicked, this, [this] {
        if (m_actions.open)
            m_actions.open();
    });
    row->addWidget(m_upload);

    auto *tools = new RoundedPanel(AppTheme::paleGray(), AppTheme::lightSlate(), 1, header);
    tools->setFixedHeight(38);
    auto *toolRow = new QHBoxLayout(tools);
    toolRow->setContentsMargins(8, 0, 8, 0);
    toolRow->setSpacing(7);
    struct ToolInfo {
        TextComparisonMarkupTool tool;
        const char *title;
        const char *accessibility;
        const char *symbol;
        const char *help;
        const char *badge;
    };
    const ToolInfo infos[] = {
        { TextComparisonMarkupTool::Note, "批注", "批注", "text.bubble",
          "选中文字后添加批注说明，批注会单独显示在对应文字上方", "#DC2626" },
        { TextComparisonMarkupTool::Underline, "下划", "下划线", "underline",
          "给选中文字加绿色下划线，适合标记新增或需要保留的内容", "#16A34A" },
        { TextComparisonMarkupTool::Strikethrough, "划掉", "划掉", "strikethrough",
          "给选中文字加红色划掉线，适合标记删除或不建议使用的内容", "#DC2626" },
    };
    int position = 1;
    for (const ToolInfo &info : infos) {
        const QString key = QString::number(position++);
        auto *button = new MarkupToolButton(QString::fromUtf8(info.title), QString::fromLatin1(info.symbol), key,
                                            QString::fromLatin1(info.badge), tools);
        button->setToolTip(QString::fromUtf8(info.help) + QStringLiteral("；快捷键 ") + key);
        button->setAccessibleName(QString::fromUtf8(info.accessibility) + QStringLiteral("，快捷键 ") + key);
        const TextComparisonMarkupTool tool = info.tool;
        connect(button, &QAbstractButton::clicked, this, [this, tool] { applyMarkupTool(tool); });
        toolRow->addWidget(button);
        m_tools.push_back(button);
    }
    auto *divider = new QFrame(tools);
    divider->setFixedSize(1, 22);
    divider->setStyleSheet(QStringLiteral("background: #DDE3EA;"));
    toolRow->addSpacing(1);
    toolRow->addWidget(divider);
    toolRow->addSpacing(1);
    auto *swatchRow = new QHBoxLayout;
    swatchRow->setSpacing(5);
    for (const auto &option : markupColorOptions()) {
        auto *swatch = new ColorSwatchButton(option.first, option.second, ColorSwatchButton::Style::Toolbar, tools);
        const QString value = option.second;
        connect(swatch, &QAbstractButton::clicked, this, [this, value] { selectMarkupColor(value); });
        swatchRow->addWidget(swatch);
        m_swatches.push_back(swatch);
    }
    toolRow->addLayout(swatchRow);
    row->addWidget(tools);

    m_save = new SurfaceButton(QStringLiteral("保存到桌面"), QString(), QSize(86, 36), header);
    m_save->setColors(Qt::white, AppTheme::green(), AppTheme::green());
    m_save->setToolTip(QStringLiteral("把文案对比页面保存为图片到桌面"));
    connect(m_save, &QAbstractButton::clicked, this, [this] { confirmExportScope(ExportTarget::Image); });
    row->addWidget(m_save);

    m_export
        = new SurfaceButton(QStringLiteral("导出"), QStringLiteral("square.and.arrow.down"), QSize(86, 36), header);
    m_export->setToolTip(QStringLiteral("导出文案对比为 PDF 或可编辑 Word"));
    m_exportMenu = new QMenu(m_export);
    QAction *pdf = m_exportMenu->addAction(QStringLiteral("PDF"));
    pdf->setToolTip(QStringLiteral("导出不可编辑的 PDF，适合发给他人确认"));
    QAction *word = m_exportMenu->addAction(QStringLiteral("Word"));
    word->setToolTip(QStringLiteral("导出可编辑的 Word 文档，适合继续修改"));
    m_exportMenu->setToolTipsVisible(true);
    connect(pdf, &QAction::triggered, this, [this] { confirmExportScope(ExportTarget::Pdf); });
    connect(word, &QAction::triggered, this, [this] { confirmExportScope(ExportTarget::Word); });
    connect(m_export, &QAbstractButton::clicked, this,
            [this] { m_exportMenu->popup(m_export->mapToGlobal(QPoint(0, m_export->height() + 2))); });
    row->addWidget(m_export);
    card->addWidget(header);
}

void TextComparisonSurface::buildWorkingRow(QVBoxLayout *card)
{
    auto *area = new FilledArea(AppTheme::paleSlate(), this);
    m_workingRow = new QHBoxLayout(area);
    m_workingRow->setContentsMargins(18, 18, 18, 18);
    m_workingRow->setSpacing(14);
    auto *column = new QVBoxLayout;
    column->setSpacing(10);
    column->addWidget(buildToolStrip());
    auto *panes = new QHBoxLayout;
    panes->setSpacing(14);
    panes->addWidget(buildOriginalPane(), 1);
    panes->addWidget(buildEditedPane(), 1);
    column->addLayout(panes, 1);
    m_workingRow->addLayout(column, 1);
    buildListPanel();
    m_workingRow->addWidget(m_listPanel);
    card->addWidget(area, 1);
}

QWidget *TextComparisonSurface::buildToolStrip()
{
    auto *strip = new QWidget(this);
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);

    auto *search = new RoundedPanel(Qt::white, AppTheme::lightSlate(), 1, strip);
    search->setFixedHeight(34);
    auto *searchRow = new QHBoxLayout(search);
    searchRow->setContentsMargins(8, 0, 8, 0);
    searchRow->setSpacing(6);
    auto *glass = new QLabel(search);
    glass->setPixmap(SymbolIcons::icon(QStringLiteral("magnifyingglass"), AppTheme::secondaryText()).pixmap(13, 13));
    searchRow->addWidget(glass);
    m_searchField = new QLineEdit(search);
    m_searchField->setPlaceholderText(QStringLiteral("查找文字"));
    m_searchField->setFont(AppFont::font(TypeScale::body, QFont::DemiBold));
    m_searchField->setFrame(false);
    m_searchField->setFixedWidth(150);
    m_searchField->setAcceptDrops(false);
    connect(m_searchField, &QLineEdit::textChanged, this, [this](const QString &text) { m_state.searchText = text; });
    connect(m_searchField, &QLineEdit::returnPressed, this, [this] { performSearch(); });
    searchRow->addWidget(m_searchField);
    auto *go = new SurfaceButton(QString(), QStringLiteral("arrow.down"), QSize(24, 24), search);
    go->setCornerRadius(6);
    go->setColors(AppTheme::darkSlate(), QColor(), QColor());
    go->setFixedSize(24, 24);
    go->setToolTip(QStringLiteral("查找并跳到匹配文字"));
    connect(go, &QAbstractButton::clicked, this, [this] { performSearch(); });
    searchRow->addWidget(go);
    row->addWidget(search);

    auto *quick = new QHBoxLayout;
    quick->setSpacing(6);
    for (const QString &phrase : quickNotePhrases()) {
        auto *button = new SurfaceButton(phrase, QString(), QSize(58 + 8, 30), strip);
        button->setLabelFont(AppFont::font(TypeScale::caption, QFont::Bold));
        button->setColors(AppTheme::darkSlate(), Qt::white, AppTheme::lightSlate());
        button->setToolTip(QStringLiteral("快速填入“") + phrase + QStringLiteral("”批注模板"));
        connect(button, &QAbstractButton::clicked, this, [this, phrase] { applyQuickNote(phrase); });
        quick->addWidget(button);
        m_quickNotes.push_back(button);
    }
    row->addLayout(quick);
    row->addWidget(new MarkupLegend(strip));
    row->addStretch(1);
    m_listToggle
        = new SurfaceButton(QStringLiteral("隐藏列表"), QStringLiteral("list.bullet.rectangle"), QSize(86, 34), strip);
    m_listToggle->setLabelFont(AppFont::font(TypeScale::body, QFont::Bold));
    m_listToggle->setColors(AppTheme::darkSlate(), Qt::white, AppTheme::lightSlate());
    connect(m_listToggle, &QAbstractButton::clicked, this, [this] { toggleAnnotationList(); });
    row->addWidget(m_listToggle);
    return strip;
}

QWidget *TextComparisonSurface::buildOriginalPane()
{
    auto *pane = new RoundedPanel(Qt::white, AppTheme::lightSlate(), 1, this);
    auto *column = new QVBoxLayout(pane);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(10);
    column->addWidget(label(QStringLiteral("原文"), AppFont::font(TypeScale::emphasis, QFont::Bold), AppTheme::primaryText(), pane));
    auto *box = new RoundedPanel(AppTheme::paleGray(), AppTheme::lightSlate(), 1, pane);
    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(1, 1, 1, 1);
    m_originalView = new SyncedOriginalTextView(m_scrollSync, box);
    boxLayout->addWidget(m_originalView);
    m_originalEmpty
        = label(QStringLiteral("原文为空"), AppFont::font(TypeScale::emphasis, QFont::DemiBold), AppTheme::secondaryText(), box);
    m_originalEmpty->setAlignment(Qt::AlignCenter);
    boxLayout->addWidget(m_originalEmpty);
    column->addWidget(box, 1);
    return pane;
}

QWidget *TextComparisonSurface::buildEditedPane()
{
    auto *pane = new RoundedPanel(Qt::white, AppTheme::lightSlate(), 1, this);
    auto *column = new QVBoxLayout(pane);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(10);
    column->addWidget(label(QStringLiteral("修改文案"), AppFont::font(TypeScale::emphasis, QFont::Bold), AppTheme::primaryText(), pane));
    m_editorBox = new RoundedPanel(AppTheme::paleGray(), AppTheme::lightSlate(), 1.2, pane);
    auto *boxLayout = new QVBoxLayout(m_editorBox);
    boxLayout->setContentsMargins(1, 1, 1, 1);
    HighlightedTextEditor::Callbacks callbacks;
    callbacks.textEdited = [this](const QString &text) {
        if (m_actions.editText)
            m_actions.editText(text);
    };
    callbacks.selectionReported
        = [this](std::optional<TextRange> range, std::optional<QRectF> rect) { selectionReported(range, rect); };
    callbacks.rectsReported
        = [this](const std::map<QUuid, QRectF> &annotations, const std::map<QUuid, QRectF> &callouts) {
              m_state.annotationRects = annotations;
              m_state.calloutRects = callouts;
          };
    callbacks.editCallout = [this](const TextMarkupAnnotation &annotation) { editAnnotationNote(annotation); };
    callbacks.deleteCallout = [this](const QUuid &id) { deleteAnnotation(id); };
    callbacks.undo = [this] { return m_actions.undo ? m_actions.undo() : false; };
    callbacks.redo = [this] { return m_actions.redo ? m_actions.redo() : false; };
    callbacks.shortcut = [this](const QString &key) { return applyMarkupShortcut(key); };
    callbacks.fillingChanged = [this](bool) { refreshBusyMark(); };
    m_editor = new HighlightedTextEditor(m_scrollSync, callbacks, m_editorBox);
    boxLayout->addWidget(m_editor);
    buildPopover();
    m_editorBox->installEventFilter(this);
    column->addWidget(m_editorBox, 1);
    return pane;
}

void TextComparisonSurface::buildPopover()
{
    auto *frame = new NotePopoverFrame(m_editorBox);
    m_popover = frame;
    m_popover->setObjectName(QStringLiteral("notePopover"));
    auto *column = new QVBoxLayout(frame);
    column->setContentsMargins(12, 10, 12, 10 + 9);
    column->setSpacing(8);
    auto *header = new QHBoxLayout;
    header->setSpacing(6);
    auto *icon = new QLabel(frame);
    icon->setPixmap(SymbolIcons::icon(QStringLiteral("text.bubble"), AppTheme::navy()).pixmap(14, 14));
    icon->setFixedSize(18, 18);
    icon->setAlignment(Qt::AlignCenter);
    header->addWidget(icon);
    header->addWidget(label(QStringLiteral("批注"), AppFont::font(TypeScale::body, QFont::Bold), AppTheme::primaryText(), frame));
    header->addStretch(1);
    column->addLayout(header);
    auto *inputRow = new QHBoxLayout;
    inputRow->setSpacing(10);
    auto *inputBox = new RoundedPanel(surfaceColor("#F1F5F9", 0.86), surfaceColor("#DDE3EA", 0.9), 1, frame);
    inputBox->setFixedHeight(66);
    auto *inputLayout = new QVBoxLayout(inputBox);
    inputLayout->setContentsMargins(0, 0, 0, 0);
    m_noteInput = new AnnotationNoteInput(inputBox);
    m_noteInput->textEdited = [this](const QString &text) { m_state.activeNote = text; };
    m_noteInput->submit = [this] {
        if (const std::optional<TextRange> range = markupTargetRange())
            commitNote(range->location, range->length);
    };
    inputLayout->addWidget(m_noteInput);
    inputRow->addWidget(inputBox, 1, Qt::AlignTop);
    auto *confirm = new SurfaceButton(QString(), QStringLiteral("checkmark"), QSize(48, 48), frame);
    confirm->setColors(Qt::white, AppTheme::green(), AppTheme::green());
    confirm->setFixedSize(48, 48);
    confirm->setToolTip(QStringLiteral("确认批注"));
    confirm->setAccessibleName(QStringLiteral("确认批注"));
    connect(confirm, &QAbstractButton::clicked, this, [this] {
        if (const std::optional<TextRange> range = markupTargetRange())
            commitNote(range->location, range->length);
    });
    m_confirm = confirm;
    inputRow->addWidget(confirm, 0, Qt::AlignTop);
    column->addLayout(inputRow);
    column->addStretch(1);
    m_popover->hide();
}

QWidget *TextComparisonSurface::confirmNoteButton() const { return m_confirm; }

QWidget *TextComparisonSurface::originalEmptyLabel() const { return m_originalEmpty; }

void TextComparisonSurface::buildListPanel()
{
    auto *panel = new RoundedPanel(Qt::white, AppTheme::lightSlate(), 1, this);
    panel->setObjectName(QStringLiteral("annotationListPanel"));
    panel->setFixedWidth(228);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(10);
    auto *header = new QHBoxLayout;
    header->addWidget(
        label(QStringLiteral("批注列表"), AppFont::font(TypeScale::emphasis, QFont::Bold), AppTheme::primaryText(), panel));
    header->addStretch(1);
    QFont countFont = AppFont::font(TypeScale::caption, QFont::Bold);
    countFont.setStyleHint(QFont::Monospace);
    m_listCount = label(QStringLiteral("0"), countFont, AppTheme::secondaryText(), panel);
    header->addWidget(m_listCount);
    column->addLayout(header);
    auto *scroll = new QScrollArea(panel);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(scroll);
    content->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    m_listRows = new QVBoxLayout(content);
    m_listRows->setContentsMargins(0, 0, 0, 0);
    m_listRows->setSpacing(8);
    m_listRows->addStretch(1);
    scroll->setWidget(content);
    content->setAutoFillBackground(false); // setWidget() turned it on
    column->addWidget(scroll, 1);
    m_listPanel = panel;
}

void TextComparisonSurface::buildStrip(QVBoxLayout *card)
{
    m_strip = new ChangeStrip(this);
    card->addWidget(m_strip);
}

QLabel *TextComparisonSurface::stripEmptyLabel() const { return m_strip->emptyLabel(); }

// ---- Updates ------------------------------------------------------------------------------------

void TextComparisonSurface::setComparison(const TextComparisonState &comparison)
{
    if (comparison == m_comparison)
        return;
    // Edits change only the edited text and the markups; another source or project brings its
    // own name or original.
    const bool newDocument
        = comparison.sourceName != m_comparison.sourceName || comparison.originalText != m_comparison.originalText;
    m_comparison = comparison;
    refreshDocument();
    refreshChrome();
    if (newDocument)
        startAtFirstLine();
}

void TextComparisonSurface::startAtFirstLine()
{
    for (QTextEdit *pane : { static_cast<QTextEdit *>(m_originalView), static_cast<QTextEdit *>(m_editor->textView()) }) {
        QTextCursor cursor = pane->textCursor();
        cursor.movePosition(QTextCursor::Start);
        pane->setTextCursor(cursor);
        pane->verticalScrollBar()->setValue(0);
        pane->horizontalScrollBar()->setValue(0);
    }
}

void TextComparisonSurface::setCancelSignal(int signal)
{
    if (signal == m_cancelSignal)
        return;
    m_cancelSignal = signal;
    resetTransientState();
}

// What follows every change of the document: the changes, the aligned original and the summary
// of the texts shown, handed to the panes, the header and the strip. They come from the session's
// comparison; while that runs, the panes go on at once with the new texts and what is known of
// them (the changes found last, carried over the edit, while the original is the same), and the
// answer follows.
void TextComparisonSurface::refreshDocument()
{
    const QString &original = m_comparison.originalText;
    const std::shared_ptr<const TextComparisonResult> result
        = m_session ? m_session->resultFor(original, m_comparison.editedText) : nullptr;
    m_comparisonPending = !result;
    // The count shown is a result's: the changes carried over an edit stand for a moment (the
    // busy mark's delay); texts with nothing known of them show no count until they are compared.
    const bool busyShown = m_busyMark->isVisibleTo(this);
    if (result) {
        m_countWithheld = false;
        applyDocument(result->changes, result->alignedOriginal);
    } else if (original == m_alignedFrom) {
        m_countWithheld = busyShown;
        applyDocument(CarriedChanges::carriedOver(m_changes, m_changesFor, m_comparison.editedText), m_aligned);
    } else {
        m_countWithheld = true;
        applyDocument({}, TextComparisonRules::normalizedLineEnds(original));
    }
    refreshBusyMark();
}

void TextComparisonSurface::comparisonArrived()
{
    if (!m_comparisonPending || !m_session
        || !m_session->resultFor(m_comparison.originalText, m_comparison.editedText))
        return;
    refreshDocument();
}

void TextComparisonSurface::showComparing()
{
    m_busyMark->setText(comparingWords);
    m_busyMark->setToolTip(comparingTip);
    m_busyMark->show();
    // "暂无修改" would be a claim about texts not yet compared, and so would a count.
    stripEmptyLabel()->setText(comparingWords);
    m_countWithheld = true;
    refreshSummary();
}

bool TextComparisonSurface::isFillingPanes() const
{
    return (m_editor && m_editor->isFilling()) || (m_originalView && m_originalView->isFilling());
}

void TextComparisonSurface::refreshBusyMark()
{
    const bool waiting = m_comparisonPending && m_session && m_session->isComparing();
    // A long text being filled in shows at once: the pane still shows the text before and takes
    // no typing until it is in.
    if (isFillingPanes()) {
        m_busyTimer->stop();
        m_busyMark->setText(fillingWords);
        m_busyMark->setToolTip(fillingTip);
        m_busyMark->show();
        return;
    }
    if (m_busyMark->text() == fillingWords) {
        m_busyMark->hide();
        m_busyMark->setText(comparingWords);
        m_busyMark->setToolTip(comparingTip);
        // The search has gone on at least as long as the fill: it shows at once too.
        if (waiting) {
            showComparing();
            return;
        }
    }
    if (!waiting) {
        m_busyTimer->stop();
        m_busyMark->hide();
        stripEmptyLabel()->setText(QStringLiteral("暂无修改"));
        if (std::exchange(m_countWithheld, false))
            refreshSummary();
        return;
    }
    // A comparison that answers within a moment shows no mark, so typing does not make it flicker.
    if (!m_busyMark->isVisibleTo(this) && !m_busyTimer->isActive())
        m_busyTimer->start();
}

void TextComparisonSurface::applyDocument(std::vector<TextComparisonChange> changes, const QString &aligned)
{
    const QString &original = m_comparison.originalText;
    const QString &edited = m_comparison.editedText;
    m_changes = std::move(changes);
    m_aligned = aligned;
    m_alignedFrom = original;
    m_changesFor = edited;
    refreshSummary();
    m_originalView->setVisible(!aligned.isEmpty());
    m_originalEmpty->setVisible(aligned.isEmpty());
    m_originalView->render(aligned, m_comparison.annotations);
    m_editor->render(edited, original, m_changes, m_comparison.annotations);
    m_editorBox->setBorder(m_changes.empty() ? AppTheme::lightSlate() : surfaceColor("#2563EB", 0.65), 1.2);
    refreshStrip();
    refreshList();
}

void TextComparisonSurface::refreshSummary()
{
    const QString counts
        = TextComparisonSummaryBuilder::summary(qint64(m_changes.size()), m_comparison.annotations).displayText();
    // While the texts are compared, the number of changes would be an older or an empty result's:
    // it is left out (the busy mark beside says "正在对比…"), the markups' counts stay.
    const QString separator = QStringLiteral(" \u00B7 ");
    const qsizetype afterChanges = counts.indexOf(separator);
    m_summary->setText(m_countWithheld && afterChanges >= 0 ? counts.mid(afterChanges + separator.size()) : counts);
}

void TextComparisonSurface::refreshChrome()
{
    m_tools.front()->setHighlighted(m_state.isNotePopoverPresented);
    for (ColorSwatchButton *swatch : m_swatches)
        swatch->setSelectedSwatch(swatch->hex() == m_state.selectedMarkupColorHex);
    m_listToggle->setTitle(m_state.showAnnotationList ? QStringLiteral("隐藏列表") : QStringLiteral("批注列表"));
    m_listToggle->setToolTip(m_state.showAnnotationList ? QStringLiteral("隐藏右侧批注列表，留出更多编辑空间")
                                                        : QStringLiteral("显示所有批注，点击序号可跳到对应文字"));
    m_listPanel->setVisible(m_state.showAnnotationList);
    if (m_searchField->text() != m_state.searchText)
        m_searchField->setText(m_state.searchText);
    m_noteInput->showText(m_state.activeNote);
    refreshPopover();
    m_editor->applyCancelSignal(m_state.textCancelSignal);
    m_editor->applyFocusRange(m_state.focusRange);
}

TextComparisonSurface::PopoverPlacement TextComparisonSurface::popoverPlacement(qreal paneWidth, const QRectF &target)
{
    PopoverPlacement placement;
    placement.width = std::min(std::max(paneWidth - 20, qreal(320)), qreal(380));
    const qreal half = placement.width / 2;
    const qreal rightLimit = std::max(paneWidth - placement.width - 10, qreal(10));
    const qreal wanted = std::max(target.center().x() - half, qreal(10));
    placement.x = std::min(rightLimit, wanted);
    placement.y = std::max(target.top() - 133 - 10, qreal(10));
    placement.pointerOffset = std::clamp(target.center().x() - placement.x - half, 18 - half, half - 18);
    return placement;
}

void TextComparisonSurface::refreshPopover()
{
    const std::optional<TextRange> range = markupTargetRange();
    const std::optional<QRectF> rect = markupTargetRect();
    const bool shown = m_state.isNotePopoverPresented && range && range->length >= 1 && rect;
    if (shown) {
        const PopoverPlacement placement = popoverPlacement(m_editorBox->width(), *rect);
        static_cast<NotePopoverFrame *>(m_popover)->pointerOffset = placement.pointerOffset;
        m_popover->setGeometry(int(std::lround(placement.x)), int(std::lround(placement.y)),
                               int(std::lround(placement.width)), 133);
        m_popover->raise();
        m_popover->update();
    }
    // A closing popover hands the keyboard back to the text, so typing goes on there.
    if (!shown && m_popoverShown && m_popover->isAncestorOf(QApplication::focusWidget()))
        m_editor->textView()->setFocus(Qt::OtherFocusReason);
    m_popover->setVisible(shown);
    if (shown && !m_popoverShown) {
        ++m_state.noteFocusSignal;
        m_noteInput->applyFocusSignal(m_state.noteFocusSignal);
    } else if (shown) {
        m_noteInput->applyFocusSignal(m_state.noteFocusSignal);
    }
    m_popoverShown = shown;
}

bool TextComparisonSurface::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editorBox && event->type() == QEvent::Resize)
        refreshPopover();
    return QWidget::eventFilter(watched, event);
}
QWidget *TextComparisonSurface::busyMark() const { return m_busyMark; }
