#pragma once

#include "comparison/ComparisonPairing.h"
#include "markup/MarkupHitTesting.h"
#include "model/ColorSample.h"
#include "model/ImageItems.h"
#include "model/MarkupAnnotation.h"
#include "model/MarkupProjectDocument.h"
#include "model/MarkupTools.h"
#include "model/MarkupViewModelTypes.h"
#include "model/TextComparisonState.h"
#include "model/TextEditHistory.h"

#include <QHash>
#include <QObject>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QSettings;
class QTimer;
class TextComparisonExecutor;
struct TextComparisonResult;
struct VideoFrameSnapshot;

// The one object that holds the mutable state of a window: the image list with its selections,
// tool and style, the comparison pairs, the text comparison document, the open project file, the
// per-image undo history, the annotation clipboard and the user's tool, toolbar and pointer
// preferences. Views read it and call its operations; it lives in the GUI thread.
//
// Published properties have a getter, a setter and a change signal each; the setter emits its
// signal (and then stateChanged()) only when the value really changes. Other stored state changes
// silently.
//
// The operations are grouped by feature into separate source files, one per section below:
//   MarkupViewModel.cpp                 construction, stored state, text comparison normalisation
//   MarkupViewModel_State.cpp           derived state and the zoom operations
//   MarkupViewModel_Preferences.cpp     loading and saving preferences, reordering tools and buttons
//   src/model/MarkupViewModel_Project.cpp          project save, open and autosave
//   src/markup/MarkupViewModel_<Feature>.cpp       image markup operations, one file a feature:
//       Import, ImageList, Selection, SelectionManipulation, Gestures, Crop, Eyedropper, TextStyle,
//       Numbering, Clipboard, Undo, Export
//   src/comparison/MarkupViewModel_ImageComparison.cpp, src/textengine/MarkupViewModel_TextComparison.cpp,
//   src/video/MarkupViewModel_VideoFrameAnnotation.cpp
class MarkupViewModel final : public QObject {
    Q_OBJECT

public:
    using ImageExportFormat = ::ImageExportFormat;
    using CropAspectRatio = ::CropAspectRatio;
    using CropCorner = ::CropCorner;
    using AnnotationSelectionPart = ::AnnotationSelectionPart;
    using TextComparisonExportKind = ::TextComparisonExportKind;
    using ImageUndoSnapshot = ::ImageUndoSnapshot;
    using StylePreset = ::StylePreset;
    using ComparisonBatchImportResult = ::ComparisonBatchImportResult;
    using HeaderToolbarOrders = std::map<HeaderToolbarMode, std::vector<HeaderToolbarItem>>;
    using UndoStacks = QHash<QUuid, std::vector<ImageUndoSnapshot>>;

    // ---- Limits shared by all instances -------------------------------------------------------
    static constexpr double minimumZoom = 0.25;
    static constexpr double maximumZoom = 30;
    static constexpr double minimumArrowLineWidth = 2;
    static constexpr double maximumArrowLineWidth = 8;
    static constexpr double minimumAnnotationFontSize = 8;
    static constexpr double maximumAnnotationFontSize = 56;
    static constexpr double minimumArrowFontSize = 8;
    static constexpr double maximumArrowFontSize = 56;

    // ---- Construction (MarkupViewModel.cpp) ----------------------------------------------------
    // Reads the preferences once from `defaults`, which must outlive the view model; every
    // preference change is written back to it at once.
    explicit MarkupViewModel(QSettings &defaults, QObject *parent = nullptr);
    ~MarkupViewModel() override;

