#include "textengine/RtfText.h"
#include "textengine/TextComparisonImport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(KIVORA_RTF_FIXTURES_DIR "/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

QString rtfText(const QByteArray &bytes)
{
    const RtfText::Result result = RtfText::text(bytes);
    EXPECT_FALSE(result.error.has_value());
    return result.text;
}

TextComparisonImport::ImportResult importBytes(const QString &name, const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    return TextComparisonImport::importFile(path);
}

} // namespace

TEST(RtfImport, ReadsAWordProcessorsChineseDocumentAsItsVisibleText)
{
    // Written by a word processor: every Chinese character as \uN with a "?" for readers without
    // Unicode, a list with its bullets, a footnote, a table, a link field, an emoji as a surrogate
    // pair across \uc0 and \uc1, and the header and footer repeated inside a starred page-style
    // table that a reader must skip.
    const QString expected = QStringLiteral("采购合同\n"
                                            "甲方：北京某某科技有限公司\t乙方：上海某某贸易有限公司\n"
                                            "第一条\n货物名称：“办公椅” — 共 20 把。\n"
                                            "•\t交货日期为 2026 年 12 月 31 日\n"
                                            "•\t付款方式：银行转账\n"
                                            "品名\n单价\n办公椅\n¥ 450\n"
                                            "详见 条款页面。Emoji 😀 与 café。\n"
                                            "页眉：合同编号 HT-2026\n"
                                            "第 1 页");
    EXPECT_EQ(rtfText(fixture("word-processor-contract.rtf")), expected);
}

TEST(RtfImport, LeavesOutWhatTheDocxImportLeavesOut)
{
    // Tracked deletions, comments and bookmarks give nothing; a text box's text stands where the
    // box is anchored, its paragraph ending the line, as in a DOCX.
    EXPECT_EQ(rtfText(fixture("word-processor-revisions.rtf")),
              QStringLiteral("修订前中间新条款结束\n文本框前文本框里的字\n文本框后\n书签与批注之后"));
}

TEST(RtfImport, DecodesEscapesInTheCodePageOfTheDocumentAndOfEachFont)
{
    // Written the way a plain editor writes RTF: \ansicpg936 and \'hh escapes, fonts in Big5 and
    // Shift-JIS, a GBK character whose second byte is a literal "@", \u with \uc1, \uc2 and \uc0,
    // hidden and deleted text, pictures with \bin data holding braces, an unknown starred
    // destination and the document information.
    const QString expected = QStringLiteral("第一条　合同标的\n"
                                            "甲方\t乙方\n第二行\n"
                                            "•\t条目一\n"
                                            "•\t条目二\n"
                                            "繁體中文 日本語 Café – “ok”\u00A0end\n"
                                            "丂是丂\n"
                                            "Unicode: 中文 国字 done\n"
                                            "加上的\n"
                                            "tail\n"
                                            "保密文件\n"
                                            "页脚 2");
    EXPECT_EQ(rtfText(fixture("hand-written-gbk.rtf")), expected);
}

