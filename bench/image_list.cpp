// Speed of the image sidebar and the inline label editor: building the list of 500 images, one
// scroll step, one card click, one live reorder step, and one keystroke in the inline editor with
// 300 annotations on the image. Goals: 100, 8, 50, 5 and 5 ms.
#include "BenchSupport.h"

#include "canvas/CanvasSurface.h"
#include "canvas/ImageListModel.h"
#include "canvas/ImageListView.h"
#include "canvas/ImageMarkupSidebar.h"
#include "canvas/ImageMarkupWorkspace.h"
#include "canvas/InlineTextPanel.h"
#include "model/AppFont.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageLimits.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using BenchSupport::Clock;
using BenchSupport::ms;
using BenchSupport::report;

std::vector<ImageMarkupItem> images(int count)
{
    std::vector<ImageMarkupItem> items;
    for (int i = 0; i < count; ++i) {
        QImage thumbnail(96, 64, QImage::Format_RGB32);
        thumbnail.fill(QColor::fromHsv((i * 37) % 360, 120, 220));
        ImageMarkupItem item;
        item.id = QUuid::createUuid();
        item.fileName = QStringLiteral("%1.png").arg(i + 1);
        item.image = ImageHandle(thumbnail);
        item.thumbnail = ImageHandle(thumbnail);
        item.pixelSize = QSizeF(1500, 1000);
        items.push_back(item);
    }
    return items;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(AppFont::font(13));
    ImageLimits::configure();
    QTemporaryDir dir;
    QSettings settings(dir.filePath("p.ini"), QSettings::IniFormat);
    MarkupViewModel model(settings);
    model.setItems(images(500));
    model.setSelectedItemID(model.items()[0].id);

    // Building: the sidebar made, laid out and painted once.
    std::unique_ptr<ImageMarkupSidebar> sidebar;
    report("build sidebar with 500 images (first paint)", 100, 5, [&](int) {
        sidebar = std::make_unique<ImageMarkupSidebar>(model);
        sidebar->resize(188, 860);
        sidebar->show();
        sidebar->repaint();
    });
    ImageListView *view = sidebar->imageList()->listView();
    QApplication::processEvents();

    report("one scroll step (repaint)", 8, 200, [&](int i) {
        QScrollBar *bar = view->verticalScrollBar();
        bar->setValue((i * 20) % std::max(1, bar->maximum()));
        view->viewport()->repaint();
    });

    view->verticalScrollBar()->setValue(0);
    // Card click until the canvas shows the new image: 1500 x 1000 pictures, already decoded.
    {
        std::vector<ImageMarkupItem> items = model.items();
        for (int i = 0; i < 10; ++i) {
            QImage full(1500, 1000, QImage::Format_RGB32);
            full.fill(QColor::fromHsv(i * 30, 100, 200));
            items[size_t(i)].image = ImageHandle(full);
        }
        model.setItems(items);
    }
    ImageMarkupWorkspace workspace(&model);
    workspace.resize(1056, 760);
    workspace.show();
    QApplication::processEvents();
    for (int i = 0; i < 10; ++i) { // decode and build every picture's levels once
        view->activateRow(i, Qt::NoModifier);
        QApplication::processEvents();
        workspace.surface()->repaint();
    }
    report("card click until the canvas is painted", 50, 100, [&](int i) {
        view->activateRow(i % 10, i % 2 ? Qt::ControlModifier : Qt::NoModifier);
        QApplication::processEvents();
        view->viewport()->repaint();
        workspace.surface()->repaint();
    });

    report("live reorder step (move + repaint)", 5, 200, [&](int i) {
        const auto &items = model.items();
        model.moveImageItem(items[size_t(i % 8)].id, items[size_t(i % 8 + 3)].id);
        QApplication::processEvents();
        view->viewport()->repaint();
    });

    // The inline editor with 300 annotations on the current image.
    {
        std::vector<ImageMarkupItem> items = model.items();
        for (int i = 0; i < 300; ++i)
            items[0].annotations.push_back(MarkupAnnotation(
                QUuid::createUuid(), i % 2 ? AnnotationKind::Arrow : AnnotationKind::Rectangle,
                UnitPoint2D((i % 20) / 20.0, (i / 20) / 15.0), UnitPoint2D((i % 20) / 20.0 + 0.04, (i / 20) / 15.0 + 0.05),
                QStringLiteral("标注 %1").arg(i), QStringLiteral("#DC2626"), 4, 26, std::nullopt, std::nullopt, 1, i + 1, {}));
        model.setItems(items);
        model.selectImageItem(items[0].id, false);
    }
    QWidget window;
    window.resize(900, 600);
    auto *panel = new InlineTextPanel(model, &window);
    const QUuid edited = model.annotations()[150].id;
    model.setSelectedAnnotationID(edited);
    model.setEditingTextAnnotationID(edited);
    panel->sync(model.annotations()[150], {900, 600});
    window.show();
    panel->show();
    panel->textEdit()->setFocus();
    QApplication::processEvents();
    report("inline keystroke with 300 annotations", 5, 200, [&](int) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(panel->textEdit(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(panel->textEdit(), &release);
        QApplication::processEvents();
    });
    std::printf("undo steps recorded by 200 keystrokes: %zu\n\n", model.undoSnapshotsByItemID().value(model.items()[0].id).size());
    return 0;
}