    // ---- Published state (MarkupViewModel.cpp) -------------------------------------------------
    // The image list of the markup workspace, in display order.
    const std::vector<ImageMarkupItem> &items() const { return m_items; }
    void setItems(std::vector<ImageMarkupItem> items);
    // The current image, the one on the canvas.
    const std::optional<QUuid> &selectedItemID() const { return m_selectedItemID; }
    void setSelectedItemID(std::optional<QUuid> id);
    // The images marked in the list for batch operations.
    const QSet<QUuid> &selectedImageItemIDs() const { return m_selectedImageItemIDs; }
    void setSelectedImageItemIDs(QSet<QUuid> ids);
    // The active canvas tool. Choosing any tool but the eyedropper (even the same tool again)
    // drops the colour sample and its lock.
    MarkupTool selectedTool() const { return m_selectedTool; }
    void setSelectedTool(MarkupTool tool);
    // The order of the tool buttons and of their number keys.
    const std::vector<MarkupTool> &toolOrder() const { return m_toolOrder; }
    void setToolOrder(std::vector<MarkupTool> order);
    const PointerInteractionSettings &pointerInteractionSettings() const { return m_pointerInteractionSettings; }
    void setPointerInteractionSettings(const PointerInteractionSettings &settings);
    // The header button order per workspace.
    void setHeaderToolbarOrders(HeaderToolbarOrders orders);
    // The primary selected annotation of the current image.
    const std::optional<QUuid> &selectedAnnotationID() const { return m_selectedAnnotationID; }
    void setSelectedAnnotationID(std::optional<QUuid> id);
    // All selected annotations of the current image.
    const QSet<QUuid> &selectedAnnotationIDs() const { return m_selectedAnnotationIDs; }
    void setSelectedAnnotationIDs(QSet<QUuid> ids);
    AnnotationSelectionPart selectedAnnotationPart() const { return m_selectedAnnotationPart; }
    void setSelectedAnnotationPart(AnnotationSelectionPart part);
    // The annotation a drawing gesture is making, not yet part of the image.
    const std::optional<MarkupAnnotation> &draftAnnotation() const { return m_draftAnnotation; }
    void setDraftAnnotation(std::optional<MarkupAnnotation> annotation);
    // The rubber-band and crop rectangles in canvas coordinates. Stored as given (origin and size);
    // geometry that relies on the markup edge rules (half-open, standardised sizes) converts them
    // to Rect.
    const std::optional<QRectF> &selectionRect() const { return m_selectionRect; }
    void setSelectionRect(std::optional<QRectF> rect);
    const std::optional<QRectF> &cropRect() const { return m_cropRect; }
    void setCropRect(std::optional<QRectF> rect);
    // The eyedropper's sample under the pointer, and whether a click froze it.
    const std::optional<ColorSamplePreview> &colorSamplePreview() const { return m_colorSamplePreview; }
    void setColorSamplePreview(std::optional<ColorSamplePreview> preview);
    bool isColorSampleLocked() const { return m_isColorSampleLocked; }
    void setColorSampleLocked(bool locked);
    // The annotation whose text is being edited in place.
    const std::optional<QUuid> &editingTextAnnotationID() const { return m_editingTextAnnotationID; }
    void setEditingTextAnnotationID(std::optional<QUuid> id);
    // The canvas zoom factor; setZoom() (derived-state section) is its clamping writer.
    double zoom() const { return m_zoom; }
    // The line width of new annotations.
    double arrowLineWidth() const { return m_arrowLineWidth; }
    void setArrowLineWidth(double width);
    CropAspectRatio cropAspectRatio() const { return m_cropAspectRatio; }
    void setCropAspectRatio(CropAspectRatio ratio);
    // The one status text of the window.
    const QString &statusMessage() const { return m_statusMessage; }
    void setStatusMessage(const QString &message);
    // A status that tells of a state rather than of something done: a label being edited, the
    // crop frame's ratio, a sample waiting to be copied. It goes ("就绪") when that state ends
    // (the editor closes, the tool is left, the workspace is left), unless another status
    // replaced it meanwhile.
    enum class StatusMoment { LabelEditing, Crop, ColorSample };
    void setMomentStatusMessage(StatusMoment moment, const QString &message);
    void endStatusMoment(StatusMoment moment);
    // Every moment ends: the workspace that showed them was left.
    void endStatusMoments();
    // The last failure to show in the error alert; absent = no alert.
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    void setErrorMessage(std::optional<QString> message);
    // True while a save of images to the Desktop runs off the GUI thread (the 保存到桌面 button or
    // Ctrl+S); set by the save that runs.
    bool isSavingImagesToDesktop() const { return m_isSavingImagesToDesktop; }
    void setSavingImagesToDesktop(bool saving);
    // The text annotation whose inline editor should take the keyboard focus.
    const std::optional<QUuid> &pendingTextFocusID() const { return m_pendingTextFocusID; }
    void setPendingTextFocusID(std::optional<QUuid> id);
    // The before/after pairs of the comparison workspace, in display order.
    const std::vector<ComparisonPairState> &comparisonPairs() const { return m_comparisonPairs; }
    void setComparisonPairs(std::vector<ComparisonPairState> pairs);
    const std::optional<QUuid> &selectedComparisonPairID() const { return m_selectedComparisonPairID; }
    void setSelectedComparisonPairID(std::optional<QUuid> id);
    // The text comparison document.
    const std::optional<TextComparisonState> &textComparison() const { return m_textComparison; }
    void setTextComparison(std::optional<TextComparisonState> state);
    // The project file the window works in (absolute local path). Only the view model's own
    // project operations assign it.
    const std::optional<QString> &projectURL() const { return m_projectURL; }
    void setProjectURL(std::optional<QString> path);

    // ---- Stored state without notification (MarkupViewModel.cpp) --------------------------------
    // Per image (by item id) its undo and redo stacks, oldest first.
    const UndoStacks &undoSnapshotsByItemID() const { return m_undoSnapshotsByItemID; }
    const UndoStacks &redoSnapshotsByItemID() const { return m_redoSnapshotsByItemID; }
    // The earlier and the undone versions of the text comparison's edited text, kept as the
    // changes between them.
    const TextEditHistory &textComparisonHistory() const { return m_textComparisonHistory; }
    // Those versions rebuilt whole, oldest first: a copy of the text each, for checks only.
    QStringList textComparisonUndoTexts() const;
    QStringList textComparisonRedoTexts() const;
    // The code units the history holds beside the text.
    qsizetype textComparisonHistoryCodeUnits() const { return m_textComparisonHistory.heldCodeUnits(); }
    // True only while a text comparison undo or redo writes the document.
    bool isApplyingTextComparisonHistory() const { return m_isApplyingTextComparisonHistory; }
    void setApplyingTextComparisonHistory(bool applying) { m_isApplyingTextComparisonHistory = applying; }
    // The copied annotations.
    const std::vector<MarkupAnnotation> &annotationClipboard() const { return m_annotationClipboard; }
    void setAnnotationClipboard(std::vector<MarkupAnnotation> annotations) { m_annotationClipboard = std::move(annotations); }
    // The pending project autosave: a single-shot 500 ms timer owned by the view model (stopping
    // it cancels the autosave; it dies with the view model), and the project path it was
    // scheduled for.
    QTimer *autosaveTimer() const { return m_autosaveTimer; }
    // Where every preference is read and written.
    QSettings &defaults() const { return m_defaults; }
    // The style given to new annotations.
    const StylePreset &stylePreset() const { return m_stylePreset; }
    void setStylePreset(const StylePreset &preset) { m_stylePreset = preset; }

