#include "model/MarkupViewModel.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct HistoryFixture {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("p.ini"), QSettings::IniFormat};
    MarkupViewModel model{settings};
};

// The history as whole copies of the text: the lists the edited text's undo and redo always
// behaved as, one whole earlier text per step.
struct CopyHistory {
    QStringList undo;
    QStringList redo;
    QString text;

    static void push(QStringList &list, const QString &value)
    {
        list.append(value);
        if (list.size() > MarkupViewModel::textComparisonHistoryLimit)
            list.removeFirst();
    }
    // Returns whether anything happened.
    bool edit(const QString &next)
    {
        if (next == text)
            return false;
        push(undo, text);
        redo.clear();
        text = next;
        return true;
    }
    bool stepBack()
    {
        if (undo.isEmpty())
            return false;
        push(redo, text);
        text = undo.takeLast();
        return true;
    }
    bool stepForward()
    {
        if (redo.isEmpty())
            return false;
        push(undo, text);
        text = redo.takeLast();
        return true;
    }
};

// Letters, a character outside the basic plane (two code units) and a combining accent, so that
// edits also split pairs and change canonically equal text.
QString randomPiece(QRandomGenerator &rng, int maximum)
{
    static const QString pool = QStringLiteral("ab文字\U0001F600e\u0301\u00E9\n ");
    QString piece;
    const int length = int(rng.bounded(maximum + 1));
    for (int k = 0; k < length; ++k)
        piece += pool.at(int(rng.bounded(int(pool.size()))));
    return piece;
}

QString randomEdit(QRandomGenerator &rng, const QString &text)
{
    const auto at = [&](qsizetype limit) { return qsizetype(rng.bounded(quint32(limit + 1))); };
    QString next = text;
    switch (rng.bounded(6)) {
    case 0: // typing
        next.insert(at(next.size()), randomPiece(rng, 1).left(1));
        break;
    case 1: { // a deletion
        const qsizetype from = at(next.size());
        next.remove(from, at(std::min<qsizetype>(3, next.size() - from)));
        break;
    }
    case 2: { // a replaced selection
        const qsizetype from = at(next.size());
        next.replace(from, at(next.size() - from), randomPiece(rng, 6));
        break;
    }
    case 3: // a paste over everything
        next = randomPiece(rng, 40);
        break;
    case 4: // the same text again
        break;
    default: // typing at the end
        next += randomPiece(rng, 2);
        break;
    }
    return next;
}

} // namespace

TEST(TextEditHistory, UndoAndRedoGiveTheTextsOfWholeCopies)
{
    for (quint32 seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        QRandomGenerator rng(seed);
        HistoryFixture f;
        MarkupViewModel &model = f.model;
        CopyHistory reference;
        reference.text = QStringLiteral("起点文案");
        model.setTextComparison(QStringLiteral("s"), reference.text);

        int published = 0;
        bool echoArmed = false;
        QObject::connect(&model, &MarkupViewModel::textComparisonChanged, [&] {
            ++published;
            // The editor answering an undo or redo with its own version of the text.
            if (echoArmed && model.isApplyingTextComparisonHistory()) {
                echoArmed = false;
                model.updateEditedComparisonText(model.textComparison()->editedText + QStringLiteral("!"));
            }
        });

        for (int op = 0; op < 1500; ++op) {
            SCOPED_TRACE(op);
            // Phases of mostly typing and mostly stepping, so both sides run past their limit.
            const bool stepping = (op / 150) % 2 == 1;
            const quint32 roll = rng.bounded(10);
            model.setStatusMessage(QStringLiteral("-"));
            published = 0;
            QString expectedStatus = QStringLiteral("-");
            int expectedPublished = 0;
            if (roll < (stepping ? 2u : 8u)) {
                const QString next = randomEdit(rng, reference.text);
                if (reference.edit(next)) {
                    expectedStatus = QStringLiteral("文案已修改");
                    expectedPublished = 1;
                }
                model.updateEditedComparisonText(next);
            } else {
                const bool back = roll < (stepping ? 7u : 9u);
                echoArmed = rng.bounded(8) == 0;
                const QString before = reference.text;
                const bool stepped = back ? reference.stepBack() : reference.stepForward();
                if (stepped) {
                    expectedStatus = back ? QStringLiteral("已撤回文案修改") : QStringLiteral("已重做文案修改");
                    // A step to the same text publishes nothing, and so gets no answer either.
                    if (reference.text != before) {
                        expectedPublished = 1;
                        if (echoArmed) {
                            reference.text += QStringLiteral("!");
                            ++expectedPublished;
                        }
                    }
                } else {
                    expectedStatus = back ? QStringLiteral("没有可撤回的文案修改") : QStringLiteral("没有可重做的文案修改");
                }
                EXPECT_TRUE(back ? model.undoTextComparisonEdit() : model.redoTextComparisonEdit());
                echoArmed = false;
            }
            ASSERT_EQ(model.textComparison()->editedText, reference.text);
            ASSERT_EQ(model.statusMessage(), expectedStatus);
            ASSERT_EQ(published, expectedPublished);
            if (op % 50 == 0) {
                ASSERT_EQ(model.textComparisonUndoTexts(), reference.undo);
                ASSERT_EQ(model.textComparisonRedoTexts(), reference.redo);
            }
        }
        EXPECT_EQ(model.textComparisonUndoTexts(), reference.undo);
        EXPECT_EQ(model.textComparisonRedoTexts(), reference.redo);
    }
}

TEST(TextEditHistory, KeystrokesInALongTextHoldOnlyWhatTheyChanged)
{
    HistoryFixture f;
    MarkupViewModel &model = f.model;
    QString text;
    text.reserve(1'000'000);
    while (text.size() < 1'000'000)
        text += QStringLiteral("一段很长的文案，用来打字。\n");
    model.setTextComparison(QStringLiteral("长文.txt"), text);
    text = model.textComparison()->editedText;

    // Two hundred keystrokes here and there: typed characters and deletions.
    QRandomGenerator rng(5);
    for (int k = 0; k < 200; ++k) {
        const qsizetype at = qsizetype(rng.bounded(quint32(text.size())));
        if (k % 4 == 3)
            text.remove(at, 1);
        else
            text.insert(at, QChar(u'字'));
        model.updateEditedComparisonText(text);
    }
    // Each of the 80 steps kept holds one code unit, not a copy of a million.
    EXPECT_EQ(model.textComparisonUndoTexts().size(), MarkupViewModel::textComparisonHistoryLimit);
    EXPECT_LE(model.textComparisonHistoryCodeUnits(), 2 * MarkupViewModel::textComparisonHistoryLimit);

    // Stepping back and forth moves the steps, it does not copy texts into them.
    for (int k = 0; k < 50; ++k)
        model.undoTextComparisonEdit();
    for (int k = 0; k < 20; ++k)
        model.redoTextComparisonEdit();
    EXPECT_LE(model.textComparisonHistoryCodeUnits(), 2 * MarkupViewModel::textComparisonHistoryLimit);

    // A paste over the whole text holds what it replaced: the size of the edit.
    model.updateEditedComparisonText(QStringLiteral("短"));
    EXPECT_LE(model.textComparisonHistoryCodeUnits(), text.size() + 2 * MarkupViewModel::textComparisonHistoryLimit);
    model.setTextComparison(QStringLiteral("新.txt"), QStringLiteral("新"));
    EXPECT_EQ(model.textComparisonHistoryCodeUnits(), 0);
}
