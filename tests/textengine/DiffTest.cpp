#include "textengine/TextComparisonDiff.h"

#include <QRandomGenerator>
#include <QTextBoundaryFinder>
#include <gtest/gtest.h>

#include <set>

namespace {

// The walk exactly as written down, over a full table of integers, kept here as the reference
// that the bit-parallel engine must reproduce.
bool canonicalEquals(const QString &a, const QString &b)
{
    return a.normalized(QString::NormalizationForm_D) == b.normalized(QString::NormalizationForm_D);
}

std::vector<std::vector<int>> naiveTable(const QStringList &a, const QStringList &b)
{
    const auto n = a.size();
    const auto m = b.size();
    std::vector<std::vector<int>> t(std::size_t(n + 1), std::vector<int>(std::size_t(m + 1), 0));
    for (auto i = n - 1; i >= 0; --i) {
        for (auto j = m - 1; j >= 0; --j) {
            t[i][j] = canonicalEquals(a[i], b[j]) ? t[i + 1][j + 1] + 1 : std::max(t[i + 1][j], t[i][j + 1]);
        }
    }
    return t;
}

std::vector<std::pair<qsizetype, qsizetype>> naiveChanges(const QString &original, const QString &edited)
{
    if (canonicalEquals(original, edited) || edited.isEmpty())
        return {};
    auto graphemes = [](const QString &text) {
        std::vector<std::pair<qsizetype, qsizetype>> spans;
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        qsizetype start = 0;
        for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
            spans.emplace_back(start, next);
            start = next;
        }
        return spans;
    };
    const auto os = graphemes(original);
    const auto es = graphemes(edited);
    if (os.empty())
        return {{0, edited.size()}};
    QStringList a;
    QStringList b;
    for (auto [s, e] : os)
        a << original.mid(s, e - s);
    for (auto [s, e] : es)
        b << edited.mid(s, e - s);
    const auto t = naiveTable(a, b);
    std::set<qsizetype> matched;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (canonicalEquals(a[i], b[j])) {
            matched.insert(j);
            ++i;
            ++j;
        } else if (t[i + 1][j] < t[i][j + 1]) {
            ++j;
        } else {
            ++i;
        }
    }
    std::vector<std::pair<qsizetype, qsizetype>> result;
    for (qsizetype k = 0; k < b.size(); ++k) {
        if (matched.count(k))
            continue;
        auto range = es[std::size_t(k)];
        if (!result.empty()) {
            auto &p = result.back();
            if (p.second == range.first || edited.mid(p.second, range.first - p.second).trimmed().isEmpty()) {
                p.second = range.second;
                continue;
            }
        }
        result.push_back(range);
    }
    return result;
}

QString naiveAligned(QString original, QString edited)
{
    for (QString *s : {&original, &edited}) {
        s->replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s->replace(u'\r', u'\n');
    }
    if (canonicalEquals(original, edited))
        return original;
    const QStringList a = original.split(u'\n');
    const QStringList b = edited.split(u'\n');
    const auto t = naiveTable(a, b);
    QStringList out;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size()) {
        if (j < b.size() && canonicalEquals(a[i], b[j])) {
            out << a[i++];
            ++j;
        } else if (j >= b.size()) {
            out << a[i++];
        } else if (b[j].isEmpty()) {
            out << QString();
            ++j;
        } else if (t[i + 1][j] < t[i][j + 1]) {
            out << QString();
            ++j;
        } else if (t[i + 1][j] == t[i][j + 1]) {
            out << a[i++];
            ++j;
        } else {
            out << a[i++];
        }
    }
    for (; j < b.size(); ++j)
        out << QString();
    return out.join(u'\n');
}

std::vector<std::pair<qsizetype, qsizetype>> ranges(const std::vector<TextComparisonChange> &changes)
{
    std::vector<std::pair<qsizetype, qsizetype>> result;
    for (std::size_t k = 0; k < changes.size(); ++k) {
        EXPECT_EQ(changes[k].sequenceNumber, qint64(k) + 1);
        result.emplace_back(changes[k].start, changes[k].end);
    }
    return result;
}