    // ---- Derived state (MarkupViewModel_State.cpp) -----------------------------------------------
    // Lookups by id take the first match in display order.
    std::optional<qsizetype> selectedIndex() const;
    std::optional<ImageMarkupItem> selectedItem() const;
    // The current image's picture; an empty handle when there is no current image.
    ImageHandle image() const;
    // The current image's annotations; empty without a current image.
    std::vector<MarkupAnnotation> annotations() const;
    std::optional<ImageDocumentState> document() const;
    std::optional<MarkupAnnotation> selectedAnnotation() const;
    qsizetype selectedAnnotationCount() const;
    // Values shown by the style controls; they look only at the primary selection.
    double effectiveSelectedFontSize() const;
    double effectiveArrowLineWidth() const;
    double effectiveArrowFontSize() const;
    // The marked images, or the current image when none is marked.
    QSet<QUuid> effectiveSelectedImageItemIDs() const;
    std::vector<ImageMarkupItem> selectedImageItems() const;
    bool areAllImageItemsSelected() const;
    bool canApplyAnnotationsToSelectedImages() const;
    bool canExport() const;
    bool canExportSelectedImages() const;
    bool hasProjectContent() const;
    bool hasImageMarkupOnlyContent() const;
    bool hasProjectSaveContent() const;
    bool hasSavedProjectLocation() const;
    // The selected pair, or the first pair when the selection names none.
    std::optional<ComparisonPairState> comparisonPair() const;
    std::optional<qsizetype> selectedComparisonIndex() const;
    qsizetype comparisonPairCount() const;
    bool canCompare() const;
    // "图片对比 2/5", or "暂无图片对比" without pairs.
    QString comparisonPositionText() const;

    // Zoom clamped into minimumZoom…maximumZoom.
    void setZoom(double zoom);

    // ---- Preferences and customisation (MarkupViewModel_Preferences.cpp) ------------------------
    static std::vector<MarkupTool> loadToolOrder(QSettings &defaults);
    static PointerInteractionSettings loadPointerInteractionSettings(QSettings &defaults);
    static HeaderToolbarOrders loadHeaderToolbarOrders(QSettings &defaults);
    static StylePreset loadStylePreset(QSettings &defaults);
    // A stored order reduced to the mode's items (once each), completed with the missing ones.
    static std::vector<HeaderToolbarItem> normalizedHeaderToolbarOrder(HeaderToolbarMode mode,
                                                                       const QStringList &saved);
    void saveToolOrder();
    void savePointerInteractionSettings();
    void saveHeaderToolbarOrders();
    void saveStylePreset();

    std::vector<HeaderToolbarItem> headerToolbarOrder(HeaderToolbarMode mode) const;
    void resetHeaderToolbarOrder(HeaderToolbarMode mode);
    // Moves `dragged` to stand directly before `target`.
    void moveHeaderToolbarItem(HeaderToolbarItem dragged, HeaderToolbarItem target, HeaderToolbarMode mode);
    // The tool's 1-based position in the tool order as text ("1" … "7").
    std::optional<QString> shortcutKey(MarkupTool tool) const;
    // Swaps the tool with the one `direction` places away.
    void moveTool(MarkupTool tool, int direction);
    // Moves `dragged` to stand directly before `target`.
    void moveTool(MarkupTool dragged, MarkupTool target);
    void resetToolOrder();
    void resetPointerInteractionSettings();

    // ---- Text comparison normalisation (MarkupViewModel.cpp) -------------------------------------
    // Markups sorted by location, then length (stable), and renumbered: those with a visible note
    // get 1, 2, 3 …, the others 0. The texts are unchanged.
    static TextComparisonState normalizedTextComparison(TextComparisonState state);

    // ---- Image markup operations (src/markup/) --------------------------------------------------
    // Numbering (MarkupViewModel_Numbering.cpp).
    // Gives the numbered annotations of the image at `index` 1, 2, 3 … in list order, the others none.
    void renumberAnnotations(qsizetype index);
    // Moves numbers that older versions wrote into label texts into sequenceNumber, then renumbers
    // the image when any text changed.
    void normalizeLegacyNumberedTexts(qsizetype index);

