#pragma once

// The painted controls of the comparison empty state and sheets, for files not yet moved to the
// one-class headers below.
#include "comparison/widgets/ComparisonPreview.h"
#include "comparison/widgets/CurrentImageCard.h"
#include "comparison/widgets/FolderSlot.h"
#include "comparison/widgets/SheetButton.h"
#include "comparison/widgets/UploadCard.h"
#include "ui/EmptyStateButton.h"
