#include "textengine/TextComparisonImport.h"
#include "ZipFixtures.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using TextComparisonImport::decodedText;

namespace {

QByteArray gb18030(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QByteArray utf16le(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

QByteArray utf16be(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xFF));
    }
    return bytes;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QString para(const QString &runs)
{
    return QStringLiteral("<w:p>") + runs + QStringLiteral("</w:p>");
}

} // namespace

TEST(TextComparisonImport, DecodesTextFilesInCommonChineseEncodings)
{
    const QString chinese = QStringLiteral("合同第一条：甲方应于三日内付款。");
    EXPECT_EQ(decodedText(QByteArray()), QString());
    EXPECT_EQ(decodedText("plain ascii\r\n"), QStringLiteral("plain ascii\r\n"));
    EXPECT_EQ(decodedText(chinese.toUtf8()), chinese);
    EXPECT_EQ(decodedText(gb18030(chinese)), chinese);
    // Byte-order marks decide alone; the mark itself is not part of the text.
    EXPECT_EQ(decodedText("\xEF\xBB\xBF" + chinese.toUtf8()), chinese);
    EXPECT_EQ(decodedText("\xFF\xFE" + utf16le(chinese)), chinese);
    EXPECT_EQ(decodedText("\xFE\xFF" + utf16be(chinese)), chinese);
    // A UTF-8 mark before bytes that are not UTF-8 gives nothing, even though GB18030 would read them.
    EXPECT_EQ(decodedText("\xEF\xBB\xBF" + gb18030(chinese)), std::nullopt);
    // UTF-16 without a mark is read as little-endian when the other readings fail.
    EXPECT_EQ(decodedText(utf16le(chinese)), chinese);
    // A NUL byte costs the UTF-8 reading 20 but it still wins over worse readings.
    EXPECT_EQ(decodedText(QByteArray("ab\0cd", 5)), QString::fromUtf8("ab\0cd", 5));
}

TEST(TextComparisonImport, AccentedLettersAndTruncatedBytesAreNotMisread)
{
    // Accented letters in valid UTF-8 are not held against it.
    EXPECT_EQ(decodedText(QStringLiteral("café").toUtf8()), QStringLiteral("café"));
    EXPECT_EQ(decodedText(QStringLiteral("尺寸：3×4米。").toUtf8()), QStringLiteral("尺寸：3×4米。"));
    EXPECT_EQ(decodedText(QStringLiteral("Ãé Ü ÿ").toUtf8()), QStringLiteral("Ãé Ü ÿ"));
    using TextComparisonImport::Reading;
    EXPECT_EQ(TextComparisonImport::decodingPenalty(QStringLiteral("é"), Reading::utf16), 2);
    EXPECT_EQ(TextComparisonImport::decodingPenalty(QStringLiteral("é"), Reading::utf8), 0);
    EXPECT_EQ(TextComparisonImport::decodingPenalty(QString::fromUtf16(u"\u0000\uFFFD\u0001\t\n", 5), Reading::utf8),
              80);

    // A UTF-8 text cut inside its last character is not UTF-8.
    const QByteArray truncated("\x41\xE4\xBD", 3);
    const auto text = decodedText(truncated);
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(*text, QStringLiteral("A"));
    // An odd byte count or an unpaired surrogate fails the UTF-16 reading.
    EXPECT_EQ(decodedText(QByteArray("\xFF\xFE\x41\x00\x42", 5)), std::nullopt);
    EXPECT_EQ(decodedText(QByteArray("\xFF\xFE\x00\xD8\x41\x00", 6)), std::nullopt);
    EXPECT_EQ(decodedText(QByteArray("\xFF\xFE\x3D\xD8\x00\xDE", 6)), QString::fromUtf16(u"\U0001F600"));
    // Bytes no reading accepts: invalid UTF-8, GB18030 and odd-length UTF-16.
    EXPECT_EQ(decodedText(QByteArray("\x80\xFF\x80", 3)), std::nullopt);
}