    // Drawing gestures (MarkupViewModel_Gestures.cpp).
    // A press of a drawing tool at a unit point starts a new annotation in draftAnnotation, styled
    // by the style preset; select, crop and eyedropper start nothing.
    void beginGesture(MarkupTool tool, UnitPoint2D at);
    // Moves the draft's end (a brush also collects the point); a text label stays put.
    void updateGesture(UnitPoint2D to);
    // Completes the draft at the release point and adds it to the current image as one undo step.
    void finishGesture(UnitPoint2D at);
    // The number a newly numbered annotation of the current image receives.
    qint64 nextAnnotationSequenceNumber() const;
    // +1 or −1: arrows of an image bend to alternate sides.
    double defaultArrowCurveDirection() const;
    // Appends a completed annotation to the current image, renumbers it, selects the annotation
    // and opens its label for editing.
    void addFinishedAnnotation(const MarkupAnnotation &annotation);
    // Text and style editing (MarkupViewModel_TextStyle.cpp).
    // Escape: drops the draft, the marquee, the colour sample, the selection and text editing.
    void cancelCurrentOperation();
    void confirmTextEditing();
    // Replaces the selected annotation's label text as one undo step and renumbers the image.
    void updateSelectedText(const QString &text);
    void toggleSelectedArrowCurveDirection();
    // The size and width setters clamp, remember the value in the style preset and apply it to
    // the selected annotation when it takes it (recording undo only when `recordsUndo`).
    void updateSelectedFontSize(double size, bool recordsUndo);
    void updateDrawingLineWidth(double width, bool recordsUndo);
    void updateArrowFontSize(double size, bool recordsUndo);
    // Puts `value` on the system pasteboard (platform/Pasteboard.h) as plain text.
    void copyToPasteboard(const QString &value, const QString &label);
    // Write into the selected annotation only: no undo, numbering or message.
    void setSelectedAnnotationText(const QString &text);
    void setSelectedAnnotationColorHex(const QString &colorHex);
    // Selection and direct manipulation (MarkupViewModel_Selection.cpp).
    // Points and sizes are canvas points; `canvasSize` is the displayed image's size. The move and
    // resize operations record one undo snapshot first when `recordsUndo` (a drag passes it on its
    // first step only).
    // Selects the annotation's shape (or its label), or clears the selection.
    void selectAnnotation(std::optional<QUuid> id);
    void selectAnnotationLabel(std::optional<QUuid> id);
    // Selection at the start of a drag, without a status text; a drag on a member of a multiple
    // selection keeps the whole selection.
    void selectAnnotationForDrag(const QUuid &id);
    void selectAnnotationLabelForDrag(const QUuid &id);
    // The topmost annotation whose shape lies within 14 points.
    std::optional<QUuid> hitShapeAnnotationID(QPointF at, QSizeF canvasSize) const;
    // Click selection: an editable label first, then a shape; a miss clears the selection.
    void selectAnnotation(QPointF at, QSizeF canvasSize);
    // Ends a marquee drag; one 4 points narrow or low or less counts as a click at `to`.
    void finishMarqueeSelection(QPointF from, QPointF to, QSizeF canvasSize);
    // Double click: opens inline editing of the label (or labelled shape) under the point.
    void beginTextEditing(QPointF at, QSizeF canvasSize);
    // Alt-drag: copies the selected annotations (one undo step) and selects the copies.
    bool duplicateSelectedAnnotationsForDrag();
    // Moves the selection by a step, stopping the group as a whole at the image border.
    void moveSelectedAnnotations(QSizeF by, QSizeF canvasSize, bool recordsUndo);
    void moveAnnotationLabel(const QUuid &id, QSizeF by, QSizeF canvasSize, bool recordsUndo);
    // Sets the label bubble's width (64 points up to the canvas width less 30) and makes it the
    // width of later annotations.
    void resizeAnnotationLabel(const QUuid &id, double width, QSizeF canvasSize, bool recordsUndo);
    void resizeArrowEndpoint(const QUuid &id, MarkupAnnotationEndpoint endpoint, QPointF to, QSizeF canvasSize,
                             bool recordsUndo);
    // Scales a brush stroke about its top-left corner so that its bottom-right follows `to`.
    void resizeBrushAnnotation(const QUuid &id, QPointF to, QSizeF canvasSize, bool recordsUndo);
    // Annotation clipboard, deletion, batch apply and shortcuts (MarkupViewModel_Clipboard.cpp).
    // Copies the selected annotations into annotationClipboard (a selected arrow label is copied
    // as a text annotation at the label's place).
    bool copySelectedAnnotationsToClipboard();
    // Adds fresh copies of the clipboard to the current image (one undo step) and selects them.
    bool pasteAnnotationClipboard();
    // False only without a current image.
    bool selectAllAnnotations();
    // Deletes the selected annotations as one undo step, or only the label text when the label
    // part of one annotation is selected; false when nothing is selected.
    bool deleteSelectedAnnotations();
    // The selected annotations, or when there are none the selected images.
    bool deleteCurrentSelection();
    // Replaces the annotations of the other marked images with copies of the source image's (all,
    // or only the selected ones of the current image); each target gets an undo step. Returns
    // the number of images changed.
    int applyCurrentAnnotationsToSelectedImages(bool onlySelectedAnnotations);
    // What the key commands reach in one workspace; the commands themselves are the same in all.
    struct ShortcutScope {
        // The number command n chooses tools[n - 1].
        std::vector<MarkupTool> tools;
        // "delete" without a selected annotation deletes the selected images; otherwise the status
        // asks for an annotation to be selected (and the key counts as taken).
        bool deleteReachesImages = true;
    };
    // Runs a key command (names compared exactly): "undo", "redo", "copy", "paste", "selectAll",
    // "delete", "escape", or a decimal number choosing that tool of the scope. Returns whether it
    // was handled.
    bool handleShortcut(const QString &command, const ShortcutScope &scope);
    // The image markup workspace's key commands: every tool of the tool order, and "delete" reaches
    // the selected images.
    bool handleToolShortcut(const QString &command);
    // The number command n chooses tools[n - 1] (drawing and rectangles dropped, "已切换工具："
    // reported); false for anything else.
    bool switchToolByNumber(const QString &command, const std::vector<MarkupTool> &tools);
    // Image import (MarkupViewModel_Import.cpp).
    // The image files under a folder, to any depth, hidden files and folders skipped; a path
    // that is not a folder gives itself when it is an image file (hidden or not); a missing path
    // gives nothing. Whether a file is an image is decided by its type, from the extension or,
    // for unknown extensions, from its content.
    static QStringList imageFileURLs(const QString &path);
    // Imports every readable image among the files and folders, without repeats, in natural
    // file-name order, and makes the first new one current; `replacing` replaces the list and
    // resets the project session, otherwise the images are appended. Pictures are decoded on
    // demand later: only the header size and a thumbnail are read now, on every core. Nothing
    // readable: only errorMessage "没有找到可用图片" changes.
    void importImages(const QStringList &paths, bool replacing);
    // importImages({path}, true).
    void importImage(const QString &path);
    // Appends one image that has no file (a dropped picture) and makes it current; a null image
    // sets errorMessage "图片数据无法解析".
    void importImage(const QImage &image, const QString &fileName);
    // Image list selection, deletion and order (MarkupViewModel_ImageList.cpp).
    // Makes the image current and resets the per-image interaction state; an absent or unknown id
    // falls back to the first image.
    void selectItem(std::optional<QUuid> id);
    // Makes the image current without touching the group or the eyedropper sample.
    void activateImageItem(const QUuid &id);
    // A thumbnail click; `extendingSelection` (Ctrl held) toggles the image in the group.
    void selectImageItem(const QUuid &id, bool extendingSelection);
    void clearImageItemSelectionKeepingCurrent();
    void selectAllImageItems();
    // Deletes the group, or the current image when no group is marked.
    bool deleteSelectedImageItems();
    // Deletes the current image only; its neighbour becomes current.
    bool deleteSelectedItem();
    // After removing the image at `removedIndex`: the image now at that index, else the new last.
    std::optional<QUuid> neighborImageItemID(qsizetype removedIndex) const;
    // Moves the image to stand directly before `targetID`.
    void moveImageItem(const QUuid &id, const QUuid &targetID);
    // Crop (MarkupViewModel_Crop.cpp).
    // Rectangles and points are in canvas points of the displayed image.
    void updateCropRect(QPointF start, QPointF current, QSizeF canvasSize);
    void resizeCropRect(CropCorner corner, QPointF point, QSizeF canvasSize);
    // Sets the ratio and, with a canvas size, re-shapes the present rectangle to it.
    void setCropAspectRatio(CropAspectRatio ratio, std::optional<QSizeF> canvasSize);
    void cancelCrop();
    // Adds the cropped part as a new image after the current one and makes it current.
    bool confirmCrop(QSizeF canvasSize);
    // Eyedropper (MarkupViewModel_Eyedropper.cpp).
    // The pixel of the current image under a canvas point; points outside sample the nearest edge.
    std::optional<ColorSamplePreview> colorSample(QPointF point, QSizeF canvasSize) const;
    // Pointer movement with the eyedropper: follows the pointer unless a pick locked the sample.
    void updateColorSamplePreview(QPointF point, QSizeF canvasSize);
    // A click: locks the sample and makes its colour the colour of new annotations.
    void sampleColor(QPointF point, QSizeF canvasSize);
    // Export to the Desktop (MarkupViewModel_Export.cpp).
    // Each returns the absolute paths written, in the order of the images saved.
    QStringList saveSelectedImagesToDesktop();
    QStringList saveSelectedImagesToDesktop(ImageExportFormat format, double jpegQuality);
    QStringList saveAllToDesktop();
    std::optional<QString> saveSelectedImagesPDFToDesktop();
    std::optional<QByteArray> selectedImagesPDFData();
    QString suggestedPDFOutputFileName() const;
    QString suggestedOutputFileName() const;
    QString suggestedOutputFileName(const QString &pathExtension) const;

