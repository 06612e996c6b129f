#pragma once
// colorcorrect: bit-exact colour correction for video applications.
//
// The one header a caller includes. It declares the correction records, the
// host services the library is written against (pictures, drawing, threads,
// events, checksum, debug output), the library-wide values, the correction
// engine, the display filter, the viewer and the automatic analyses.
//
// Names of the host's interface live in the global namespace; additions of
// this library live in namespace colorcorrect.

#include "records/records.h"
#include "host/host.h"
#include "library/library.h"
#include "engine/engine.h"
#include "display/display.h"
#include "viewer/viewer.h"
#include "analysis/analysis.h"
