#pragma once

// The panel chrome and the panel buttons, for files not yet moved to the one-class headers below.
#include "ui/ColorSwatchButton.h"
#include "ui/FloatingPanel.h"
#include "ui/PanelButton.h"
#include "ui/PanelChrome.h"
