#pragma once

#include "textengine/AlignedRows.h"
#include "textengine/ComparedLines.h"
#include "textengine/LineDiffIds.h"

#include <atomic>
#include <cstddef>
#include <vector>

// The exact walks over the suffix LCS table of the lines: the diff's (the edited lines it
// matches) and the alignment's (the original's rows, an empty one opposite each edited line
// without a counterpart), answered by SuffixLcsOrder within a budget of work.
//
// The first `prefix` lines of both texts are equal tokens and matched by both walks. The diff's
// walk runs when `matched` is given (one flag per edited line), the alignment's when `rows` is.
enum class ExactLineWalkEnd { Finished, BudgetSpent, Cancelled };

ExactLineWalkEnd walkLinesExactly(const ComparedLines &cut, LineDiffIds &ids, std::size_t prefix,
                                  std::vector<char> *matched, AlignedRows *rows, std::size_t budget,
                                  const std::atomic<bool> *cancelled);
