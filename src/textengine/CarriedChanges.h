#pragma once

#include "textengine/TextComparisonChange.h"

#include <QString>

#include <vector>

// The changes of one edited text carried over to the next, while the comparison of the next is
// still running: the edit between them is found as the differing middle of the two texts; changes
// before it stay, changes after it move with it, and a change it touches grows over it. Only a
// stand-in until the comparison answers, so the highlights do not slide off their words.
namespace CarriedChanges {

std::vector<TextComparisonChange> carriedOver(const std::vector<TextComparisonChange> &changes, const QString &from,
                                              const QString &to);

// How many code units `from` and `to` share at their start, and then (not overlapping) at their
// end: the edit between two versions of a long text, found in a pass a block at a time.
std::pair<qsizetype, qsizetype> commonEnds(QStringView from, QStringView to);

} // namespace CarriedChanges