    // Per-image undo and redo (MarkupViewModel_Undo.cpp).
    static constexpr qsizetype undoHistoryLimit = 80;
    // Pushes a snapshot of the item (absent = the current image) and empties its redo history.
    void recordUndoSnapshot(std::optional<QUuid> itemID = std::nullopt);
    bool undo();
    bool redo();
    // Removes every annotation of the current image, undoably.
    bool clearSelectedImageAnnotations();
    void restoreUndoSnapshot(const ImageUndoSnapshot &snapshot, qsizetype index);
    // Forgets the histories of the given images (they left the list).
    void eraseUndoHistories(const QSet<QUuid> &itemIDs);

    // ---- Image comparison operations (src/comparison/) ------------------------------------------
    // MarkupViewModel_ImageComparison.cpp. Successes write statusMessage; an image that cannot be
    // decoded sets errorMessage "对比图片无法解析". Unknown ids change nothing.
    // Selects the pair; the status becomes its position text.
    void selectComparisonPair(const QUuid &id);
    // Removes the pair. The selection stays on another pair that still exists, else moves to the
    // pair now at the removed position (or the new last one).
    void deleteComparisonPair(const QUuid &id);
    // One side of a pair from an image file, or nothing when the file cannot be decoded.
    std::optional<ComparisonImageState> makeComparisonImage(const QString &path);
    // Appends the pairs and selects the first of them; an empty list changes nothing.
    void appendComparisonPairs(std::vector<ComparisonPairState> pairs);
    // Pairs the image files of two folders by match key and decodes them. The pairs are not
    // added; only errorMessage may change.
    ComparisonBatchImportResult batchComparisonPairs(const QString &beforeFolder, const QString &afterFolder);
    // The second half of batchComparisonPairs, for a batch decoded on worker threads.
    ComparisonBatchImportResult finishComparisonBatch(ComparisonPairing::DecodedBatch batch);
    // The file name without its last extension, with widths, accents and case folded, the
    // before/after words of both languages and the separators removed.
    static QString comparisonMatchKey(const QString &path);
    // Pairs each before file with the one after file of its key; keys shared by several after
    // files pair nothing. Both lists must already be sorted.
    static ComparisonPairing::URLMatch matchComparisonURLs(const QStringList &before, const QStringList &after);
    // ---- Text comparison operations (src/textengine/) -------------------------------------------
    // MarkupViewModel_TextComparison.cpp. Successes write statusMessage, failures errorMessage;
    // nothing is thrown. Every change of the document requests the project autosave; exports do not.
    // Each side of the edited text's history (undo, redo) keeps at most this many steps.
    static constexpr qsizetype textComparisonHistoryLimit = 80;
    // True exactly when a text document is present.
    bool canExportTextComparison() const;
    // A new document of the text (line ends made "\n"; unless blank, outer line breaks removed),
    // outside any project file; both histories emptied. Nothing changes when the pending
    // autosave of the open project cannot be written.
    void setTextComparison(const QString &sourceName, const QString &text);
    // Reads a TXT/RTF/any text file or a DOCX package and makes it the document; the error text
    // on failure, the document left as it was.
    void importTextComparison(const QString &path);
    // The editor's whole new edited text. An unchanged text (same UTF-16 code units) does nothing.
    void updateEditedComparisonText(const QString &text);
    // Both always return true: the command was handled even with nothing to undo or redo.
    bool undoTextComparisonEdit();
    bool redoTextComparisonEdit();
    // A markup on the UTF-16 range of the edited text; a negative location means "no selection".
    // Returns the existing markup of exactly that range instead of adding a second one.
    std::optional<TextMarkupAnnotation> addTextMarkupAnnotation(qint64 location, qint64 length);
    // Absent values leave their field alone; a colour decides its flag.
    void updateTextMarkupAnnotation(const QUuid &id, const std::optional<QString> &note,
                                    std::optional<bool> highlight, const std::optional<QString> &highlightColorHex,
                                    std::optional<bool> underline, const std::optional<QString> &underlineColorHex,
                                    std::optional<bool> strikethrough);
    void deleteTextMarkupAnnotation(const QUuid &id);
    // PNG, PDF and DOCX of the comparison or of the edited page, written to the Desktop; the
    // written file's path, or nothing on failure. `comparison` is the result of the document's
    // texts (the one the editor shows); the exports never compare the texts themselves.
    std::optional<QString> saveTextComparisonToDesktop(TextComparisonExportKind kind,
                                                       const TextComparisonResult &comparison,
                                                       const std::optional<QString> &title = std::nullopt);
    std::optional<QString> saveEditedComparisonPDFToDesktop(TextComparisonExportKind kind,
                                                            const TextComparisonResult &comparison,
                                                            const std::optional<QString> &title = std::nullopt);
    std::optional<QString> saveTextComparisonWordToDesktop(TextComparisonExportKind kind,
                                                           const TextComparisonResult &comparison,
                                                           const std::optional<QString> &title = std::nullopt);
    // The document a project brings (or none): line ends and markups brought into the document's
    // rules, both histories emptied so that an undo cannot write the previous document's text
    // into this one. No status, no autosave.
    void restoreTextComparisonFromProject(std::optional<TextComparisonState> state);
    // ---- Project save, open and autosave (src/model/MarkupViewModel_Project.cpp) ----------------
    // Project files larger than this are refused before they are read.
    static constexpr qint64 maximumProjectFileSize = qint64(2) << 30;
    // Writes the project (the text comparison, and the image and pair records of the project
    // this session opened) and remembers the written file; the pending autosave is dropped.
    // Written on the calling thread, for those who need the outcome before they go on.
    bool saveProject(const QString &path);
    // Where project saves and autosaves are encoded and written. The window gives a worker, so
    // that a large project never holds it; without one (the default) a write ends before the
    // call that asked for it returns. Whatever the worker, writes of project files go one at a
    // time, and a write never replaces a file that a later one has written.
    void setProjectWriter(std::shared_ptr<TextComparisonExecutor> writer);
    // The same as saveProject, written on the project writer: "项目已保存：…" and the project's
    // location follow once the file is written, a failure shows in the error alert. Edits made
    // meanwhile go to the file by the autosave.
    void startSavingProject(const QString &path);
    // Starts the autosave that is due, if any, and calls `then` on this thread once every project
    // write asked for until then (and edits made while waiting) has ended: true when none of them
    // failed (the failure shows in the error alert). Dropped, never called, with the view model.
    void finishProjectWrites(std::function<void(bool written)> then);
    // The default file name of the save panel: the current image's name, else the text
    // comparison's source name, without extension; "Kivora项目" when blank; + ".kivo".
    QString suggestedProjectFileName() const;
    // Reads a project file into the view model, all or nothing: any failure leaves the work as
    // it was. A pending autosave is written first; when it cannot be, nothing is opened.
    // The same as readProjectFile then applyReadProject, all on the calling thread.
    bool openProject(const QString &path);
    // A project file read and decoded but not yet the window's: the reading step of an open,
    // which touches no view model and so runs off the window's thread.
    struct ReadProject {
        MarkupProjectDocument document;
        std::vector<ImageMarkupItem> items;
        std::vector<ComparisonPairState> pairs;
    };
    // The file read, its structure checked and decoded, every picture decoded; else the error,
    // which names the file. Another program's file is refused here, before anything is asked or
    // replaced.
    static std::variant<ReadProject, MarkupProjectError> readProjectFile(const QString &path);
    // Makes a read project the work on screen at once: the pending autosave of the open project
    // written first (nothing changes when it cannot be), then everything assigned, the status set.
    // The comparison pairs on screen stay: the document's own pairs, if any, are added after
    // them, those already in the list not twice.
    bool applyReadProject(const QString &path, ReadProject project);
    // Requests a write of the open project 0.5 s from now, replacing any pending request;
    // nothing without an open project.
    void scheduleProjectAutosave();
    // Forgets the image undo histories and, unless it holds the text comparison on screen, the
    // open project (a pending autosave is written first). A text kept in its project file stays
    // there and keeps autosaving.
    void resetProjectSession();
    // Writes the autosave that is due, if any, now, on the calling thread; false only when that
    // write failed (the error is set). A write of the open project still under way on the project
    // writer counts as due: the file holds the project as it is now when this returns true. The
    // project file stays open.
    bool writePendingAutosave();
    // Leaves the project file without forgetting anything else: a pending autosave is written
    // first, then projectURL is none, so later changes go to no file until the next save. When
    // that write fails (the error is set) the file is not left and the answer is false.
    bool leaveProjectFile();
    // Work that no project file holds, which a project open or a new source would lose: a text
    // comparison outside a project file with edits or markups; images outside the open project
    // file, or whose annotations changed since it was opened.
    bool hasUnsavedTextComparison() const;
    bool hasUnsavedImages() const;
    // The steps of save and open. writeProjectFile gives the path actually written (".kivo"
    // appended unless the extension already is that, in any case).
    std::variant<QString, MarkupProjectError> writeProjectFile(const QString &path);
    // What a write of the project holds, taken on the window's thread: the texts and records are
    // shared with the view model, not copied.
    MarkupProjectDocument projectSnapshot() const;
    using ProjectWriteResult = std::variant<QString, MarkupProjectError>;
    // Writes the project as it is now to `path` on the project writer; `done` gets the outcome
    // on this thread, and whether this write is still the latest of its file (no later write
    // reached the file).
    void startProjectWrite(const QString &path, std::function<void(const ProjectWriteResult &, bool latest)> done);
    void startAutosave(const std::optional<QString> &target);
    void endProjectWrite(const ProjectWriteResult &result, const QString &target, quint64 sequence,
                         const std::function<void(const ProjectWriteResult &, bool latest)> &done);
    void releaseProjectWriteWaiters();
    static std::optional<MarkupProjectError> decodeProjectPictures(ReadProject &project);
    void assignProject(ReadProject &project);
    static std::variant<ImageMarkupItem, MarkupProjectError> makeImageItem(const MarkupProjectImage &record);
    static std::variant<ComparisonPairState, MarkupProjectError>
    makeComparisonPair(const MarkupProjectComparisonPair &record);
    // ---- Video frame annotation (src/video/) -----------------------------------------------------
    // MarkupViewModel_VideoFrameAnnotation.cpp. The video workspace's view model holds one item:
    // the frame being annotated.
    // Makes the snapshot the only item, selected, with a new id. The current annotations carry
    // over when the snapshot is the same frame (same file name), or always with
    // `keepAnnotations`; otherwise the frame starts bare. Undo and redo are emptied. Zoom, tool,
    // error and style stay. False, with "视频帧无法解析" and nothing else changed, for an empty picture.
    bool loadVideoFrame(const VideoFrameSnapshot &snapshot, bool keepAnnotations = false);
    // Writes the current frame with its annotations as PNG to the Desktop; the path, or nothing
    // with errorMessage set.
    std::optional<QString> saveAnnotatedVideoFrame(const QString &timecode);
    // base (the name without extension, trimmed; "视频取帧" when blank) + "-标注" + the dashed
    // timecode unless the base holds it + "-" + timestamp + ".png", fitted into 255 UTF-8 bytes.
    static QString videoFrameExportFileName(const ImageMarkupItem &item, const QString &timecode,
                                            const QString &timestamp);
    // The same at the current time.
    static QString videoFrameExportFileName(const ImageMarkupItem &item, const QString &timecode);
    // select, arrow, text, rectangle and brush in the user's tool order, the missing ones after.
    std::vector<MarkupTool> videoFrameToolOrder() const;
    // The video workspace's key commands: the tools of videoFrameToolOrder(), and "delete" deletes
    // annotations only (the frame is no image to delete).
    bool handleVideoFrameShortcut(const QString &command);

Q_SIGNALS:
    // After any published property changed, following its own signal.
    void stateChanged();

