#pragma once
// Random correction records for tests that compare two ways of computing the
// same thing: every group, controls inside and far outside their ranges,
// match vectors with degenerate widths and softness.

#include <colorcorrect/colorcorrect.h>

#include <random>

namespace colorcorrect::test {

// A well-formed record (size fields right, Match.dwCount 0..16) with random
// flags and random contents. About one control in eight lies outside
// -255..255 (anywhere in the int16 range).
tagCOLORCORRINFO RandomRecord(std::mt19937& rng);

// Replaces the groups of cc at random: each of the flags, the base record,
// the six-vector record and the match record changes with probability
// `chance`. Keeps the record well-formed.
void MutateRecord(tagCOLORCORRINFO& cc, std::mt19937& rng, double chance);

} // namespace colorcorrect::test
