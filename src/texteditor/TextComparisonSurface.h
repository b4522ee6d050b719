#pragma once

#include "model/TextComparisonState.h"
#include "texteditor/EditorTextRules.h"
#include "textengine/TextComparisonChange.h"

#include <QPointer>
#include <QRectF>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class AnnotationListRow;
class AnnotationNoteInput;
class BusyMark;
class ChangeStrip;
class ColorSwatchButton;
class HighlightedTextEditor;
class MarkupToolButton;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollArea;
class QTimer;
class QVBoxLayout;
class RoundedPanel;
class SurfaceButton;
class SyncedOriginalTextView;
class TextComparisonScrollSync;
class TextComparisonSession;
class TextExportDialogs;
class TextPaneDocuments;

// What the comparison surface can ask of the document; each ends in one view-model operation.
struct TextComparisonActions {
    // The edited text's binding: the whole new text after an edit.
    std::function<void(const QString &)> editText;
    std::function<void()> open;
    std::function<void(bool editedPageOnly, const QString &title)> save;
    std::function<void(bool editedPageOnly, const QString &title)> downloadPDF;
    std::function<void(bool editedPageOnly, const QString &title)> exportWord;
    std::function<std::optional<TextMarkupAnnotation>(TextRange)> addAnnotation;
    std::function<void(const QUuid &, const std::optional<QString> &note, std::optional<bool> highlight,
                       const std::optional<QString> &highlightColorHex, std::optional<bool> underline,
                       const std::optional<QString> &underlineColorHex, std::optional<bool> strikethrough)>
        updateAnnotation;
    std::function<void(const QUuid &)> deleteAnnotation;
    std::function<bool()> undo;
    std::function<bool()> redo;
};

enum class TextComparisonMarkupTool { Note, Underline, Strikethrough };

// The comparison editor: header with summary, upload, markup tools, save and export; the original
// and edited panes with the tool strip (search, quick notes, legend, list toggle); the list of
// notes; the strip of changes. It never changes the document itself: everything goes through its
// actions, and the new document comes back through setComparison(). It never compares the texts
// either: the changes and the aligned original are the session's result for the texts shown;
// until that arrives the panes show the new texts with the changes found last, and a busy mark
// appears in the header when the wait is longer than a moment.
class TextComparisonSurface final : public QWidget {
    Q_OBJECT

public:
    enum class ExportTarget : quint8 { Image, Pdf, Word };

    struct State {
        std::optional<TextRange> selectionRange;
        std::optional<QRectF> selectionRect;
        std::optional<TextRange> pendingSelectionRange;
        std::optional<QRectF> pendingSelectionRect;
        std::map<QUuid, QRectF> annotationRects;
        std::map<QUuid, QRectF> calloutRects;
        std::optional<QUuid> activeAnnotationID;
        QString activeNote;
        QString selectedMarkupColorHex = QStringLiteral("#FDE047");
        QString searchText;
        std::optional<TextRange> focusRange;
        std::optional<QUuid> focusedAnnotationID;
        bool showAnnotationList = true;
        bool isNotePopoverPresented = false;
        int noteFocusSignal = 0;
        int textCancelSignal = 0;
    };

    struct PopoverPlacement {
        qreal width = 0;
        qreal x = 0;
        qreal y = 0;
        qreal pointerOffset = 0;
    };
    // The card over a target rectangle in a pane of the given width.
    static PopoverPlacement popoverPlacement(qreal paneWidth, const QRectF &target);

    static const QStringList &quickNotePhrases();
    // (name, hex) of the six swatches.
    static const std::vector<std::pair<QString, QString>> &markupColorOptions();

    // How long a comparison may take before the header says that it is running.
    static constexpr int busyMarkDelayMs = 250;

    // `paneDocuments`: where the panes' documents wait while the workspace is away; a surface
    // takes them when it starts and leaves its own there when it goes.
    TextComparisonSurface(const TextComparisonState &comparison, TextComparisonSession &session,
                          TextComparisonActions actions, TextExportDialogs &dialogs, QWidget *parent = nullptr,
                          std::shared_ptr<TextPaneDocuments> paneDocuments = {});
    ~TextComparisonSurface() override;

    void setComparison(const TextComparisonState &comparison);
    void setCancelSignal(int signal);

    const State &state() const { return m_state; }
    const TextComparisonState &comparison() const { return m_comparison; }
    const std::vector<TextComparisonChange> &changes() const { return m_changes; }
    // The changes shown are those of the texts shown (the comparison's answer has arrived).
    bool isShowingCurrentComparison() const { return !m_comparisonPending; }
    // A pane is filling in a long text off the window's thread (it shows the one before meanwhile).
    bool isFillingPanes() const;
    std::optional<TextRange> markupTargetRange() const;
    std::optional<QRectF> markupTargetRect() const;

    // Markup tools and the note popover.
    void syncActiveAnnotationWithSelection();
    void resetTransientState();
    void applyMarkupTool(TextComparisonMarkupTool tool);
    bool applyMarkupShortcut(const QString &key);
    void openNoteEditor(qint64 location, qint64 length);
    void applyUnderline(qint64 location, qint64 length);
    void applyStrikethrough(qint64 location, qint64 length);
    std::optional<QUuid> annotationID(qint64 location, qint64 length) const;
    void commitNote(qint64 location, qint64 length);
    void dismissNoteEditor();
    void editAnnotationNote(const TextMarkupAnnotation &annotation);
    void deleteAnnotation(const QUuid &id);
    void applyQuickNote(const QString &phrase);
    void selectMarkupColor(const QString &hex);
    void toggleAnnotationList();
    void setActiveNote(const QString &note);