    void itemsChanged();
    void selectedItemIDChanged();
    void selectedImageItemIDsChanged();
    void selectedToolChanged();
    void toolOrderChanged();
    void pointerInteractionSettingsChanged();
    void headerToolbarOrdersChanged();
    void selectedAnnotationIDChanged();
    void selectedAnnotationIDsChanged();
    void selectedAnnotationPartChanged();
    void draftAnnotationChanged();
    void selectionRectChanged();
    void cropRectChanged();
    void colorSamplePreviewChanged();
    void isColorSampleLockedChanged();
    void editingTextAnnotationIDChanged();
    void zoomChanged();
    void arrowLineWidthChanged();
    void cropAspectRatioChanged();
    void statusMessageChanged();
    void errorMessageChanged();
    void isSavingImagesToDesktopChanged();
    void pendingTextFocusIDChanged();
    void comparisonPairsChanged();
    void selectedComparisonPairIDChanged();
    void textComparisonChanged();
    void projectURLChanged();

private:
    // Stores `value` and emits `signal` and stateChanged() when it differs from the old value.
    template<typename T>
    void assign(T &member, T value, void (MarkupViewModel::*signal)());

    bool stepHistory(UndoStacks &from, UndoStacks &to, const QString &emptyMessage, const QString &doneMessage);

