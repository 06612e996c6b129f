#pragma once
// Public declarations of the engine folder.
#include "angles.h"
#include "segment_index.h"
#include "base_color_correction_filter.h"
#include "band_processor.h"
#include "front_words.h"