    // Search, list and exports.
    void setSearchText(const QString &text);
    void performSearch();
    void jumpToAnnotation(const TextMarkupAnnotation &annotation);
    void confirmExportScope(ExportTarget target);
    void promptExportTitle(bool editedPageOnly, ExportTarget target);

    // Parts, for the window and the tests.
    HighlightedTextEditor *editor() const { return m_editor; }
    SyncedOriginalTextView *originalView() const { return m_originalView; }
    QWidget *originalEmptyLabel() const;
    QWidget *notePopover() const { return m_popover; }
    AnnotationNoteInput *noteInput() const { return m_noteInput; }
    QWidget *confirmNoteButton() const;
    QLineEdit *searchField() const { return m_searchField; }
    QWidget *annotationListPanel() const { return m_listPanel; }
    std::vector<AnnotationListRow *> annotationListRows() const;
    ChangeStrip *changeStrip() const { return m_strip; }
    QLabel *stripEmptyLabel() const;
    QLabel *summaryLabel() const { return m_summary; }
    // "正在对比…" with its spinner, beside the summary while a comparison keeps the window waiting.
    QWidget *busyMark() const;
    QLabel *annotationCountLabel() const { return m_listCount; }
    std::vector<ColorSwatchButton *> swatches() const { return m_swatches; }
    std::vector<SurfaceButton *> quickNoteButtons() const { return m_quickNotes; }
    SurfaceButton *listToggleButton() const { return m_listToggle; }
    SurfaceButton *uploadButton() const { return m_upload; }
    SurfaceButton *saveButton() const { return m_save; }
    QMenu *exportMenu() const { return m_exportMenu; }
    RoundedPanel *editorBox() const { return m_editorBox; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildHeader(QVBoxLayout *card);
    void buildWorkingRow(QVBoxLayout *card);
    QWidget *buildToolStrip();
    QWidget *buildOriginalPane();
    QWidget *buildEditedPane();
    void buildPopover();
    void buildListPanel();
    void buildStrip(QVBoxLayout *card);

    void refreshDocument();
    void applyDocument(std::vector<TextComparisonChange> changes, const QString &aligned);
    // The header's counts, without the number of changes while it is withheld.
    void refreshSummary();
    // A result arrived: taken when it is the one of the texts shown.
    void comparisonArrived();
    void refreshBusyMark();
    void showComparing();
    // Both panes at their first line with the caret at the start: how a new document opens.
    void startAtFirstLine();
    void refreshChrome();
    void refreshPopover();
    void refreshList();
    void refreshStrip();
    void selectionReported(std::optional<TextRange> range, std::optional<QRectF> rect);
    void clearSelectionState();
    // The markup the underline and strike tools act on: the active one, else the one of the
    // range, else a new one; and whether it existed.
    std::optional<std::pair<QUuid, bool>> toolTarget(qint64 location, qint64 length);
    const TextMarkupAnnotation *annotationWithID(const QUuid &id) const;

    TextComparisonState m_comparison;
    TextComparisonActions m_actions;
    TextExportDialogs &m_dialogs;
    std::shared_ptr<TextComparisonScrollSync> m_scrollSync;
    std::shared_ptr<TextPaneDocuments> m_paneDocuments;
    State m_state;
    int m_cancelSignal = 0;
    std::vector<TextComparisonChange> m_changes;
    // The aligned original shown, and the original it was made from.
    QString m_aligned;
    QString m_alignedFrom;
    // The edited text the changes shown belong to.
    QString m_changesFor;
    QPointer<TextComparisonSession> m_session;
    // The changes and the aligned original shown are not yet those of the texts shown.
    bool m_comparisonPending = false;
    // The header shows no number of changes: the texts shown are being compared.
    bool m_countWithheld = false;
    QTimer *m_busyTimer = nullptr;
    bool m_popoverShown = false;

    // Widgets.
    QLabel *m_summary = nullptr;
    BusyMark *m_busyMark = nullptr;
    SurfaceButton *m_upload = nullptr;
    std::vector<MarkupToolButton *> m_tools;
    std::vector<ColorSwatchButton *> m_swatches;
    SurfaceButton *m_save = nullptr;
    SurfaceButton *m_export = nullptr;
    QMenu *m_exportMenu = nullptr;
    QLineEdit *m_searchField = nullptr;
    std::vector<SurfaceButton *> m_quickNotes;
    SurfaceButton *m_listToggle = nullptr;
    SyncedOriginalTextView *m_originalView = nullptr;
    QLabel *m_originalEmpty = nullptr;
    RoundedPanel *m_editorBox = nullptr;
    HighlightedTextEditor *m_editor = nullptr;
    QWidget *m_popover = nullptr;
    AnnotationNoteInput *m_noteInput = nullptr;
    QWidget *m_confirm = nullptr;
    QWidget *m_listPanel = nullptr;
    QLabel *m_listCount = nullptr;
    QVBoxLayout *m_listRows = nullptr;
    QString m_listSignature;
    ChangeStrip *m_strip = nullptr;
    QHBoxLayout *m_workingRow = nullptr;
};