    // Published.
    std::vector<ImageMarkupItem> m_items;
    std::optional<QUuid> m_selectedItemID;
    QSet<QUuid> m_selectedImageItemIDs;
    MarkupTool m_selectedTool = MarkupTool::Arrow;
    std::vector<MarkupTool> m_toolOrder;
    PointerInteractionSettings m_pointerInteractionSettings;
    HeaderToolbarOrders m_headerToolbarOrders;
    std::optional<QUuid> m_selectedAnnotationID;
    QSet<QUuid> m_selectedAnnotationIDs;
    AnnotationSelectionPart m_selectedAnnotationPart = AnnotationSelectionPart::Shape;
    std::optional<MarkupAnnotation> m_draftAnnotation;
    std::optional<QRectF> m_selectionRect;
    std::optional<QRectF> m_cropRect;
    std::optional<ColorSamplePreview> m_colorSamplePreview;
    bool m_isColorSampleLocked = false;
    std::optional<QUuid> m_editingTextAnnotationID;
    double m_zoom = 1.0;
    double m_arrowLineWidth = 2.5;
    CropAspectRatio m_cropAspectRatio = CropAspectRatio::Free;
    QString m_statusMessage = QStringLiteral("就绪");
    // The state the status tells of, while it does.
    std::optional<StatusMoment> m_statusMoment;
    std::optional<QString> m_errorMessage;
    bool m_isSavingImagesToDesktop = false;
    std::optional<QUuid> m_pendingTextFocusID;
    std::vector<ComparisonPairState> m_comparisonPairs;
    std::optional<QUuid> m_selectedComparisonPairID;
    std::optional<TextComparisonState> m_textComparison;
    std::optional<QString> m_projectURL;

