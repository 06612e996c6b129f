#pragma once
// The display filter: previews, scope displays, the 3D cube, the real-time
// display and the real-time lookup package.
#include "rt_lut_pack.h"
#include "color_correction_filter.h"
