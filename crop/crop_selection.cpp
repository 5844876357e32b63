#include "crop/crop_selection.h"

CropSelectionState CropSelection = {};