TEST(TextComparisonImport, ShortGbkTextWithSignsAndPinyinIsReadAsGb18030)
{
    // Each of these is valid UTF-16 too, where it reads as Hangul and private-use garbage.
    for (const QString &text : {QStringLiteral("面积 3×4 平方米"), QStringLiteral("8÷2=4 对"), QStringLiteral("绿 lǜ 律师 lǜshī"),
                                QStringLiteral("妈 mā 麻 má 马 mǎ 骂 mà"), QStringLiteral("长×宽÷2")}) {
        const QByteArray bytes = gb18030(text);
        EXPECT_EQ(decodedText(bytes), text) << text.toStdString();
    }
    // Private-use and unassigned code points count against every reading.
    using TextComparisonImport::Reading;
    for (Reading reading : {Reading::utf8, Reading::gb18030, Reading::utf16}) {
        EXPECT_EQ(TextComparisonImport::decodingPenalty(QString::fromUtf16(u"\uE000\U000F0000"), reading), 40);
        EXPECT_EQ(TextComparisonImport::decodingPenalty(QString::fromUtf16(u"\u0378"), reading), 20);
        EXPECT_EQ(TextComparisonImport::decodingPenalty(QStringLiteral("×÷ǜ文"), reading), reading == Reading::utf16 ? 4 : 0);
    }
}

TEST(TextComparisonImport, WindowsLatinFilesAreRefusedRatherThanReadAsGarbage)
{
    QTemporaryDir dir;
    for (const QString &text : {QStringLiteral("Café crème brûlée, naïve résumé à la façon de Noël.\r\n"),
                                QStringLiteral("Grüße aus München"), QStringLiteral("Año nuevo: el niño comió piñas.")}) {
        const QByteArray bytes = text.toLatin1(); // these letters have the same bytes in Windows-1252
        EXPECT_EQ(decodedText(bytes), std::nullopt) << text.toStdString();
        const auto result = TextComparisonImport::importFile(writeFile(dir, QStringLiteral("latin.txt"), bytes));
        EXPECT_FALSE(result.text) << text.toStdString();
        EXPECT_EQ(result.errorMessage, QStringLiteral("文案文件无法解析"));
    }
    // The same letters in UTF-8 read fine.
    EXPECT_EQ(decodedText(QStringLiteral("Grüße aus München").toUtf8()), QStringLiteral("Grüße aus München"));
}

TEST(TextComparisonImport, ReadsTheVisibleTextOfWordParts)
{
    using TextComparisonImport::docxPartText;
    EXPECT_EQ(docxPartText(ZipFixtures::documentXml(
                  para("<w:r><w:t>ab</w:t><w:tab/><w:t>cd</w:t></w:r>") + para("") + para("<w:r><w:t>第二段</w:t></w:r>"))),
              QStringLiteral("ab\tcd\n第二段"));
    EXPECT_EQ(docxPartText(ZipFixtures::documentXml(para("<w:r><w:t>上</w:t><w:br/><w:t>下</w:t></w:r>"))),
              QStringLiteral("上\n下"));
    // A no-break hyphen is its own element and keeps its place in the text.
    EXPECT_EQ(docxPartText(ZipFixtures::documentXml(para("<w:r><w:t>010</w:t><w:noBreakHyphen/><w:t>1234</w:t></w:r>"))),
              QString::fromUtf16(u"010\u20111234"));
    // Deleted text and field instructions are not w:t; insertions are.
    EXPECT_EQ(docxPartText(ZipFixtures::documentXml(
                  para("<w:del><w:r><w:delText>旧</w:delText></w:r></w:del><w:ins><w:r><w:t>新</w:t></w:r></w:ins>"))),
              QStringLiteral("新"));
    // A text box appears once: the fallback copy is skipped.
    EXPECT_EQ(docxPartText(ZipFixtures::documentXml(para(
                  "<mc:AlternateContent><mc:Choice><w:t>框</w:t></mc:Choice><mc:Fallback><w:p><w:r><w:t>框</w:t></w:r>"
                  "</w:p></mc:Fallback></mc:AlternateContent>"))),
              QStringLiteral("框"));
    // Entities and split character data arrive whole; CDATA is not collected.
    EXPECT_EQ(docxPartText(ZipFixtures::documentXml(para("<w:r><w:t>a&amp;b<![CDATA[x]]>c</w:t></w:r>"))),
              QStringLiteral("a&bc"));
    // Another prefix for the body gives no text; a broken part keeps what came before the error.
    EXPECT_EQ(docxPartText(ZipFixtures::documentXml(para("<x:t>x</x:t>").replace("w:", "x:"), "x")), QString());
    EXPECT_EQ(docxPartText("<w:document><w:body><w:p><w:t>好</w:t></w:p><w:p><w:t>坏</w:p>"), QStringLiteral("好"));
}

