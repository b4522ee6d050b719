#include "markup/ExportFileNames.h"

#include "platform/NewFile.h"

namespace ExportFileNames {

QString fallbackBase()
{
    return QStringLiteral("标注图片");
}

QString deletingPathExtension(const QString &name)
{
    const qsizetype componentStart = name.lastIndexOf(u'/') + 1;
    const QStringView component = QStringView(name).mid(componentStart);
    if (component.isEmpty() || component.endsWith(u'.') || component.startsWith(u".."))
        return name;
    const qsizetype dot = component.lastIndexOf(u'.');
    if (dot <= 0)
        return name;
    const QStringView extension = component.mid(dot + 1);
    if (extension.trimmed().size() != extension.size())
        return name;
    return name.left(componentStart + dot);
}

QString safePathComponent(const QString &name)
{
    QString safe = name;
    safe.replace(u'/', u'_');
    safe.replace(QChar(u'\0'), u'_');
    if (safe == QLatin1String(".") || safe == QLatin1String(".."))
        return QString();
    return safe;
}

QString baseName(const QString &fileName)
{
    const QString base = safePathComponent(deletingPathExtension(fileName).trimmed());
    return base.isEmpty() ? fallbackBase() : base;
}

QString fittedFileName(const QString &base, const QString &tail)
{
    const QString fitted = NewFiles::fittedName(base, tail);
    // A cut can leave a lone "." or ".." behind, which must not stand as a name of its own.
    const QString cut = safePathComponent(fitted.chopped(tail.size()).trimmed());
    return cut.isEmpty() ? NewFiles::fittedName(fallbackBase(), tail) : cut + tail;
}

} // namespace ExportFileNames
