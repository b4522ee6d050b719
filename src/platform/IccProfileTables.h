#pragma once

#include <QByteArray>

#include <optional>

// The lookup tables an ICC profile declares, measured before the colour management library reads
// them. The library allocates a table as its header declares it and only then finds that the
// profile holds too little data: a few kilobytes declaring a 75-point four-dimensional grid cost
// some 190 MB before the read fails.
namespace IccProfileTables {

// Bytes the colour management library holds at most while it reads the profile and builds a
// transform from it: its copy of the profile, every table widened to 16 bits or floats, the
// further copies of the largest table made while the transform is built, and the transform's own
// precomputed grid. Nothing when a table declares more data than the profile holds, or is of a
// form the library would refuse: such a profile is not handed to the library.
std::optional<qint64> workingBytes(const QByteArray &profile);

} // namespace IccProfileTables
