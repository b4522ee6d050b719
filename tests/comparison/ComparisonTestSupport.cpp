#include "ComparisonTestSupport.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>

namespace ComparisonTest {

QString writeImage(const QString &path, int width, int height, QColor color)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    TestSupport::solidImage(width, height, color).save(path);
    return path;
}

ComparisonPairState pair(const QString &beforeName, QSize beforeSize, QSize afterSize, QColor beforeColor,
                         QColor afterColor)
{
    ComparisonPairState pair;
    pair.id = QUuid::createUuid();
    pair.before = {beforeName, ImageHandle(TestSupport::solidImage(beforeSize.width(), beforeSize.height(), beforeColor)),
                   QSizeF(beforeSize)};
    pair.after = {QStringLiteral("after-") + beforeName,
                  ImageHandle(TestSupport::solidImage(afterSize.width(), afterSize.height(), afterColor)),
                  QSizeF(afterSize)};
    return pair;
}

} // namespace ComparisonTest