TEST(RtfImport, SymbolsEscapesAndBreaks)
{
    EXPECT_EQ(rtfText(R"({\rtf1 a\{b\}c\\d\par e\-f\_g\~h})"), QStringLiteral("a{b}c\\d\nef\u2011g\u00A0h"));
    // A backslash before a line break ends the paragraph; bare line breaks in the source are not text.
    EXPECT_EQ(rtfText("{\\rtf1 one\\\ntwo\r\nthree}"), QStringLiteral("one\ntwothree"));
    // Paragraphs are trimmed and empty ones dropped, as in a DOCX; a line break inside one stays.
    EXPECT_EQ(rtfText(R"({\rtf1\par  first \line second\par\par\par third\par})"),
              QStringLiteral("first \nsecond\nthird"));
    // A surrogate pair from two \u escapes; a lone half becomes the replacement character.
    EXPECT_EQ(rtfText(R"({\rtf1\uc1\u-10179?\u-8704?})"), QStringLiteral("😀"));
    EXPECT_EQ(rtfText(R"({\rtf1 x\u-10179?y})"), QStringLiteral("x\uFFFDy"));
    // Nested tables: each cell on a line of its own.
    EXPECT_EQ(rtfText(R"({\rtf1 a\cell b\cell\row c\nestcell d\nestcell\nestrow})"), QStringLiteral("a\nb\nc\nd"));
    // Raw bytes above 127 are read in the document's code page like escapes.
    EXPECT_EQ(rtfText(QByteArray("{\\rtf1\\ansi\\ansicpg936 ") + QByteArray("\xD6\xD0\xCE\xC4") + "}"),
              QStringLiteral("中文"));
    EXPECT_EQ(rtfText(QByteArray("{\\rtf1\\ansi\\ansicpg65001 ") + QStringLiteral("中文").toUtf8() + "}"),
              QStringLiteral("中文"));
}

TEST(RtfImport, HostileDocumentsStayWithinBoundsAndFailInChinese)
{
    // Nesting past the limit is refused, whether the groups close or not.
    const int deep = 100000;
    QByteArray nested = "{\\rtf1 ";
    nested += QByteArray(deep, '{') + "x" + QByteArray(deep, '}') + "}";
    RtfText::Result result = RtfText::text(nested);
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(textComparisonImportErrorDescription(*result.error), QStringLiteral("RTF 文件无法读取"));
    EXPECT_TRUE(RtfText::text("{\\rtf1 " + QByteArray(deep, '{')).error.has_value());

    // Just under the limit reads.
    QByteArray within = "{\\rtf1 ";
    within += QByteArray(RtfText::maxGroupDepth - 2, '{') + "x" + QByteArray(RtfText::maxGroupDepth - 2, '}') + "}";
    EXPECT_EQ(rtfText(within), QStringLiteral("x"));

    // Groups left open at the end give what was read; so does a \bin longer than the file, and a
    // huge \uc count skips a bounded number of characters.
    EXPECT_EQ(rtfText(R"({\rtf1 abc {\b def)"), QStringLiteral("abc def"));
    EXPECT_EQ(rtfText(R"({\rtf1 abc\bin99999999999999999999 def})"), QStringLiteral("abc"));
    EXPECT_EQ(rtfText(R"({\rtf1\uc999999999999\u20013 abcdefghijklmnopqrstuvwxyz})"), QStringLiteral("中qrstuvwxyz"));

    // A NUL byte says the file is something else; a document without text says so.
    EXPECT_EQ(RtfText::text(QByteArray("{\\rtf1 a\0b}", 11)).error, TextComparisonImportError::rtfUnreadable);
    EXPECT_EQ(RtfText::text(R"({\rtf1{\fonttbl{\f0 Arial;}}\par\par})").error, TextComparisonImportError::rtfTextMissing);
}

TEST(RtfImport, TheUploadReadsRtfByItsNameAndOpeningOnly)
{
    const QByteArray rtf = R"({\rtf1\ansi\ansicpg936 \'d6\'d0\'ce\'c4})";
    EXPECT_EQ(importBytes(QStringLiteral("合同.RTF"), rtf).text, QStringLiteral("中文"));
    // Other names keep today's reading, and so does a .rtf file that does not open as RTF.
    EXPECT_EQ(importBytes(QStringLiteral("合同.txt"), rtf).text, QString::fromLatin1(rtf));
    EXPECT_EQ(importBytes(QStringLiteral("notes.rtf"), "plain {notes}\n").text, QStringLiteral("plain {notes}\n"));
    const TextComparisonImport::ImportResult empty = importBytes(QStringLiteral("empty.rtf"), R"({\rtf1 })");
    EXPECT_FALSE(empty.text.has_value());
    EXPECT_EQ(empty.errorMessage, QStringLiteral("RTF 中没有可解析的正文"));
}
