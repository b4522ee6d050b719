#include "textengine/TokenInterner.h"

#include <algorithm>

namespace {

// Below U+00C0 nothing decomposes and no combining mark exists; the CJK ideograph blocks,
// CJK punctuation and the half/full-width forms have no canonical decompositions either.
// (The CJK compatibility ideographs U+F900–U+FAFF do decompose and are not in these ranges.)
inline bool decomposesToItself(char16_t u)
{
    // Non-short-circuit ors keep the test free of branches.
    return (u < 0x00C0) | (char16_t(u - 0x3000) < 0x40) | (char16_t(u - 0x3400) < 0x6C00) | (char16_t(u - 0xFF00) < 0xF0);
}

} // namespace

TokenInterner::TokenInterner(bool allDecomposed, qsizetype expectedTokens)
    : m_allDecomposed(allDecomposed)
{
    m_byCodeUnits.reserve(expectedTokens);
    if (!allDecomposed)
        m_byDecomposition.reserve(expectedTokens);
}

bool TokenInterner::isTriviallyDecomposed(QStringView text)
{
    // Whole blocks of a fixed length without early exit, so that the compiler can test many
    // code units at once and long texts are scanned at memory speed; the rest one by one.
    const char16_t *p = text.utf16();
    qsizetype left = text.size();
    constexpr qsizetype block = 64;
    while (left >= block) {
        unsigned failures = 0;
        for (qsizetype k = 0; k < block; ++k)
            failures |= unsigned(!decomposesToItself(p[k]));
        if (failures)
            return false;
        p += block;
        left -= block;
    }
    for (qsizetype k = 0; k < left; ++k) {
        if (!decomposesToItself(p[k]))
            return false;
    }
    return true;
}

int TokenInterner::id(QStringView token)
{
    const auto known = m_byCodeUnits.constFind(token);
    if (known != m_byCodeUnits.constEnd())
        return known.value();
    if (m_allDecomposed) {
        const int result = m_nextId++;
        m_byCodeUnits.insert(token, result);
        return result;
    }
    QString decomposed = token.toString();
    if (!isTriviallyDecomposed(token))
        decomposed = decomposed.normalized(QString::NormalizationForm_D);
    auto it = m_byDecomposition.find(decomposed);
    int result;
    if (it == m_byDecomposition.end()) {
        result = m_nextId++;
        m_byDecomposition.insert(decomposed, result);
    } else {
        result = it.value();
    }
    m_byCodeUnits.insert(token, result);
    return result;
}
