#pragma once

#include "ui/ConfirmationRequest.h"

// Asks the user; tests answer through their own implementation.
class Confirmer {
public:
    virtual ~Confirmer() = default;
    virtual bool confirm(const ConfirmationRequest &request) = 0;
};
