#pragma once

#include <QString>

// A destructive command's question: the confirming button first, "取消" second; only the first
// confirms.
struct ConfirmationRequest {
    QString message;
    QString informativeText;
    QString confirmTitle;

    bool operator==(const ConfirmationRequest &) const = default;
};
