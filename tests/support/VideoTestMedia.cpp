#include "support/VideoTestMedia.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>

namespace VideoTestMedia {

QString folder()
{
    static QTemporaryDir dir;
    return dir.path();
}

bool hasFfmpeg()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

QString make(const QString &fileName, const QStringList &arguments)
{
    const QString path = folder() + QLatin1Char('/') + fileName;
    if (QFileInfo::exists(path))
        return path;
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), QStringList{"-y", "-v", "error"} + arguments + QStringList{path});
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return {};
    return path;
}

QString stripes(const QString &fileName, const QString &rate, double seconds, const QStringList &extra)
{
    const QString source = QStringLiteral("nullsrc=s=96x48:r=%1,format=gray,"
                                          "geq=lum='if(bitand(N\\,pow(2\\,floor(X/8)))\\,235\\,16)'")
                               .arg(rate);
    return make(fileName, QStringList{"-f", "lavfi", "-i", source, "-t", QString::number(seconds)} + extra
                              + QStringList{"-c:v", "libx264", "-pix_fmt", "yuv420p"});
}

int stripeNumber(const QImage &image)
{
    if (image.width() != 96 || image.height() != 48)
        return -1;
    int number = 0;
    for (int bit = 0; bit < 12; ++bit) {
        const int gray = qGray(image.pixel(bit * 8 + 4, 24));
        if (gray > 170)
            number |= 1 << bit;
        else if (gray > 80)
            return -1;
    }
    return number;
}

QImage referenceFrame(const QString &video, int index)
{
    const QString name = QFileInfo(video).completeBaseName() + QStringLiteral("-ref-%1.png").arg(index);
    const QString path = make(name, {"-i", video, "-vf", QStringLiteral("select=eq(n\\,%1)").arg(index), "-vsync", "0",
                                     "-frames:v", "1"});
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

double meanAbsoluteDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace VideoTestMedia
