#pragma once
// Correction records and their operations (blending included), and the
// catalogue of their fields, and the output levels their clipping settings give.
#include "correction_records.h"
#include "field_catalogue.h"
#include "output_levels.h"
