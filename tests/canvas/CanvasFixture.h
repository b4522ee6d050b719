#pragma once

#include "model/MarkupViewModel.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// A view model holding one generated image (two colours) as its current image.
class CanvasFixture : public ::testing::Test {
protected:
    CanvasFixture()
        : settings(dir.filePath(QStringLiteral("p.ini")), QSettings::IniFormat), model(settings)
    {
        addImage(QStringLiteral("第一张.png"), QSize(2000, 1200));
        model.setSelectedItemID(model.items().front().id);
    }

    static QImage twoColourImage(QSize size)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(40, 120, 200));
        for (int y = 0; y < size.height(); ++y)
            for (int x = size.width() / 2; x < size.width(); ++x)
                image.setPixel(x, y, qRgb(240, 200, 60));
        return image;
    }

    QUuid addImage(const QString &name, QSize size)
    {
        ImageMarkupItem item;
        item.id = QUuid::createUuid();
        item.fileName = name;
        item.image = ImageHandle(twoColourImage(size));
        item.thumbnail = ImageHandle(twoColourImage(QSize(96, 58)));
        item.pixelSize = QSizeF(size);
        std::vector<ImageMarkupItem> items = model.items();
        items.push_back(item);
        model.setItems(items);
        return item.id;
    }

    const std::vector<MarkupAnnotation> &annotations() const
    {
        return model.items()[size_t(*model.selectedIndex())].annotations;
    }

    qsizetype undoCount() const
    {
        return model.undoSnapshotsByItemID().value(*model.selectedItemID()).size();
    }

    QTemporaryDir dir;
    QSettings settings;
    MarkupViewModel model;
};
