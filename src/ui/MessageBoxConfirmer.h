#pragma once

#include "ui/Confirmer.h"

class QWidget;

// The application-modal warning alert.
class MessageBoxConfirmer final : public Confirmer {
public:
    explicit MessageBoxConfirmer(QWidget *parent = nullptr) : m_parent(parent) {}
    bool confirm(const ConfirmationRequest &request) override;

private:
    QWidget *m_parent;
};