TEST(TextComparisonImport, ReadsDocxPackagesInArchiveOrder)
{
    QTemporaryDir dir;
    const QByteArray body = ZipFixtures::documentXml(para("<w:r><w:t>正文</w:t></w:r>"));
    const QByteArray header = ZipFixtures::documentXml(para("<w:r><w:t>页眉</w:t></w:r>"));
    const QString path = dir.filePath("a.docx");
    ASSERT_TRUE(ZipFixtures::write(path, {{"word/header1.xml", header},
                                          {"word/header.xml", header},
                                          {"word/styles.xml", header},
                                          {"word/document.xml", body}}));
    auto result = TextComparisonImport::importFile(path);
    EXPECT_EQ(result.text, QStringLiteral("页眉\n正文"));

    const QString blank = dir.filePath("blank.DOCX");
    ASSERT_TRUE(ZipFixtures::write(blank, {{"word/document.xml", ZipFixtures::documentXml(para("<w:t>  </w:t>"))}}));
    EXPECT_EQ(TextComparisonImport::importFile(blank).errorMessage, QStringLiteral("DOCX 中没有可解析的正文"));

    const QString prefixed = dir.filePath("x.docx");
    ASSERT_TRUE(ZipFixtures::write(prefixed, {{"word/document.xml", ZipFixtures::documentXml(
                                                                        "<x:p><x:r><x:t>正文</x:t></x:r></x:p>", "x")}}));
    EXPECT_EQ(TextComparisonImport::importFile(prefixed).errorMessage, QStringLiteral("DOCX 中没有可解析的正文"));

    const QString noParts = dir.filePath("none.docx");
    ASSERT_TRUE(ZipFixtures::write(noParts, {{"word/styles.xml", body}}));
    EXPECT_EQ(TextComparisonImport::importFile(noParts).errorMessage, QStringLiteral("DOCX 文件无法读取"));

    const QString notZip = writeFile(dir, "plain.DOCX", "这不是压缩包");
    EXPECT_EQ(TextComparisonImport::importFile(notZip).errorMessage, QStringLiteral("DOCX 文件无法读取"));
    EXPECT_EQ(TextComparisonImport::importFile(dir.filePath("missing.docx")).errorMessage,
              QStringLiteral("DOCX 文件无法读取"));
}

