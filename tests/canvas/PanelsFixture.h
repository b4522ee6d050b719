#pragma once

#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

// A view model over temporary preferences with images of 800 × 600 pixels, the first one current,
// for the tests of the canvas panels and the sidebar.
class PanelsFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath("prefs.ini"), QSettings::IniFormat};
    MarkupViewModel model{settings};

    static ImageMarkupItem item(const QString &name, QColor color = Qt::white)
    {
        ImageMarkupItem item;
        item.id = QUuid::createUuid();
        item.fileName = name;
        item.image = ImageHandle(TestSupport::solidImage(800, 600, color));
        item.thumbnail = ImageHandle(TestSupport::solidImage(96, 72, color));
        item.pixelSize = QSizeF(800, 600);
        return item;
    }

    void addImages(int count)
    {
        std::vector<ImageMarkupItem> items;
        for (int i = 0; i < count; ++i)
            items.push_back(item(QStringLiteral("%1.png").arg(i + 1), QColor::fromHsv((i * 37) % 360, 120, 220)));
        model.setItems(items);
        model.setSelectedItemID(model.items()[0].id);
    }

    // Replaces the annotations of the current image (unrecorded) and returns them.
    const std::vector<MarkupAnnotation> &place(std::vector<MarkupAnnotation> annotations)
    {
        auto items = model.items();
        items[size_t(*model.selectedIndex())].annotations = std::move(annotations);
        model.setItems(items);
        return model.items()[size_t(*model.selectedIndex())].annotations;
    }

    qsizetype undoDepth() const
    {
        return qsizetype(model.undoSnapshotsByItemID().value(*model.selectedItemID()).size());
    }

    MarkupAnnotation current(const QUuid &id) const
    {
        for (const MarkupAnnotation &a : model.annotations())
            if (a.id == id)
                return a;
        return {};
    }

    static MarkupAnnotation annotation(AnnotationKind kind, UnitPoint2D start, UnitPoint2D end,
                                       const QString &text = QString(), std::optional<qint64> number = std::nullopt)
    {
        return MarkupAnnotation(QUuid::createUuid(), kind, start, end, text, QStringLiteral("#DC2626"), 4, 26,
                                std::nullopt, std::nullopt, 1, number, {});
    }
};
