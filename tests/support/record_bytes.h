#pragma once
// Byte-level helpers for tests of the correction records: comparisons that
// report the first differing byte with its offset, the record field it belongs
// to and both values, and fillers that put recognisable junk into a record.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace colorcorrect::test {

// Where byte `offset` of a tagCOLORCORRINFO lies: its group and the offset
// inside it, e.g. "Match.Vector[2]+13".
std::string ColorCorrFieldAt(std::size_t offset);

// Compares `size` bytes. On a mismatch the message names the first differing
// offset (and, when `describe` is given, its field), the expected and actual
// byte and how many bytes differ in all.
::testing::AssertionResult BytesEqual(const void* expected, const void* actual, std::size_t size,
                                      std::string (*describe)(std::size_t) = nullptr);

// All 564 bytes of two correction records, reported by field name.
::testing::AssertionResult SameBytes(const tagCOLORCORRINFO& expected, const tagCOLORCORRINFO& actual);

// Fills `size` bytes with a pattern of the position and `seed`: no byte is 0,
// and fillings with seeds that differ modulo 255 differ in every byte.
void FillJunk(void* data, std::size_t size, unsigned seed);

// A correction record full of junk, size fields included.
tagCOLORCORRINFO JunkRecord(unsigned seed);

// A default record: Init(564) on a junk-filled one.
tagCOLORCORRINFO DefaultRecord();

} // namespace colorcorrect::test
