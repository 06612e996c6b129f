#pragma once
// Public declarations of the analysis folder.
#include "channel_curve_fit.h"
