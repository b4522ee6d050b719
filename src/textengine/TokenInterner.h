#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

// Maps token texts to small integer ids so that canonically equivalent tokens share one id.
// Each distinct token is normalised (NFD) once; identical code units hit the first table and
// are never normalised again. The viewed strings must outlive the interner.
class TokenInterner {
public:
    TokenInterner() = default;
    // For tokens that all come from texts known to be in NFD already (isTriviallyDecomposed):
    // equivalence is then identity of code units and no token is normalised. Reserves room
    // for the expected number of distinct tokens.
    TokenInterner(bool allDecomposed, qsizetype expectedTokens);

    int id(QStringView token);
    int size() const { return m_nextId; }

    // Whether the text is already in NFD (a quick, conservative test over common ranges).
    static bool isTriviallyDecomposed(QStringView text);

private:
    QHash<QStringView, int> m_byCodeUnits;
    QHash<QString, int> m_byDecomposition;
    int m_nextId = 0;
    bool m_allDecomposed = false;
};