TEST(TextComparisonImport, RefusesHostilePackagesAndHugeFiles)
{
    QTemporaryDir dir;
    const QByteArray body = ZipFixtures::documentXml(para("<w:r><w:t>正文</w:t></w:r>"));
    const QString unreadable = QStringLiteral("DOCX 文件无法读取");

    // A part that declares more than the cap is refused before anything is allocated.
    const QString good = dir.filePath("good.docx");
    ASSERT_TRUE(ZipFixtures::write(good, {{"word/document.xml", body}}));
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = goodFile.readAll();
    const QString huge = writeFile(dir, "huge.docx", ZipFixtures::withDeclaredSize(goodBytes, "word/document.xml", 0x7FFFFFFF));
    EXPECT_EQ(TextComparisonImport::importFile(huge).errorMessage, unreadable);

    // A deflated entry that inflates to more than it declares (a small zip bomb).
    QByteArray padding = body;
    padding.replace("</w:body>", QByteArray(2 << 20, ' ') + "</w:body>");
    const QString bombSource = dir.filePath("bomb-src.docx");
    ASSERT_TRUE(ZipFixtures::write(bombSource, {{"word/document.xml", padding}}));
    QFile bombFile(bombSource);
    ASSERT_TRUE(bombFile.open(QIODevice::ReadOnly));
    const QString bomb = writeFile(dir, "bomb.docx", ZipFixtures::withDeclaredSize(bombFile.readAll(), "word/document.xml", 200));
    EXPECT_EQ(TextComparisonImport::importFile(bomb).errorMessage, unreadable);

    // A flipped data byte fails the CRC; a truncated archive fails to open.
    QByteArray stored;
    const QString storedPath = dir.filePath("stored.docx");
    ASSERT_TRUE(ZipFixtures::write(storedPath, {{"word/document.xml", body}}, false));
    QFile storedFile(storedPath);
    ASSERT_TRUE(storedFile.open(QIODevice::ReadOnly));
    stored = storedFile.readAll();
    QByteArray corrupt = stored;
    corrupt[corrupt.indexOf("正文")] = 'X';
    EXPECT_EQ(TextComparisonImport::importFile(writeFile(dir, "crc.docx", corrupt)).errorMessage, unreadable);
    EXPECT_EQ(TextComparisonImport::importFile(writeFile(dir, "cut.docx", stored.left(stored.size() / 2))).errorMessage,
              unreadable);

    // An encrypted entry is refused.
    const QString encrypted = dir.filePath("encrypted.docx");
    if (ZipFixtures::write(encrypted, {{"word/document.xml", body}}, true, 0)) {
        EXPECT_EQ(TextComparisonImport::importFile(encrypted).errorMessage, unreadable);
    }

    // Parts that together declare more than the limit, though each alone would pass, are refused
    // before any is read; so is a part nested deeper than any document, while one a little less
    // deep is read.
    QByteArray large = body;
    large.replace("</w:body>", QByteArray(TextComparisonImport::maxDocxTotalBytes / 4, ' ') + "</w:body>");
    const QString fourParts = dir.filePath("four.docx");
    ASSERT_TRUE(ZipFixtures::write(fourParts, {{"word/document.xml", large}, {"word/header1.xml", large},
                                               {"word/header2.xml", large}, {"word/footer1.xml", large}}));
    EXPECT_EQ(TextComparisonImport::importFile(fourParts).errorMessage, unreadable);
    auto nested = [&](int depth) {
        QString xml = para("<w:r><w:t>深</w:t></w:r>");
        for (int level = 2; level < depth - 3; ++level) // within w:document, w:body, w:p, w:r, w:t
            xml = QStringLiteral("<w:smartTag>") + xml + QStringLiteral("</w:smartTag>");
        const QString path = dir.filePath(QStringLiteral("nested%1.docx").arg(depth));
        return ZipFixtures::write(path, {{"word/document.xml", ZipFixtures::documentXml(xml)}}) ? path : QString();
    };
    EXPECT_EQ(TextComparisonImport::importFile(nested(TextComparisonImport::maxDocxDepth)).text, QStringLiteral("深"));
    EXPECT_EQ(TextComparisonImport::importFile(nested(TextComparisonImport::maxDocxDepth + 1)).errorMessage, unreadable);

    // Text files above 32 MiB are refused without being decoded; unreadable files say so.
    const QString big = dir.filePath("big.txt");
    QFile bigFile(big);
    ASSERT_TRUE(bigFile.open(QIODevice::WriteOnly));
    ASSERT_TRUE(bigFile.resize(TextComparisonImport::maxTextFileBytes + 1));
    bigFile.close();
    EXPECT_EQ(TextComparisonImport::importFile(big).errorMessage, QStringLiteral("文案文件无法解析"));
    EXPECT_FALSE(TextComparisonImport::importFile(dir.filePath("missing.txt")).errorMessage.isEmpty());
    EXPECT_EQ(TextComparisonImport::importFile(writeFile(dir, "ok.rtf", "{\\rtf1 hi}")).text, QStringLiteral("hi"));
}
