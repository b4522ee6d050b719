// The highlight runs against a plain per-character computation of the same rules, on random
// texts, changes and markups; and the runs of a stretch against the whole text's runs cut to it.

#include "texteditor/EditorTextRules.h"
#include "model/HexColor.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using EditorTextRules::HighlightRun;

namespace {

struct RandomCase {
    QString text;
    std::vector<TextComparisonChange> changes;
    std::vector<TextMarkupAnnotation> annotations;
};

QString randomText(QRandomGenerator &rng)
{
    static const QString pool = QStringLiteral("ab 字\n\t\u3000.");
    QString text;
    const int length = int(rng.bounded(90));
    for (int k = 0; k < length; ++k)
        text += pool.at(int(rng.bounded(int(pool.size()))));
    return text;
}

// Any ranges: overlapping, out of order, empty, past the end or negative.
std::vector<TextComparisonChange> anyChanges(QRandomGenerator &rng, qint64 length)
{
    std::vector<TextComparisonChange> changes;
    const int count = int(rng.bounded(8));
    for (int k = 0; k < count; ++k) {
        const qint64 start = qint64(rng.bounded(int(length) + 6)) - 3;
        const qint64 end = start + qint64(rng.bounded(30)) - 2;
        changes.push_back({ k + 1, start, end });
    }
    return changes;
}

// What the diff gives: in text order, not overlapping, never empty, inside the text.
std::vector<TextComparisonChange> orderedChanges(QRandomGenerator &rng, qint64 length)
{
    std::vector<TextComparisonChange> changes;
    qint64 at = qint64(rng.bounded(4));
    while (at < length) {
        const qint64 end = std::min(length, at + 1 + qint64(rng.bounded(6)));
        changes.push_back({ qint64(changes.size()) + 1, at, end });
        at = end + qint64(rng.bounded(8));
    }
    return changes;
}

std::vector<TextMarkupAnnotation> anyMarkups(QRandomGenerator &rng, qint64 length)
{
    static const QStringList colors
        = { QStringLiteral("#16A34A"), QStringLiteral("#FDE047"), QStringLiteral("none"), QStringLiteral("zz") };
    std::vector<TextMarkupAnnotation> markups;
    const int count = int(rng.bounded(6));
    for (int k = 0; k < count; ++k) {
        TextMarkupAnnotation markup;
        markup.id = QUuid::createUuid();
        markup.location = qint64(rng.bounded(int(length) + 4)) - 1;
        markup.length = qint64(rng.bounded(40)) - 1;
        markup.highlight = rng.bounded(2) == 1;
        markup.highlightColorHex = colors.at(int(rng.bounded(int(colors.size()))));
        markup.underline = rng.bounded(3) == 0;
        markup.strikethrough = rng.bounded(3) == 0;
        markups.push_back(markup);
    }
    return markups;
}

// Character by character, in the order the editor paints: the changes, then each markup.
std::vector<HighlightRun> perCharacterRuns(const RandomCase &input)
{
    const qint64 length = input.text.size();
    struct Look {
        std::optional<QColor> background;
        bool changeUnderline = false;
    };
    std::vector<Look> looks(static_cast<std::size_t>(length));
    for (qint64 at = 0; at < length; ++at) {
        Look &look = looks[std::size_t(at)];
        for (const TextComparisonChange &change : input.changes) {
            if (change.start >= 0 && change.end <= length && change.start <= at && at < change.end) {
                look.background = QColor(0xFD, 0xE6, 0x8A);
                look.changeUnderline = true;
            }
        }
        const bool blank = input.text.at(at).isSpace();
        for (const TextMarkupAnnotation &markup : input.annotations) {
            if (markup.location < 0 || markup.location >= length || markup.length < 1)
                continue;
            if (at < markup.location || at >= std::min(length, markup.location + markup.length))
                continue;
            if (markup.highlight && markup.highlightColorHex != QLatin1String("none") && !blank)
                look.background = HexColor::drawingColor(markup.highlightColorHex);
            if (markup.underline)
                look.changeUnderline = false;
            if (markup.strikethrough && !blank)
                look.background.reset();
        }
    }
    std::vector<HighlightRun> runs;
    for (qint64 at = 0; at < length; ++at) {
        const Look &look = looks[std::size_t(at)];
        if (!look.background && !look.changeUnderline)
            continue;
        if (!runs.empty() && runs.back().end == at && runs.back().background == look.background
            && runs.back().changeUnderline == look.changeUnderline)
            runs.back().end = int(at + 1);
        else
            runs.push_back({ int(at), int(at + 1), look.background, look.changeUnderline });
    }
    return runs;
}

std::vector<HighlightRun> cut(const std::vector<HighlightRun> &runs, qint64 from, qint64 to)
{
    std::vector<HighlightRun> result;
    for (HighlightRun run : runs) {
        run.start = int(std::max<qint64>(run.start, from));
        run.end = int(std::min<qint64>(run.end, to));
        if (run.start < run.end)
            result.push_back(run);
    }
    return result;
}

std::string describe(const std::vector<HighlightRun> &runs)
{
    std::string text;
    for (const HighlightRun &run : runs)
        text += "[" + std::to_string(run.start) + "," + std::to_string(run.end) + " "
            + (run.background ? run.background->name().toStdString() : "-") + (run.changeUnderline ? " u" : "") + "] ";
    return text;
}

} // namespace

TEST(HighlightRuns, EqualAPerCharacterComputationOnRandomInput)
{
    for (quint32 seed = 1; seed <= 1500; ++seed) {
        QRandomGenerator rng(seed);
        RandomCase input;
        input.text = randomText(rng);
        const qint64 length = input.text.size();
        input.changes = rng.bounded(2) == 0 ? anyChanges(rng, length) : orderedChanges(rng, length);
        input.annotations = anyMarkups(rng, length);
        const auto expected = perCharacterRuns(input);
        const auto runs = EditorTextRules::highlightRuns(input.text, input.changes, input.annotations);
        ASSERT_EQ(runs, expected) << "seed " << seed << "\n got      " << describe(runs) << "\n expected "
                                  << describe(expected);
    }
}

TEST(HighlightRuns, AStretchGivesTheWholeTextsRunsCutToIt)
{
    for (quint32 seed = 1; seed <= 1500; ++seed) {
        QRandomGenerator rng(seed);
        RandomCase input;
        input.text = randomText(rng);
        const qint64 length = input.text.size();
        input.changes = orderedChanges(rng, length);
        // A change left behind by a longer text is dropped, in a stretch as in the whole.
        if (rng.bounded(4) == 0)
            input.changes.push_back({ qint64(input.changes.size()) + 1, length, length + 3 });
        input.annotations = anyMarkups(rng, length);
        const auto whole = EditorTextRules::highlightRuns(input.text, input.changes, input.annotations);
        const qint64 from = qint64(rng.bounded(int(length) + 3)) - 2;
        const qint64 to = from + qint64(rng.bounded(50));
        const auto runs = EditorTextRules::highlightRuns(input.text, input.changes, input.annotations,
                                                         TextRange { from, to - from });
        const auto expected = cut(whole, std::max<qint64>(from, 0), std::min(to, length));
        ASSERT_EQ(runs, expected) << "seed " << seed << " stretch " << from << ".." << to << "\n got      "
                                  << describe(runs) << "\n expected " << describe(expected);
    }
}
