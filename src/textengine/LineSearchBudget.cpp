#include "textengine/LineSearchBudget.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Work per line where lines found once on each side abound, and where they do not.
constexpr std::size_t lineSearchBudgetAnchoredPerLine = 4;
constexpr std::size_t lineSearchBudgetRepeatedPerLine = 2048;
// Short texts always get this much (about a millisecond).
constexpr std::size_t lineSearchBudgetLeast = std::size_t(128) << 10;
// The repeated lines' allowance stops here (about a tenth of a second); longer texts still get
// their share per line.
constexpr std::size_t lineSearchBudgetMost = std::size_t(32) << 20;

} // namespace

std::size_t lineSearchBudget(std::span<const int> a, std::span<const int> b, int idCount)
{
    const std::size_t lines = a.size() + b.size();
    // Counts stop at 2: enough to tell once from more.
    std::vector<std::uint8_t> countA(std::size_t(std::max(idCount, 0)), 0);
    std::vector<std::uint8_t> countB(countA.size(), 0);
    for (int id : a)
        countA[std::size_t(id)] = std::uint8_t(std::min(countA[std::size_t(id)] + 1, 2));
    for (int id : b)
        countB[std::size_t(id)] = std::uint8_t(std::min(countB[std::size_t(id)] + 1, 2));
    std::size_t anchorable = 0;
    for (int id : a)
        anchorable += countA[std::size_t(id)] == 1 && countB[std::size_t(id)] == 1 ? 2 : 0;
    const std::size_t proportional = lineSearchBudgetAnchoredPerLine * lines;
    if (4 * anchorable >= lines)
        return std::max(lineSearchBudgetLeast, proportional);
    const std::size_t repeated = std::min(lineSearchBudgetMost, lineSearchBudgetRepeatedPerLine * lines);
    return std::max({lineSearchBudgetLeast, proportional, repeated});
}
