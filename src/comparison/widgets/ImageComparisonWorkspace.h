#pragma once

#include <QSizeF>
#include <QUuid>
#include <QWidget>

#include <functional>

class ComparisonPairListModel;
class ComparisonPairListView;
class ComparisonSurface;
class MarkupViewModel;
class QStackedLayout;
class WorkspaceViewportEventLayer;

// The comparison workspace: a 126-wide sidebar of numbered pair cards with the two add buttons,
// and the canvas area with the selected pair (the first pair when none is selected); without a
// pair, only the empty state on the pale fill. It is built on every entry and keeps only layout
// and gesture state: pairs, selection and zoom come from the view model, pan and divider position
// through the bindings below, and every action goes out through the callbacks.
class ImageComparisonWorkspace final : public QWidget {
    Q_OBJECT

public:
    struct Bindings {
        std::function<QSizeF()> panOffset;
        std::function<void(QSizeF)> setPanOffset;
        std::function<double()> fraction;
        std::function<void(double)> setFraction;
    };
    struct Actions {
        std::function<void()> addComparison;
        std::function<void()> batchAddComparison;
        std::function<void(const QUuid &)> selectComparison;
        std::function<void(const QUuid &)> deleteComparison;
    };

    ImageComparisonWorkspace(MarkupViewModel &viewModel, Bindings bindings, Actions actions, QWidget *emptyState,
                             QWidget *parent = nullptr);
    ~ImageComparisonWorkspace() override;

    ComparisonSurface *surface() const { return m_surface; }
    ComparisonPairListView *pairList() const { return m_list; }
    WorkspaceViewportEventLayer *viewportLayer() const { return m_viewportLayer; }
    QWidget *emptyState() const { return m_emptyState; }
    bool isShowingPair() const;

    // The pan and divider position changed outside; the canvas follows.
    void panOffsetChanged();
    void fractionChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *makeSidebar();
    void pairsChanged();

    MarkupViewModel &m_viewModel;
    Bindings m_bindings;
    Actions m_actions;
    QStackedLayout *m_stack = nullptr;
    QWidget *m_emptyState = nullptr;
    QWidget *m_content = nullptr;
    ComparisonPairListModel *m_model = nullptr;
    ComparisonPairListView *m_list = nullptr;
    ComparisonSurface *m_surface = nullptr;
    WorkspaceViewportEventLayer *m_viewportLayer = nullptr;
    class QLabel *m_count = nullptr;
};
