#pragma once
// Public declarations of the analysis folder.

#include "channel_curve_fit.h"
#include "channel_histogram_match.h"
#include "fft_transform.h"
#include "histogram_clusters.h"
#include "histogram_correlation.h"
#include "power_curve_fit.h"
