#include "textengine/MinimalZipArchive.h"
#include "textengine/TextComparisonWordExporter.h"
#include "ZipFixtures.h"
#include "support/ComparisonExecutors.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace TextComparisonWordExporter;

namespace {

TextMarkupAnnotation markup(qint64 seq, qint64 location, qint64 length, const QString &note)
{
    return TextMarkupAnnotation(QUuid::createUuid(), seq, location, length, note, false, "#FDE047", false, "#16A34A",
                                false);
}

bool parsesAsXml(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

} // namespace

TEST(MinimalZipArchive, WritesStoredArchivesThatLibzipReadsBack)
{
    EXPECT_EQ(MinimalZipArchive::crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(MinimalZipArchive::crc32(""), 0u);
    EXPECT_EQ(MinimalZipArchive{}.archiveData()->size(), 22);

    MinimalZipArchive archive;
    archive.entries = {{"a.txt", "hello"}, {"empty", ""}, {"目录/名字.xml", "<x/>"}};
    const auto bytes = archive.archiveData();
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, *archive.archiveData()); // nothing depends on the time
    ZipFixtures::Entries read;
    ASSERT_TRUE(ZipFixtures::readAll(*bytes, &read));
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0], (std::pair<QString, QByteArray>{"a.txt", "hello"}));
    EXPECT_EQ(read[1].second, QByteArray());
    EXPECT_EQ(read[2].first, QStringLiteral("目录/名字.xml"));
    // The second local header follows the first entry's 30 + name + data bytes.
    EXPECT_EQ(bytes->mid(30 + 5 + 5, 4), QByteArray("PK\x03\x04"));

    // Limits of the format make the writer fail instead of truncating a field.
    MinimalZipArchive longName;
    longName.entries = {{QString(70000, u'a'), "x"}};
    EXPECT_FALSE(longName.archiveData());
    MinimalZipArchive many;
    many.entries.resize(65536, {"n", ""});
    EXPECT_FALSE(many.archiveData());
}

TEST(TextComparisonWordExporter, WritesRunsWithStylesAndEscapedText)
{
    WordRunStyle style;
    style.bold = true;
    style.fontSize = 20;
    style.colorHex = "#64748b";
    style.shadingHex = "#fde68a";
    style.underlineHex = "none";
    style.strikethrough = true;
    style.superscript = true;
    EXPECT_EQ(runXML("a\r\n\r\nb & <c> \"d\" 'e'", style),
              "<w:r><w:rPr><w:sz w:val=\"20\"/><w:szCs w:val=\"20\"/><w:b/><w:bCs/><w:color w:val=\"64748B\"/>"
              "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"FDE68A\"/><w:u w:val=\"single\" w:color=\"000000\"/>"
              "<w:strike/><w:vertAlign w:val=\"superscript\"/></w:rPr><w:t xml:space=\"preserve\">a</w:t><w:br/><w:br/>"
              "<w:t xml:space=\"preserve\">b &amp; &lt;c&gt; &quot;d&quot; 'e'</w:t></w:r>");
    EXPECT_EQ(runXML("", WordRunStyle{}), "<w:r><w:rPr><w:sz w:val=\"24\"/><w:szCs w:val=\"24\"/></w:rPr>"
                                          "<w:t xml:space=\"preserve\"> </w:t></w:r>");
    EXPECT_EQ(runXML("\n", WordRunStyle{}), "<w:r><w:rPr><w:sz w:val=\"24\"/><w:szCs w:val=\"24\"/></w:rPr><w:br/></w:r>");
    // Characters XML forbids are dropped; a crafted colour cannot break out of its attribute.
    EXPECT_EQ(xmlEscaped(QString::fromUtf16(u"a\u0001\u000B\uFFFEb\U0001F600") + QChar(0xD800) + "c"),
              QString::fromUtf16(u"ab\U0001F600c"));
    EXPECT_EQ(hexValue("\"/><evil"), "00000E");
    EXPECT_EQ(hexValue("#abc"), "000ABC");
}

