#pragma once

#include "model/MarkupTools.h"

#include <QWidget>

#include <array>
#include <functional>

class MarkupViewModel;
class PanelButton;
class QMenu;

// The "鼠标/触控板" section of the tool settings: what the wheel, trackpad scrolling, a middle
// drag and the two side buttons do on the canvas, each chosen from a menu and applied, stored and
// announced at once; plus a fixed row saying that pinching always zooms. It keeps no state: the
// faces show the view model's settings at every change.
class PointerSettingsEditor : public QWidget {
    Q_OBJECT

public:
    // The five selectable rows, in display order.
    enum Row { MouseWheel, TrackpadScroll, MiddleDrag, SideButton1, SideButton2 };
    static constexpr int rowCount = 5;

    explicit PointerSettingsEditor(MarkupViewModel &viewModel, QWidget *parent = nullptr);

    // The face of a row's menu (shows the current option's title) and its menu.
    PanelButton *face(Row row) const { return m_faces[size_t(row)]; }
    QMenu *menu(Row row) const { return m_menus[size_t(row)]; }
    // The fixed pinch row.
    QWidget *pinchRow() const { return m_pinchRow; }

    // Writes one field (also when unchanged), saves the settings and sets the status text.
    static void choose(MarkupViewModel &viewModel, const std::function<void(PointerInteractionSettings &)> &change);

private:
    void refresh();

    MarkupViewModel &m_viewModel;
    std::array<PanelButton *, rowCount> m_faces{};
    std::array<QMenu *, rowCount> m_menus{};
    QWidget *m_pinchRow = nullptr;
};
