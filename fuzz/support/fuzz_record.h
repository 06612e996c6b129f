#pragma once
// Correction records for the fuzz targets, taken from the fuzzer's bytes:
// mostly well-formed records with a few controls changed (so that the
// engine does real work), sometimes any bytes at all.

#include <colorcorrect/colorcorrect.h>
#include <fuzzer/FuzzedDataProvider.h>

namespace colorcorrect::fuzz {

// Changes `cc` by one edit: every byte from the input, back to the default
// record, the active groups, one match vector (made active and counted), or
// one to four 16-bit values anywhere in the record (sizes then put right
// again unless the input says otherwise).
void EditCorrection(tagCOLORCORRINFO& cc, FuzzedDataProvider& in);

// True when the engine must accept the record: all size fields right and at
// most 16 match vectors.
bool WellFormedCorrection(const tagCOLORCORRINFO& cc);

} // namespace colorcorrect::fuzz
