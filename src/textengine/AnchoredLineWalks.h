#pragma once

#include "textengine/AlignedRows.h"
#include "textengine/AnchoredMatches.h"
#include "textengine/ComparedLines.h"

#include <atomic>
#include <vector>

// Both answers from one anchored common subsequence of the diff's tokens (anchoredMatches): the
// edited lines it pairs are matched (`matched`, one flag per edited line, when given), and the
// aligned rows (`rows`, when given, written anew) put each paired original line opposite its
// edited line, the lines between two pairs opposite each other in turn, an empty edited line
// opposite an empty row, and what is left of either side in rows of its own. False once
// `cancelled` is raised.
bool walkLinesAnchored(const ComparedLines &cut, AnchoredPairs pairs, std::vector<char> *matched, AlignedRows *rows,
                       const std::atomic<bool> *cancelled);
