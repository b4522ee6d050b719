#pragma once

#include "textengine/TextComparisonChange.h"

#include <QString>

#include <vector>

// Everything one comparison of a text version yields: the changes of the edited text and the
// original with empty lines inserted so that its lines stand beside their edited counterparts.
// Both come from one search, so the panes, the strip, the counts and the exports agree.
struct TextComparisonResult {
    std::vector<TextComparisonChange> changes;
    QString alignedOriginal;

    bool operator==(const TextComparisonResult &) const = default;
};
