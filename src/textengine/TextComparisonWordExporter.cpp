#include "textengine/TextComparisonWordExporter.h"

#include "model/HexColor.h"
#include "model/TextRules.h"
#include "textengine/MinimalZipArchive.h"
#include "textengine/TextAnnotationCalloutLayout.h"
#include "textengine/TextComparisonSummary.h"

#include <QDateTime>

#include <algorithm>
#include <map>
#include <set>

namespace TextComparisonWordExporter {

namespace {

const QString declaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");

WordRunStyle plainStyle(bool bold, int fontSize, const QString &colorHex)
{
    WordRunStyle style;
    style.bold = bold;
    style.fontSize = fontSize;
    style.colorHex = colorHex;
    return style;
}

const WordRunStyle titleStyle = plainStyle(true, 36, QStringLiteral("#0F172A"));
const WordRunStyle subtitleStyle = plainStyle(true, 20, QStringLiteral("#64748B"));
const WordRunStyle headingStyle = plainStyle(true, 28, QStringLiteral("#0F172A"));
const WordRunStyle bodyStyle = plainStyle(false, 24, QStringLiteral("#334155"));

WordRunStyle markerStyle()
{
    WordRunStyle style = plainStyle(true, 18, QStringLiteral("#FFFFFF"));
    style.shadingHex = QStringLiteral("#DC2626");
    style.superscript = true;
    return style;
}

bool isForbiddenInXml(char16_t u)
{
    return u <= 0x08 || u == 0x0B || u == 0x0C || (u >= 0x0E && u <= 0x1F) || u == 0xFFFE || u == 0xFFFF;
}

// A position between the two halves of a surrogate pair moves to the start of the pair, so no
// run ever holds half a character.
qsizetype snapped(const QString &text, qsizetype position)
{
    if (position > 0 && position < text.size() && text.at(position - 1).isHighSurrogate()
        && text.at(position).isLowSurrogate())
        return position - 1;
    return position;
}

} // namespace

QString xmlEscaped(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    const qsizetype length = text.size();
    for (qsizetype k = 0; k < length; ++k) {
        const QChar c = text.at(k);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate()) {
            if (k + 1 < length && text.at(k + 1).isLowSurrogate()) {
                out += c;
                out += text.at(++k);
            }
            continue;
        }
        if (c.isLowSurrogate() || isForbiddenInXml(u))
            continue;
        switch (u) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString hexValue(const QString &colorHex)
{
    const QColor color = HexColor::drawingColor(colorHex);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X%02X%02X", color.red(), color.green(), color.blue());
    return QString::fromLatin1(buffer);
}

QString WordRunStyle::runPropertiesXML() const
{
    QString xml = QStringLiteral("<w:rPr>");
    xml += QStringLiteral("<w:sz w:val=\"%1\"/><w:szCs w:val=\"%1\"/>").arg(fontSize);
    if (bold)
        xml += QStringLiteral("<w:b/><w:bCs/>");
    if (colorHex)
        xml += QStringLiteral("<w:color w:val=\"%1\"/>").arg(hexValue(*colorHex));
    if (shadingHex)
        xml += QStringLiteral("<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"%1\"/>").arg(hexValue(*shadingHex));
    if (underlineHex)
        xml += QStringLiteral("<w:u w:val=\"single\" w:color=\"%1\"/>").arg(hexValue(*underlineHex));
    if (strikethrough)
        xml += QStringLiteral("<w:strike/>");
    if (superscript)
        xml += QStringLiteral("<w:vertAlign w:val=\"superscript\"/>");
    xml += QStringLiteral("</w:rPr>");
    return xml;
}

QString runXML(const QString &text, const WordRunStyle &style)
{
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(u'\r', u'\n');
    const QStringList lines = normalized.split(u'\n');
    QString pieces;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        if (k > 0)
            pieces += QStringLiteral("<w:br/>");
        if (!lines[k].isEmpty())
            pieces += QStringLiteral("<w:t xml:space=\"preserve\">") + xmlEscaped(lines[k]) + QStringLiteral("</w:t>");
    }
    if (lines.size() == 1 && lines[0].isEmpty())
        pieces += QStringLiteral("<w:t xml:space=\"preserve\"> </w:t>");
    return QStringLiteral("<w:r>") + style.runPropertiesXML() + pieces + QStringLiteral("</w:r>");
}

QString paragraphXML(const QString &runs, int spacingAfter)
{
    return QStringLiteral("<w:p>\n  <w:pPr>\n    <w:spacing w:after=\"%1\" w:line=\"360\" w:lineRule=\"auto\"/>\n"
                          "  </w:pPr>\n  ")
               .arg(spacingAfter)
        + runs + QStringLiteral("\n</w:p>");
}

QString editedRunsXML(const QString &text, const std::vector<TextComparisonChange> &changes,
                      const std::vector<TextMarkupAnnotation> &annotations)
{
    const qsizetype length = text.size();
    if (length < 1)
        return runXML(QStringLiteral(" "), bodyStyle);

    enum Kind { Change, Highlight, Underline, Strike, KindCount };
    struct Span {
        qsizetype start;
        qsizetype end;
        QString color;
    };
    std::vector<Span> spans[KindCount];
    for (const TextComparisonChange &change : changes) {
        const auto [location, count] = change.nsRange(text);
        spans[Change].push_back({location, location + count, QString()});
    }
    std::map<qsizetype, std::vector<qint64>> markers; // position → numbers in list order
    for (const TextMarkupAnnotation &annotation : annotations) {
        const auto range = annotation.nsRange(text);
        if (!range)
            continue;
        const qsizetype location = qsizetype(range->first);
        const qsizetype count = qsizetype(range->second);
        if (TextRules::hasVisibleText(annotation.note))
            markers[snapped(text, location + count)].push_back(std::max<qint64>(annotation.sequenceNumber, 1));
        const auto runs = TextAnnotationCalloutLayout::visibleCharacterRanges(location, count, text);
        for (const auto &[runStart, runLength] : runs) {
            const qsizetype runEnd = runStart + runLength;
            if (annotation.highlight && annotation.highlightColorHex != QLatin1String("none") && !annotation.strikethrough)
                spans[Highlight].push_back({runStart, runEnd, annotation.highlightColorHex});
            if (annotation.underline)
                spans[Underline].push_back({runStart, runEnd, annotation.underlineColorHex});
            if (annotation.strikethrough)
                spans[Strike].push_back({runStart, runEnd, QStringLiteral("#DC2626")});
        }
    }

    std::set<qsizetype> boundarySet{0, length};
    for (auto &list : spans) {
        for (Span &span : list) {
            span.start = snapped(text, std::clamp<qsizetype>(span.start, 0, length));
            span.end = snapped(text, std::clamp<qsizetype>(span.end, 0, length));
            if (span.end > span.start) {
                boundarySet.insert(span.start);
                boundarySet.insert(span.end);
            }
        }
    }
    for (const auto &marker : markers) {
        if (marker.first >= 1 && marker.first <= length)
            boundarySet.insert(marker.first);
    }
    const std::vector<qsizetype> boundaries(boundarySet.begin(), boundarySet.end());
    auto indexOf = [&](qsizetype position) {
        return std::size_t(std::lower_bound(boundaries.begin(), boundaries.end(), position) - boundaries.begin());
    };

    // Sweep the boundaries once; each kind keeps its covering ranges ordered by list position,
    // so the first one in list order is the first element of its set.
    std::vector<std::vector<std::pair<int, int>>> starting(boundaries.size());
    std::vector<std::vector<std::pair<int, int>>> ending(boundaries.size());
    for (int kind = 0; kind < KindCount; ++kind) {
        for (std::size_t k = 0; k < spans[kind].size(); ++k) {
            const Span &span = spans[kind][k];
            if (span.end <= span.start)
                continue;
            starting[indexOf(span.start)].emplace_back(kind, int(k));
            ending[indexOf(span.end)].emplace_back(kind, int(k));
        }
    }
    std::set<int> active[KindCount];
    QString runs;
    for (std::size_t b = 0; b + 1 < boundaries.size(); ++b) {
        for (const auto &[kind, index] : ending[b])
            active[kind].erase(index);
        for (const auto &[kind, index] : starting[b])
            active[kind].insert(index);
        const qsizetype start = boundaries[b];
        const qsizetype end = boundaries[b + 1];
        const bool changed = !active[Change].empty();
        WordRunStyle style;
        style.fontSize = 24;
        if (!active[Strike].empty()) {
            style.strikethrough = true;
            style.colorHex = spans[Strike][std::size_t(*active[Strike].begin())].color;
        }
        if (!active[Highlight].empty())
            style.shadingHex = spans[Highlight][std::size_t(*active[Highlight].begin())].color;
        else if (changed)
            style.shadingHex = QStringLiteral("#FDE68A");
        if (!active[Underline].empty())
            style.underlineHex = spans[Underline][std::size_t(*active[Underline].begin())].color;
        else if (changed)
            style.underlineHex = QStringLiteral("#16A34A");
        runs += runXML(text.mid(start, end - start), style);
        const auto marker = markers.find(end);
        if (marker != markers.end()) {
            for (const qint64 number : marker->second)
                runs += runXML(QStringLiteral("[%1]").arg(number), markerStyle());
        }
    }
    return runs;
}

QStringList noteParagraphs(const TextComparisonState &state)
{
    std::vector<const TextMarkupAnnotation *> noted;
    for (const TextMarkupAnnotation &annotation : state.annotations) {
        if (TextRules::hasVisibleText(annotation.note))
            noted.push_back(&annotation);
    }
    std::stable_sort(noted.begin(), noted.end(), [](const TextMarkupAnnotation *a, const TextMarkupAnnotation *b) {
        if (a->sequenceNumber != b->sequenceNumber)
            return a->sequenceNumber < b->sequenceNumber;
        return a->location < b->location;
    });
    QStringList paragraphs;
    for (const TextMarkupAnnotation *annotation : noted) {
        QString quote;
        if (const auto range = annotation->nsRange(state.editedText))
            quote = state.editedText.mid(qsizetype(range->first), qsizetype(range->second)).trimmed();
        const QString entry = QString::number(std::max<qint64>(annotation->sequenceNumber, 1)) + QStringLiteral(". ")
            + annotation->note + QStringLiteral("\n对应文字：")
            + (quote.isEmpty() ? QStringLiteral("未找到对应文字") : quote);
        paragraphs.append(paragraphXML(runXML(entry, bodyStyle), 160));
    }
    return paragraphs;
}

QString documentXML(const TextComparisonState &state, const TextComparisonResult &result, const QString &title,
                    bool editedPageOnly)
{
    const std::vector<TextComparisonChange> &changes = result.changes;
    const TextComparisonSummary summary = TextComparisonSummaryBuilder::summary(qint64(changes.size()), state.annotations);
    QStringList paragraphs;
    paragraphs << paragraphXML(runXML(title, titleStyle), 80);
    paragraphs << paragraphXML(runXML(state.sourceName + QStringLiteral(" \u00B7 ") + summary.displayText(), subtitleStyle),
                               260);
    if (!editedPageOnly) {
        paragraphs << paragraphXML(runXML(QStringLiteral("原文"), headingStyle), 120);
        paragraphs << paragraphXML(
            runXML(result.alignedOriginal, bodyStyle), 240);
    }
    paragraphs << paragraphXML(runXML(QStringLiteral("修改文案"), headingStyle), 120);
    paragraphs << paragraphXML(editedRunsXML(state.editedText, changes, state.annotations), 240);
    const QStringList notes = noteParagraphs(state);
    if (!notes.isEmpty()) {
        paragraphs << paragraphXML(runXML(QStringLiteral("批注列表"), headingStyle), 120);
        paragraphs << notes;
    }
    return declaration
        + QStringLiteral("\n<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">\n"
                         "  <w:body>\n    ")
        + paragraphs.join(u'\n')
        + QStringLiteral("\n    <w:sectPr>\n      <w:pgSz w:w=\"11906\" w:h=\"16838\"/>\n"
                         "      <w:pgMar w:top=\"1134\" w:right=\"1134\" w:bottom=\"1134\" w:left=\"1134\" "
                         "w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/>\n    </w:sectPr>\n  </w:body>\n"
                         "</w:document>");
}

QString contentTypesXML()
{
    return declaration
        + QStringLiteral(
            "\n<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">\n"
            "  <Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>\n"
            "  <Default Extension=\"xml\" ContentType=\"application/xml\"/>\n"
            "  <Override PartName=\"/word/document.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>\n"
            "  <Override PartName=\"/docProps/core.xml\" "
            "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>\n"
            "  <Override PartName=\"/docProps/app.xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>\n"
            "</Types>");
}

QString relationshipsXML()
{
    return declaration
        + QStringLiteral(
            "\n<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
            "  <Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
            "Target=\"word/document.xml\"/>\n"
            "  <Relationship Id=\"rId2\" "
            "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
            "Target=\"docProps/core.xml\"/>\n"
            "  <Relationship Id=\"rId3\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" "
            "Target=\"docProps/app.xml\"/>\n"
            "</Relationships>");
}

QString appPropertiesXML()
{
    return declaration
        + QStringLiteral(
            "\n<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
            "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">\n"
            "  <Application>Kivora</Application>\n"
            "</Properties>");
}

QString corePropertiesXML(const QString &title, const QString &timestamp)
{
    return declaration
        + QStringLiteral("\n<cp:coreProperties "
                         "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
                         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
                         "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
                         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
                         "  <dc:title>")
        + xmlEscaped(title)
        + QStringLiteral("</dc:title>\n  <dc:creator>Kivora</dc:creator>\n"
                         "  <cp:lastModifiedBy>Kivora</cp:lastModifiedBy>\n"
                         "  <dcterms:created xsi:type=\"dcterms:W3CDTF\">%1</dcterms:created>\n"
                         "  <dcterms:modified xsi:type=\"dcterms:W3CDTF\">%1</dcterms:modified>\n"
                         "</cp:coreProperties>")
              .arg(xmlEscaped(timestamp));
}

std::optional<QByteArray> docxData(const TextComparisonState &state, const TextComparisonResult &result,
                                   const QString &title, bool editedPageOnly, const QString &timestamp)
{
    const QString time = timestamp.isEmpty() ? QDateTime::currentDateTimeUtc().toString(Qt::ISODate) : timestamp;
    MinimalZipArchive archive;
    archive.entries = {
        {QStringLiteral("[Content_Types].xml"), contentTypesXML().toUtf8()},
        {QStringLiteral("_rels/.rels"), relationshipsXML().toUtf8()},
        {QStringLiteral("docProps/core.xml"), corePropertiesXML(title, time).toUtf8()},
        {QStringLiteral("docProps/app.xml"), appPropertiesXML().toUtf8()},
        {QStringLiteral("word/document.xml"), documentXML(state, result, title, editedPageOnly).toUtf8()},
    };
    return archive.archiveData();
}

} // namespace TextComparisonWordExporter
