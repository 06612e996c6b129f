#pragma once
// The correction records the benchmarks use, by case name.

#include <colorcorrect/colorcorrect.h>

#include <string>
#include <vector>

namespace colorcorrect::bench {

struct RecordCase {
    std::string name;
    tagCOLORCORRINFO record;
};

// identity (no group active), primary (luma curve, hue, saturation and all
// three channel curves), primary-no-rgb (the channel curves neutral),
// primary-softclip (primary with soft legal-range clipping), six,
// match4 and match16 (match vectors, background included), all (every
// stage: primary, six-vector, 16 match vectors, soft legal clipping).
std::vector<RecordCase> ProcessCases();

// The primary correction of the cases above.
tagCOLORCORRINFO PrimaryRecord();
// Six-vector and match-vector stages on, with `count` match vectors (the
// background included); `variant` shifts one vector slightly so that two
// variants differ in their match record.
tagCOLORCORRINFO VectorRecord(unsigned count, int variant = 0);
// Every stage on, 16 match vectors.
tagCOLORCORRINFO AllStagesRecord(int variant = 0);

} // namespace colorcorrect::bench
