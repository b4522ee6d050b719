// Hit-testing 300 labelled annotations at one pointer position, as the canvas does on every
// pointer move. Goal: well under 1 ms per full test once the label layouts are cached.
#include "markup/MarkupHitTesting.h"
#include "platform/ImageLimits.h"

#include <QApplication>

#include <chrono>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ImageLimits::configure();

    std::vector<MarkupAnnotation> annotations;
    for (int i = 0; i < 300; ++i) {
        const double x = (i % 20) / 20.0;
        const double y = (i / 20) / 15.0;
        const AnnotationKind kind = i % 3 == 0 ? AnnotationKind::Arrow
            : i % 3 == 1                        ? AnnotationKind::Rectangle
                                                : AnnotationKind::Brush;
        MarkupAnnotation a(QUuid::createUuid(), kind, UnitPoint2D(x, y), UnitPoint2D(x + 0.04, y + 0.05),
                           QStringLiteral("标注文字 %1 这是一段较长的说明文字").arg(i), QStringLiteral("#DC2626"), 3,
                           20, std::nullopt, std::nullopt, 1, i + 1, {});
        if (kind == AnnotationKind::Brush)
            for (int p = 0; p < 400; ++p)
                a.points.push_back(UnitPoint2D(x + p * 0.0001, y + (p % 7) * 0.001));
        annotations.push_back(a);
    }
    const QSizeF canvas(1600, 1000);
    const QPointF pointer(-500, -500); // nothing there: every annotation is tested

    using Clock = std::chrono::steady_clock;
    const auto coldStart = Clock::now();
    volatile bool found = MarkupGeometry::hitAnnotationID(pointer, annotations, canvas, 14).has_value();
    const double coldMs = std::chrono::duration<double, std::milli>(Clock::now() - coldStart).count();

    const int rounds = 200;
    auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        found = MarkupGeometry::hitAnnotationID(pointer, annotations, canvas, 14).has_value();
    const double hitMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / rounds;
    start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        found = MarkupGeometry::hitEditableTextAnnotationID(pointer, annotations, canvas).has_value();
    const double labelMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / rounds;
    std::printf("first hit test (layouts measured): %.3f ms\n", coldMs);
    std::printf("hitAnnotationID, 300 labelled annotations: %.3f ms (goal < 1 ms)\n", hitMs);
    std::printf("hitEditableTextAnnotationID, same: %.3f ms\n", labelMs);
    return found ? 1 : 0;
}
