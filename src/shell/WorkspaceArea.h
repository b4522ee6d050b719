#pragma once

#include <QPointer>
#include <QWidget>

class ContentView;
class DropHighlight;

// The main area of the window below the header: it holds the content of the current workspace,
// takes drops for the whole window and lays the dashed drop highlight over the content.
class WorkspaceArea : public QWidget
{
    Q_OBJECT

public:
    explicit WorkspaceArea(ContentView &root, QWidget *parent = nullptr);

    // Replaces the content; the old widget is deleted with its own state.
    void setContent(QWidget *content);
    QWidget *content() const { return m_content; }
    DropHighlight *highlight() const { return m_highlight; }
    void setHighlightVisible(bool visible);

    // Whether a drag carries something the window takes: URLs, an image, or image/video data.
    static bool acceptsMimeData(const class QMimeData *mimeData);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    ContentView &m_root;
    QPointer<QWidget> m_content;
    DropHighlight *m_highlight = nullptr;
};
