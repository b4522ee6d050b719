#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

// The undo and redo history of one edited text, kept as the changes between its versions rather
// than as copies of them: a step holds where the text changed, the code units taken out and the
// code units put in, so that a keystroke in a text of millions of characters costs a few code
// units. The steps form one chain through the text the history last saw: the newest undo step
// turns the previous version into it, the newest redo step turns it into the version undone
// last, and each older step leads to the one after it. Each side keeps at most `limit` steps.
class TextEditHistory {
public:
    struct Step {
        qsizetype position = 0;
        QString removed;  // the older version's code units at `position`
        QString inserted; // the newer version's code units at `position`
        bool operator==(const Step &) const = default;
    };

    explicit TextEditHistory(qsizetype limit)
        : m_limit(limit)
    {
    }

    // The text changed from `before` to `after` as one undoable step (the oldest beyond the limit
    // dropped); the steps undone so far are forgotten.
    void record(const QString &before, const QString &after);
    // The version one step back from `current`, or nothing when there is none; the step moves to
    // the redo side.
    std::optional<QString> undo(const QString &current);
    // The version one step forward from `current`, or nothing; the step moves to the undo side.
    std::optional<QString> redo(const QString &current);
    // The text became `current` without a step of its own (the editor answering an undo with its
    // own version of the text): the versions before and after stay what they were, and the
    // newest step on each side is taken from them to `current`.
    void follow(const QString &current);
    void clear();

    qsizetype undoCount() const { return qsizetype(m_undo.size()); }
    qsizetype redoCount() const { return qsizetype(m_redo.size()); }
    // The code units the steps hold: what the history costs beyond the text itself.
    qsizetype heldCodeUnits() const { return m_heldCodeUnits; }
    // Every earlier (undone) version rebuilt from `current`, oldest first. Whole copies of the
    // text, one per step: for checks, never for the window.
    QStringList undoTexts(const QString &current) const;
    QStringList redoTexts(const QString &current) const;

    // The one step that turns `from` into `to`: their differing middle between the longest common
    // start and end.
    static Step difference(const QString &from, const QString &to);

private:
    void push(std::deque<Step> &side, Step step);
    Step takeNewest(std::deque<Step> &side);

    std::deque<Step> m_undo; // oldest first
    std::deque<Step> m_redo; // oldest first; the newest is the next redo
    // The text the chain ends at; it shares its characters with the document's text.
    QString m_current;
    qsizetype m_limit;
    qsizetype m_heldCodeUnits = 0;
};
