#pragma once

#include <QString>

// The order a file manager shows names in: letters compared without regard to case, and runs of
// ASCII digits compared by their numeric value, so "img2.png" comes before "img10.png" and
// "Img1.png" before "img2.png". Written by hand because QCollator's numeric mode does nothing
// under the C locale that headless runs use.
namespace NaturalOrder {

// Negative, zero or positive as a sorts before, with or after b. Names that differ only in case
// or in leading zeros compare equal, so a stable sort keeps their given order.
int compare(const QString &a, const QString &b);

inline bool less(const QString &a, const QString &b)
{
    return compare(a, b) < 0;
}

} // namespace NaturalOrder
