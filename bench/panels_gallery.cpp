// Not a timing: shows every canvas panel, the image sidebar with 20 images and the tool settings
// popover in one window, so they can be looked at (screenshots under a virtual display).
// Usage: bench_panels_gallery [seconds-before-quit [popover]]
#include "canvas/AnnotationSizeEditor.h"
#include "canvas/CropToolbar.h"
#include "canvas/CurveToggle.h"
#include "canvas/EyedropperPanel.h"
#include "canvas/ImageMarkupSidebar.h"
#include "canvas/InlineTextPanel.h"
#include "canvas/LabelWidthHandle.h"
#include "canvas/TextStyleEditor.h"
#include "canvas/ToolColumn.h"
#include "markup/AnnotationRenderer.h"
#include "model/AppFont.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageLimits.h"
#include "ui/PanelChrome.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>

namespace {

QImage picture(int w, int h, int hue)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor::fromHsv(hue % 360, 90, 240));
    g.setColorAt(1, QColor::fromHsv((hue + 60) % 360, 140, 170));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawEllipse(QRectF(w * 0.55, h * 0.2, w * 0.3, w * 0.3));
    return image;
}

// A stand-in for the markup canvas: paints the picture and the annotations at the origin, and the
// panels' shadows under them.
class CanvasStandIn : public QWidget {
public:
    CanvasStandIn(MarkupViewModel &model, QSizeF canvas)
        : m_model(model)
        , m_canvas(canvas)
    {
    }
    QPointF origin() const { return {24, 24}; }
    void place(FloatingPanel *panel)
    {
        panel->setParent(this);
        panel->move((origin() + panel->canvasRect().topLeft()).toPoint());
        panel->show();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0xE6, 0xEB, 0xF2));
        p.translate(origin());
        p.drawImage(QRectF(QPointF(0, 0), m_canvas), m_model.image().image());
        p.setRenderHint(QPainter::Antialiasing);
        AnnotationRenderer::drawAnnotations(p, m_model.annotations(), m_canvas);
        if (m_model.cropRect()) {
            p.setPen(QPen(QColor(0x05, 0x96, 0x69), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(*m_model.cropRect());
        }
        p.resetTransform();
        for (QObject *child : children()) {
            auto *panel = qobject_cast<FloatingPanel *>(child);
            if (!panel || !panel->isVisible())
                continue;
            const FloatingPanel::Shadow s = panel->shadow();
            PanelChrome::paintShadow(p, QRectF(panel->geometry()), panel->cornerRadius(), s.opacity, s.radius, s.offset);
        }
    }

private:
    MarkupViewModel &m_model;
    QSizeF m_canvas;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(AppFont::font(13));
    ImageLimits::configure();
    QTemporaryDir dir;
    QSettings settings(dir.filePath("p.ini"), QSettings::IniFormat);
    MarkupViewModel model(settings);

    std::vector<ImageMarkupItem> items;
    for (int i = 0; i < 20; ++i) {
        ImageMarkupItem item;
        item.id = QUuid::createUuid();
        item.fileName = QStringLiteral("截图 %1.png").arg(i + 1);
        const int w = i % 3 == 0 ? 900 : 1200;
        const int h = i % 3 == 0 ? 1200 : 800;
        item.image = ImageHandle(picture(w, h, i * 29));
        item.thumbnail = ImageHandle(item.image.image().scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        item.pixelSize = QSizeF(w, h);
        auto label = [](AnnotationKind kind, UnitPoint2D a, UnitPoint2D b, const QString &text, qint64 n,
                        const QString &color) {
            return MarkupAnnotation(QUuid::createUuid(), kind, a, b, text, color, 4, 26, std::nullopt, std::nullopt,
                                    1, n, {});
        };
        if (i == 1) {
            item.annotations.push_back(label(AnnotationKind::Arrow, {0.18, 0.30}, {0.34, 0.52}, "按钮位置不对", 1, "#DC2626"));
            item.annotations.push_back(label(AnnotationKind::Rectangle, {0.52, 0.50}, {0.80, 0.72}, "这里留白太多", 2, "#2563EB"));
            item.annotations.push_back(label(AnnotationKind::Text, {0.10, 0.80}, {0.10, 0.80}, "标题改成两行", 3, "#059669"));
        }
        items.push_back(item);
    }
    model.setItems(items);
    model.setSelectedItemID(items[1].id);
    model.setSelectedImageItemIDs({items[1].id, items[4].id, items[5].id});
    model.setSelectedTool(MarkupTool::Arrow);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Kivora panels"));
    auto *layout = new QHBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *sidebar = new ImageMarkupSidebar(model);
    layout->addWidget(sidebar);
    const QSizeF canvas(1100, 733);
    auto *stage = new CanvasStandIn(model, canvas);
    layout->addWidget(stage, 1);

    const std::vector<MarkupAnnotation> annotations = model.annotations();
    const MarkupAnnotation &arrow = annotations[0];
    const MarkupAnnotation &rect = annotations[1];
    const MarkupAnnotation &text = annotations[2];
    model.setSelectedAnnotationID(arrow.id);

    auto *size = new AnnotationSizeEditor(model);
    size->sync(arrow, canvas);
    stage->place(size);
    auto *curve = new CurveToggle(model);
    curve->sync(arrow, canvas);
    stage->place(curve);
    auto *handle = new LabelWidthHandle;
    handle->sync(arrow, canvas);
    stage->place(handle);
    model.setSelectedAnnotationID(rect.id);
    auto *style = new TextStyleEditor(model);
    style->sync(rect, canvas);
    stage->place(style);
    auto *inlinePanel = new InlineTextPanel(model);
    inlinePanel->sync(text, canvas);
    stage->place(inlinePanel);
    auto *eyedropper = new EyedropperPanel(model);
    eyedropper->sync({SampledImageColor(220, 38, 38, 128), QPointF(640, 60), QPointF()}, true, canvas);
    stage->place(eyedropper);
    model.setCropRect(QRectF(560, 520, 300, 160));
    auto *crop = new CropToolbar(model);
    crop->sync(*model.cropRect(), canvas);
    stage->place(crop);

    window.resize(1400, 900);
    window.move(0, 0);
    window.show();
    if (argc > 2 && QByteArray(argv[2]) == "popover")
        QTimer::singleShot(300, [&] { sidebar->toolColumn()->setToolOrderEditorPresented(true); });
    if (argc > 1)
        QTimer::singleShot(int(QByteArray(argv[1]).toDouble() * 1000), &app, &QApplication::quit);
    return app.exec();
}