QString randomText(QRandomGenerator &rng, const QStringList &alphabet, int maxTokens)
{
    QString text;
    const int count = int(rng.bounded(maxTokens + 1));
    for (int k = 0; k < count; ++k)
        text += alphabet[int(rng.bounded(int(alphabet.size())))];
    return text;
}

using Range = std::pair<qsizetype, qsizetype>;
using Ranges = std::vector<Range>;

} // namespace

TEST(TextComparisonDiff, ChangesFollowTheWalkInTheTable)
{
    struct Case {
        const char16_t *original;
        const char16_t *edited;
        Ranges expected;
    };
    const Case cases[] = {
        {u"abc", u"abc", {}},
        {u"abc", u"", {}},
        {u"", u"abc", {{0, 3}}},
        {u"abc", u"abXc", {{2, 3}}},
        {u"abc", u"ac", {}},
        {u"a b", u"X Y", {{0, 3}}},
        {u"ab\ncd", u"aX\ncY", {{1, 2}, {4, 5}}},
        {u"ab", u"ba", {{1, 2}}},                     // the earliest edited "a" is not the match
        {u"x", u"zxx", {{0, 1}, {2, 3}}},            // no common-suffix shortcut
        {u"hello world", u"hello  world", {{6, 7}}}, // a blank-only change stays
        {u"caf\u00E9", u"cafe\u0301", {}},           // canonical equivalence
        {u"a\U0001F600b", u"a\U0001F601b", {{1, 3}}}, // an emoji is one character
        {u"e\u0301x", u"e\u0301y", {{2, 3}}},
    };
    for (const Case &c : cases) {
        const QString original = QString::fromUtf16(c.original);
        const QString edited = QString::fromUtf16(c.edited);
        EXPECT_EQ(ranges(TextComparisonDiff::changes(original, edited)), c.expected)
            << original.toStdString() << " -> " << edited.toStdString();
    }
}

TEST(TextComparisonDiff, SwitchesToLinesAbove1400Characters)
{
    const QString line = QString(69, u'a') + u'\n'; // 70 characters
    QString original;
    for (int k = 0; k < 20; ++k)
        original += line; // 1400 characters
    QString edited = original;
    edited[qsizetype(75)] = u'X';
    // 1400 characters: compared per character.
    EXPECT_EQ(ranges(TextComparisonDiff::changes(original, edited)), (Ranges{{75, 76}}));
    // 1401: the whole second line including its "\n".
    EXPECT_EQ(ranges(TextComparisonDiff::changes(original + u'b', edited + u'b')), (Ranges{{70, 140}}));

    // Lines end after "\n", "\r\n" and a lone "\r".
    const auto tokens = TextComparisonDiff::lineTokens(QStringLiteral("a\r\nb\rc\nd\n"));
    QStringList values;
    for (const TextToken &t : tokens)
        values << t.value;
    EXPECT_EQ(values, (QStringList{"a\r\n", "b\r", "c\n", "d\n"}));
    EXPECT_TRUE(TextComparisonDiff::lineTokens(QString()).empty());
    EXPECT_EQ(TextComparisonDiff::characterTokens(QStringLiteral("e\u0301\r\n")).size(), 2u);
}

TEST(TextComparisonDiff, MatchesTheNaiveReferenceOnRandomPairs)
{
    QRandomGenerator rng(20240611);
    const QStringList alphabet{"a", "b", "x", " ", "\n", "\r\n", "\u00E9", "e\u0301", "\U0001F600"};
    for (int round = 0; round < 20000; ++round) {
        const QString original = randomText(rng, alphabet, 12);
        const QString edited = rng.bounded(4) == 0 ? original + randomText(rng, alphabet, 3)
                                                   : randomText(rng, alphabet, 12);
        ASSERT_EQ(ranges(TextComparisonDiff::changes(original, edited)), naiveChanges(original, edited))
            << round;
        ASSERT_EQ(TextComparisonDisplay::alignedOriginalText(original, edited), naiveAligned(original, edited))
            << round;
    }
}