TEST(TextComparisonWordExporter, SegmentsTheEditedTextByChangesMarkupsAndMarkers)
{
    const QString green = "<w:u w:val=\"single\" w:color=\"16A34A\"/>";
    const QString amber = "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"FDE68A\"/>";
    // One change over "XY", a struck markup over "Y Z" with a note, a highlight "none" on "ab".
    auto struck = markup(1, 3, 3, "删掉");
    struck.strikethrough = true;
    struck.highlight = true;
    auto none = markup(0, 0, 2, "");
    none.highlight = true;
    none.highlightColorHex = "none";
    const QString text = "abXY Z";
    const QString xml = editedRunsXML(text, {{1, 2, 4}}, {none, struck});
    const QStringList runs = xml.split("</w:r>", Qt::SkipEmptyParts);
    ASSERT_EQ(runs.size(), 6);
    EXPECT_TRUE(runs[0].contains(">ab<") && !runs[0].contains("w:shd"));
    EXPECT_TRUE(runs[1].contains(">X<") && runs[1].contains(amber) && runs[1].contains(green));
    EXPECT_TRUE(runs[2].contains(">Y<") && runs[2].contains("<w:strike/>") && runs[2].contains("DC2626")
                && runs[2].contains(amber));
    EXPECT_TRUE(runs[3].contains("> <") && !runs[3].contains("<w:strike/>"));
    EXPECT_TRUE(runs[4].contains(">Z<") && runs[4].contains("<w:strike/>") && !runs[4].contains("FDE68A"));
    EXPECT_TRUE(runs[5].contains(">[1]<") && runs[5].contains("superscript"));

    // A boundary inside a surrogate pair moves to the start of the pair.
    const QString emoji = QString::fromUtf16(u"a\U0001F600b");
    const QString split = editedRunsXML(emoji, {}, {markup(0, 0, 2, "n")});
    EXPECT_TRUE(parsesAsXml("<r xmlns:w=\"urn:w\">" + split.toUtf8() + "</r>"));
    EXPECT_TRUE(split.contains(QString::fromUtf16(u">\U0001F600b<")));
    // An empty edited text is one blank run without markers.
    EXPECT_EQ(editedRunsXML("", {}, {markup(1, 0, 1, "n")}),
              "<w:r><w:rPr><w:sz w:val=\"24\"/><w:szCs w:val=\"24\"/><w:color w:val=\"334155\"/></w:rPr>"
              "<w:t xml:space=\"preserve\"> </w:t></w:r>");
}

