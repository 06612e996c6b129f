#pragma once
// Correction records and their operations (blending included).
#include "correction_records.h"
