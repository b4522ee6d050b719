#pragma once

#include <QWidget>

#include <functional>

class ImageListModel;
class ImageListView;
class MarkupViewModel;
class PanelButton;
class QLabel;

// The image list column: the "图片" header with the count, then either the import tile alone
// (no images) or the scrolling cards with the import tile at their end, and below them the
// select-all toggle when there are two or more images.
class ImageListColumn : public QWidget {
    Q_OBJECT

public:
    static constexpr int columnWidth = 101;

    explicit ImageListColumn(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    // Opens the import panel (the root view's import command).
    void setImportAction(std::function<void()> action);
    // Resets the canvas pan; run before every card click.
    void setResetPanAction(std::function<void()> action);

    ImageListModel *listModel() const { return m_model; }
    ImageListView *listView() const { return m_list; }
    QLabel *countLabel() const { return m_count; }
    PanelButton *emptyImportTile() const { return m_emptyTile; }
    PanelButton *selectAllToggle() const { return m_selectAll; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();

    MarkupViewModel &m_viewModel;
    std::function<void()> m_importAction;
    ImageListModel *m_model = nullptr;
    ImageListView *m_list = nullptr;
    QLabel *m_count = nullptr;
    PanelButton *m_emptyTile = nullptr;
    QWidget *m_emptySpacer = nullptr;
    PanelButton *m_selectAll = nullptr;
};
