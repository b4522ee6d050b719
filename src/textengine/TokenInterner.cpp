#include "textengine/TokenInterner.h"

bool TokenInterner::isTriviallyDecomposed(QStringView text)
{
    // Below U+00C0 nothing decomposes and no combining mark exists; the CJK ideograph blocks,
    // CJK punctuation and the half/full-width forms have no canonical decompositions either.
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x00C0 || (u >= 0x3000 && u <= 0x303F) || (u >= 0x3400 && u <= 0x9FFF)
            || (u >= 0xFF00 && u <= 0xFFEF))
            continue;
        return false;
    }
    return true;
}

int TokenInterner::id(QStringView token)
{
    const auto known = m_byCodeUnits.constFind(token);
    if (known != m_byCodeUnits.constEnd())
        return known.value();
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