    // Not published.
    UndoStacks m_undoSnapshotsByItemID;
    UndoStacks m_redoSnapshotsByItemID;
    TextEditHistory m_textComparisonHistory{textComparisonHistoryLimit};
    bool m_isApplyingTextComparisonHistory = false;
    std::vector<MarkupAnnotation> m_annotationClipboard;
    QTimer *m_autosaveTimer = nullptr;
    std::optional<QString> m_autosaveProjectURL;
    // Project writes: the worker (none: the calling thread), the writes started on it and not yet
    // ended, the number of the latest of them and of the latest written here, the failures shown,
    // and who waits for them all to end (with the failures counted when they began to wait).
    std::shared_ptr<TextComparisonExecutor> m_projectWriter;
    int m_projectWritesUnderWay = 0;
    quint64 m_latestProjectWriteStarted = 0;
    quint64 m_latestProjectWriteHere = 0;
    int m_projectWriteFailures = 0;
    std::vector<std::pair<int, std::function<void(bool)>>> m_projectWriteWaiters;
    // Counted at every change of the document (each asks for an autosave) and at every change of
    // project file: a save that ends sees what happened while it was writing.
    quint64 m_projectEdits = 0;
    quint64 m_projectSessions = 0;
    QSettings &m_defaults;
    StylePreset m_stylePreset;
    // The image and pair records of the project file this session opened. Saves and autosaves
    // write them back unchanged, so editing the text of a project that also holds images does not
    // drop its images; another open or resetProjectSession() forgets them.
    std::vector<MarkupProjectImage> m_projectSessionImages;
    std::vector<MarkupProjectComparisonPair> m_projectSessionPairs;
};
