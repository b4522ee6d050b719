#pragma once

// The kit's header buttons, shapes and empty-state column, for files not yet moved to the
// one-class headers below.
#include "ui/ActionButton.h"
#include "ui/EmptyStateColumn.h"
#include "ui/ShellPainting.h"
#include "ui/SymbolButton.h"
