#pragma once
// Correction records and their operations (blending included), and the
// catalogue of their fields.
#include "correction_records.h"
#include "field_catalogue.h"