TEST(TextComparisonWordExporter, BuildsTheDocumentAndPackage)
{
    TextComparisonState state("合同.txt", "甲方付款", std::nullopt, {});
    state.editedText = QString::fromUtf16(u"甲方\u0007尽快付款");
    state.annotations = {markup(0, 0, 2, "  n\n"), markup(2, 50, 1, "越界")};
    const QString title = "T & \"Q\"";
    const QString xml = documentXML(state, comparisonOf(state), title, false);
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document "));
    EXPECT_TRUE(xml.contains("\n  <w:body>\n    <w:p>\n  <w:pPr>\n    <w:spacing w:after=\"80\" w:line=\"360\" "
                             "w:lineRule=\"auto\"/>\n  </w:pPr>\n  <w:r>"));
    EXPECT_TRUE(xml.contains("T &amp; &quot;Q&quot;"));
    EXPECT_TRUE(xml.contains(QString::fromUtf16(u"合同.txt \u00B7 1 处修改 · 2 条批注 · 0 个下划线 · 0 个划掉")));
    EXPECT_TRUE(xml.contains(">原文<"));
    EXPECT_TRUE(xml.contains(">批注列表<"));
    EXPECT_TRUE(xml.contains("1.   n</w:t><w:br/>"));
    EXPECT_TRUE(xml.contains(QStringLiteral("2. 越界</w:t><w:br/><w:t xml:space=\"preserve\">对应文字：未找到对应文字")));
    EXPECT_TRUE(xml.endsWith("</w:sectPr>\n  </w:body>\n</w:document>"));
    EXPECT_TRUE(parsesAsXml(xml.toUtf8()));
    EXPECT_FALSE(documentXML(state, comparisonOf(state), title, true).contains(">原文<"));

    EXPECT_EQ(contentTypesXML().toUtf8().size(), 684);
    EXPECT_EQ(MinimalZipArchive::crc32(contentTypesXML().toUtf8()), 0x27E866DDu);
    EXPECT_EQ(MinimalZipArchive::crc32(relationshipsXML().toUtf8()), 0xC1BE5617u);
    EXPECT_EQ(MinimalZipArchive::crc32(appPropertiesXML().toUtf8()), 0x7DBCE89Au);
    EXPECT_EQ(corePropertiesXML("T", "2026-01-31T08:05:09Z").toUtf8().size(), 642);

    const auto docx = docxData(state, comparisonOf(state), title, false, "2026-01-31T08:05:09Z");
    ASSERT_TRUE(docx);
    ZipFixtures::Entries entries;
    ASSERT_TRUE(ZipFixtures::readAll(*docx, &entries));
    ASSERT_EQ(entries.size(), 5u);
    const QStringList names{"[Content_Types].xml", "_rels/.rels", "docProps/core.xml", "docProps/app.xml",
                            "word/document.xml"};
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(entries[k].first, names[qsizetype(k)]);
        EXPECT_TRUE(parsesAsXml(entries[k].second)) << k;
    }

    // The written package passes unzip's own test and lists stored entries at the expected offsets.
    QTemporaryDir dir;
    const QString path = dir.filePath("out.docx");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*docx);
    file.close();
    if (!QStandardPaths::findExecutable("unzip").isEmpty()) {
        QProcess unzip;
        unzip.start("unzip", {"-t", path});
        ASSERT_TRUE(unzip.waitForFinished());
        EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAllStandardOutput().toStdString();
        QProcess info;
        info.start("zipinfo", {"-v", path});
        ASSERT_TRUE(info.waitForFinished());
        const QString listing = QString::fromUtf8(info.readAllStandardOutput());
        EXPECT_EQ(listing.count("compression method:                             none (stored)"), 5);
        EXPECT_TRUE(listing.contains("offset of local header from start of archive:   733"));
        EXPECT_TRUE(listing.contains("32-bit CRC value (hex):                         27e866dd"));
    }
}

// Opens a written DOCX in LibreOffice (installed by scripts/install-deps.sh with
// KIVORA_WITH_LIBREOFFICE=1) and compares the converted text.
TEST(TextComparisonWordExporter, OpensInLibreOffice)
{
    const QString office = QStandardPaths::findExecutable("libreoffice");
    if (office.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    TextComparisonState state("源.txt", "第一行\n第二行", std::nullopt, {});
    state.editedText = "第一行\n第二行改";
    state.annotations = {markup(1, 0, 3, "批注一")};
    QTemporaryDir dir;
    const QString path = dir.filePath("doc.docx");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*docxData(state, comparisonOf(state), "标题", false));
    file.close();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    process.setProcessEnvironment(env);
    process.start(office, {"--headless", "--convert-to", "txt:Text", "--outdir", dir.path(), path});
    ASSERT_TRUE(process.waitForFinished(180000));
    QFile text(dir.filePath("doc.txt"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly)) << process.readAllStandardError().toStdString();
    const QString converted = QString::fromUtf8(text.readAll());
    EXPECT_TRUE(converted.contains("标题"));
    EXPECT_TRUE(converted.contains("第二行改"));
    EXPECT_TRUE(converted.contains("1. 批注一"));
}
