#pragma once

#include <QString>

#include <array>
#include <optional>
#include <utility>
#include <vector>

// Closed sets whose stored key is a raw text ("arrow", "imageMarkup"). Each enumeration provides a
// specialisation of RawValueTable listing its cases in their declared order with their raw texts.
template<typename E>
struct RawValueTable;

namespace RawValue {

// The raw text of a case.
template<typename E>
QString of(E value)
{
    for (const auto &[candidate, raw] : RawValueTable<E>::entries) {
        if (candidate == value)
            return QString::fromLatin1(raw);
    }
    return QString();
}

// The case whose raw text equals `raw` exactly (case-sensitive), otherwise nothing.
template<typename E>
std::optional<E> parse(const QString &raw)
{
    for (const auto &[candidate, text] : RawValueTable<E>::entries) {
        if (raw == QLatin1String(text))
            return candidate;
    }
    return std::nullopt;
}

// All cases in their declared order.
template<typename E>
std::vector<E> allCases()
{
    std::vector<E> cases;
    for (const auto &entry : RawValueTable<E>::entries)
        cases.push_back(entry.first);
    return cases;
}

} // namespace RawValue
