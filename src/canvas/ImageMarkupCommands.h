#pragma once

#include "canvas/ImageMarkupHost.h"
#include "model/MarkupTools.h"
#include "ui/Confirmer.h"
#include "ui/FileChooser.h"

#include <QObject>
#include <QPointer>

#include <memory>

class BackgroundDesktopSave;
class MarkupViewModel;
class QToolButton;
class QMenu;
class FeedbackButton;
class QWidget;

// The root view's image markup members: the import panel, the two header controls (annotation
// menu and save to the Desktop), the delete commands with their confirmations and the fit command.
// Each ends in a view model operation. (Escape and the side buttons are routed by the root view.)
class ImageMarkupCommands final : public QObject {
    Q_OBJECT

public:
    ImageMarkupCommands(ImageMarkupHost &host, QWidget *dialogParent = nullptr);
    ~ImageMarkupCommands() override;

    // Replaced by tests; the defaults are the real alert and file dialog.
    void setConfirmer(std::unique_ptr<Confirmer> confirmer) { m_confirmer = std::move(confirmer); }
    void setFileChooser(std::unique_ptr<FileChooser> chooser) { m_fileChooser = std::move(chooser); }

    void presentImageImportPanel();
    // The header's annotation menu and save button (made once; the caller places them).
    QToolButton *imageAnnotationMenuButton(QWidget *parent);
    FeedbackButton *saveToDesktopButton(QWidget *parent);

    // The workspace's delete action and a side button's deleteSelection: the selected annotations,
    // else (after asking) the selected images. True when something was deleted.
    bool deleteImageMarkupSelection();
    void fitImageMarkupCanvas();

    bool confirmDeleteSelectedImageItems();
    void confirmClearImageAnnotations();
    // The save button and Ctrl+S: saves the selected images as PNG files to the Desktop off the
    // GUI thread, with the progress in the status line. Does nothing while such a save runs.
    void saveSelectedImagesToDesktopAction();
    // Rebuilds the three annotation menu items (their enabled state is read now).
    void fillImageAnnotationMenu(QMenu &menu);

    // What the delete alert asks for the current selection; nothing when no alert is needed.
    std::optional<ConfirmationRequest> deleteImagesRequest() const;

private:
    ImageMarkupHost &m_host;
    QPointer<QWidget> m_dialogParent;
    std::unique_ptr<Confirmer> m_confirmer;
    std::unique_ptr<FileChooser> m_fileChooser;
    std::unique_ptr<BackgroundDesktopSave> m_desktopSave; // made by the first save
};
