#pragma once

#include <gtest/gtest.h>

#include "model/MarkupViewModel.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QTemporaryDir>

// A view model over temporary preferences with two images of 400 × 300 pixels, the first one
// current, for the tests of the annotation operations.
class AnnotationOps : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath("prefs.ini"), QSettings::IniFormat};
    MarkupViewModel model{settings};

    static ImageMarkupItem item(const QString &name)
    {
        ImageMarkupItem item;
        item.id = QUuid::createUuid();
        item.fileName = name;
        item.image = ImageHandle(TestSupport::solidImage(400, 300));
        item.thumbnail = item.image;
        item.pixelSize = QSizeF(400, 300);
        return item;
    }

    void SetUp() override
    {
        model.setItems({item("a.png"), item("b.png")});
        model.setSelectedItemID(model.items()[0].id);
    }

    // Replaces the annotations of the image at `index` (unrecorded) and returns them.
    const std::vector<MarkupAnnotation> &place(std::vector<MarkupAnnotation> annotations, size_t index = 0)
    {
        auto items = model.items();
        items[index].annotations = std::move(annotations);
        model.setItems(items);
        return model.items()[index].annotations;
    }

    qsizetype undoDepth(size_t index = 0) const
    {
        return qsizetype(model.undoSnapshotsByItemID().value(model.items()[index].id).size());
    }

    static MarkupAnnotation annotation(AnnotationKind kind, UnitPoint2D start, UnitPoint2D end,
                                       const QString &text = QString())
    {
        return MarkupAnnotation(QUuid::createUuid(), kind, start, end, text, QStringLiteral("#DC2626"), 4, 26,
                                std::nullopt, std::nullopt, 1, std::nullopt, {});
    }
};
