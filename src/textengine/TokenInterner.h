#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

// Maps token texts to small integer ids so that canonically equivalent tokens share one id.
// Each distinct token is normalised (NFD) once; identical code units hit the first table and
// are never normalised again. The viewed strings must outlive the interner.
class TokenInterner {
public:
    int id(QStringView token);
    int size() const { return nextId_; }

    // Whether the text is already in NFD (a quick, conservative test over common ranges).
    static bool isTriviallyDecomposed(QStringView text);

private:
    QHash<QStringView, int> byCodeUnits_;
    QHash<QString, int> byDecomposition_;
    int nextId_ = 0;
};
