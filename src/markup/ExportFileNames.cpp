#include "markup/ExportFileNames.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace ExportFileNames {

namespace {

// The longest prefix (in whole grapheme clusters) whose UTF-8 form fits the budget.
QString cutToUtf8Bytes(const QString &text, qsizetype budget)
{
    if (text.toUtf8().size() <= budget)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype best = 0;
    qsizetype bytes = 0;
    qsizetype previous = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        bytes += QStringView(text).mid(previous, next - previous).toUtf8().size();
        if (bytes > budget)
            break;
        best = next;
        previous = next;
    }
    return text.left(best);
}

} // namespace

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
    const qsizetype budget = std::max<qsizetype>(maxFileNameBytes - tail.toUtf8().size(), 0);
    QString cut = cutToUtf8Bytes(base, budget).trimmed();
    // A cut can leave a lone "." or ".." behind, which must not stand as a name of its own.
    cut = safePathComponent(cut);
    if (cut.isEmpty())
        cut = cutToUtf8Bytes(fallbackBase(), budget);
    return cut + tail;
}

} // namespace ExportFileNames