TEST(TextComparisonDisplay, AlignsOriginalLinesWithEditedRows)
{
    struct Case {
        const char *original;
        const char *edited;
        const char *expected;
    };
    const Case cases[] = {
        {"A\nB\nC", "A\nX\nB\nC", "A\n\nB\nC"},
        {"A\nB\nC", "A\nB2\nC", "A\nB\nC"},
        {"A\nB\nC", "A\nC", "A\nB\nC"},
        {"A\nB", "A\n\nB", "A\n\nB"},
        {"A", "", "\nA"},
        {"", "x\ny", "\n"},
        {"a\r\nb\rc", "a\nb\nc", "a\nb\nc"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TextComparisonDisplay::alignedOriginalText(QString::fromUtf8(c.original), QString::fromUtf8(c.edited)),
                  QString::fromUtf8(c.expected))
            << c.original << " | " << c.edited;
    }
}

TEST(TextComparisonDiff, LongTextsStayExactThroughTheLineWalk)
{
    // A few thousand lines with scattered edits: the engine's line walk must equal the naive
    // one over the same line tokens.
    QRandomGenerator rng(99);
    QStringList lines;
    for (int k = 0; k < 400; ++k)
        lines << QStringLiteral("第%1行 %2").arg(k % 37).arg(rng.bounded(5));
    QStringList editedLines = lines;
    for (int k = 0; k < 30; ++k)
        editedLines[int(rng.bounded(int(editedLines.size())))] = QStringLiteral("改 %1").arg(k);
    editedLines.removeAt(10);
    editedLines.insert(50, QStringLiteral("新增"));
    const QString original = lines.join(u'\n');
    const QString edited = editedLines.join(u'\n');

    QStringList a;
    QStringList b;
    for (const auto &t : TextComparisonDiff::lineTokens(original))
        a << t.value;
    for (const auto &t : TextComparisonDiff::lineTokens(edited))
        b << t.value;
    const auto t = naiveTable(a, b);
    std::vector<qsizetype> expected;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i] == b[j]) {
            expected.push_back(j);
            ++i;
            ++j;
        } else if (t[i + 1][j] < t[i][j + 1]) {
            ++j;
        } else {
            ++i;
        }
    }
    EXPECT_EQ(TextComparisonDiff::matchedEditedTokenIndices(a, b), expected);
    EXPECT_EQ(TextComparisonDisplay::alignedOriginalText(original, edited), naiveAligned(original, edited));
    // The same texts give the same answer.
    EXPECT_EQ(TextComparisonDiff::changes(original, edited), TextComparisonDiff::changes(original, edited));
}

TEST(TextComparisonDiff, LongTextsKeepTheirModeAndEquivalence)
{
    // 1000 characters of six code units each: under the limit, so still compared per character
    // even though the text is far longer than the limit in code units.
    const QString cluster = QStringLiteral("e\u0301\u0302\u0303\u0304\u0305");
    QString original;
    for (int k = 0; k < 1000; ++k)
        original += cluster;
    QString edited = original;
    edited.replace(6 * 500, 1, u'o');
    EXPECT_EQ(ranges(TextComparisonDiff::changes(original, edited)), (Ranges{{3000, 3006}}));
    // 1401 of them: per line, and the only line is changed.
    EXPECT_EQ(ranges(TextComparisonDiff::changes(original + QString(401, u'x'), edited + QString(401, u'x'))),
              (Ranges{{0, 6401}}));

    // A text that is all ideographs, whose line is canonically equal to a compatibility ideograph
    // (U+F900 decomposes to U+8C48): the fast path for decomposed texts must not separate them.
    QString chinese;
    for (int k = 0; k < 300; ++k)
        chinese += QStringLiteral("天地玄黄宇宙洪荒\n");
    QString compatible = chinese;
    compatible.replace(9 * 100, 1, QChar(0xF900));
    chinese.replace(9 * 100, 1, QChar(0x8C48));
    EXPECT_TRUE(TextComparisonDiff::changes(chinese, compatible).empty());
    EXPECT_EQ(TextComparisonDisplay::alignedOriginalText(chinese, compatible), chinese);
    compatible.replace(9 * 200, 1, u'改');
    EXPECT_EQ(ranges(TextComparisonDiff::changes(chinese, compatible)), (Ranges{{1800, 1809}}));
    EXPECT_EQ(TextComparisonDisplay::alignedOriginalText(chinese, compatible), naiveAligned(chinese, compatible));
}
