// The command-line tool's correction file reader on arbitrary bytes, through
// each of its entry points (either form, JSON alone, binary alone).
//
// Promises checked:
//  - a refusal leaves the record as it was and says why (a non-empty,
//    one-line message);
//  - an accepted record passes CheckCorrection, and both forms written from
//    it read back to exactly the same 564 bytes;
//  - the form found matches the first character (after a byte-order mark and
//    white space): '{' is JSON, anything else binary;
//  - the record set up through the engine is accepted (the readers refuse
//    everything the engine would clamp or ignore).

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <colorcorrect/formats/correction_file.h>

#include "support/fuzz_check.h"

using namespace colorcorrect::formats;

namespace {

bool SameBytes(const tagCOLORCORRINFO& a, const tagCOLORCORRINFO& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A record whose every byte is `fill`, so that a reader that writes only some
// of the record on a refusal is seen.
tagCOLORCORRINFO Sentinel(uint8_t fill)
{
    tagCOLORCORRINFO cc;
    std::memset(&cc, fill, sizeof cc);
    return cc;
}

void CheckRefusal(bool ok, const tagCOLORCORRINFO& record, uint8_t fill, const std::string& error,
                  const char* reader)
{
    if (ok)
        return;
    FUZZ_CHECK(SameBytes(record, Sentinel(fill)), "%s changed the record when it refused", reader);
    FUZZ_CHECK(!error.empty(), "%s refused without a message", reader);
    FUZZ_CHECK(error.find('\n') == std::string::npos, "%s gave a message of several lines: %s",
               reader, error.c_str());
}

void CheckAccepted(const tagCOLORCORRINFO& record, const char* reader)
{
    const std::string why = CheckCorrection(record);
    FUZZ_CHECK(why.empty(), "%s accepted a record CheckCorrection refuses: %s", reader,
               why.c_str());

    const std::string json = CorrectionToJson(record);
    FUZZ_CHECK(!json.empty() && json.back() == '\n', "the JSON form does not end in a newline");
    tagCOLORCORRINFO back = Sentinel(0x5A);
    std::string error;
    FUZZ_CHECK(ParseCorrectionJson(json.data(), json.size(), back, error),
               "the JSON written from an accepted record is refused: %s", error.c_str());
    FUZZ_CHECK(SameBytes(back, record), "the JSON form does not read back to the same bytes");

    const auto binary = CorrectionToBinary(record);
    back = Sentinel(0xA5);
    FUZZ_CHECK(ParseCorrectionBinary(binary.data(), binary.size(), back, error),
               "the binary written from an accepted record is refused: %s", error.c_str());
    FUZZ_CHECK(SameBytes(back, record), "the binary form does not read back to the same bytes");

    // The engine takes every record the files can hold.
    CBaseColorCorrectionFilter filter;
    FUZZ_CHECK(filter.SetupFilter(record) == 1, "the engine refuses a record %s accepted", reader);
}

// Whether the buffer is JSON by the documented rule.
bool LooksLikeJson(const uint8_t* data, size_t size)
{
    size_t at = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        at = 3;
    while (at < size && (data[at] == ' ' || data[at] == '\t' || data[at] == '\r' ||
                         data[at] == '\n'))
        ++at;
    return at < size && data[at] == '{';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string error;

    tagCOLORCORRINFO record = Sentinel(0xC3);
    CorrectionFormat format = CorrectionFormat::Binary;
    bool ok = ParseCorrection(data, size, record, format, error);
    CheckRefusal(ok, record, 0xC3, error, "ParseCorrection");
    if (ok) {
        const bool json = LooksLikeJson(data, size);
        FUZZ_CHECK((format == CorrectionFormat::Json) == json,
                   "ParseCorrection took a %s buffer for %s", json ? "JSON" : "binary",
                   format == CorrectionFormat::Json ? "JSON" : "binary");
        CheckAccepted(record, "ParseCorrection");
    }

    error.clear();
    tagCOLORCORRINFO jsonRecord = Sentinel(0x3C);
    ok = ParseCorrectionJson(data, size, jsonRecord, error);
    CheckRefusal(ok, jsonRecord, 0x3C, error, "ParseCorrectionJson");
    if (ok)
        CheckAccepted(jsonRecord, "ParseCorrectionJson");

    error.clear();
    tagCOLORCORRINFO binaryRecord = Sentinel(0x96);
    ok = ParseCorrectionBinary(data, size, binaryRecord, error);
    CheckRefusal(ok, binaryRecord, 0x96, error, "ParseCorrectionBinary");
    if (ok) {
        FUZZ_CHECK(size == kCorrectionRecordBytes, "ParseCorrectionBinary accepted %zu bytes",
                   size);
        FUZZ_CHECK(std::memcmp(&binaryRecord, data, size) == 0,
                   "the binary reader's record is not the bytes it read");
        CheckAccepted(binaryRecord, "ParseCorrectionBinary");
    }
    return 0;
}
