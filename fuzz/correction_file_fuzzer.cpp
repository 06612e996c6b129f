// The tool's correction file readers on any bytes: a refusal leaves the record
// as it was and says why in one line; '{' after a byte-order mark and spaces is
// JSON; an accepted record the engine takes, and both forms round-trip it.

#include <string>

#include <colorcorrect/formats/correction_file.h>
#include "support/fuzz_support.h"

using namespace colorcorrect::formats;
using namespace colorcorrect::fuzz;

namespace {

// A reader given a record of `fill` bytes; `back` shows a reader that writes part of it on a refusal.
template <typename Read>
bool Check(const char* reader, uint8_t fill, Read read, tagCOLORCORRINFO& record)
{
    tagCOLORCORRINFO back;
    std::memset(&record, fill, sizeof record);
    std::memset(&back, fill, sizeof back);
    std::string error;
    if (!read(record, error)) {
        FUZZ_CHECK(SameBytes(record, back) && !error.empty() && error.find('\n') == std::string::npos, "%s", reader);
        return false;
    }
    FUZZ_CHECK(CheckCorrection(record).empty(), "%s", reader);
    const std::string json = CorrectionToJson(record);
    FUZZ_CHECK(!json.empty() && json.back() == '\n' && ParseCorrectionJson(json.data(), json.size(), back, error) &&
               SameBytes(back, record), "%s: %s", reader, error.c_str());
    const auto binary = CorrectionToBinary(record);
    std::memset(&back, 0xA5, sizeof back);
    FUZZ_CHECK(ParseCorrectionBinary(binary.data(), binary.size(), back, error) && SameBytes(back, record), "%s", reader);
    CBaseColorCorrectionFilter filter;
    FUZZ_CHECK(filter.SetupFilter(record) == 1, "%s", reader);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    tagCOLORCORRINFO record;
    CorrectionFormat format = CorrectionFormat::Binary;
    if (Check("ParseCorrection", 0xC3,
              [&](tagCOLORCORRINFO& cc, std::string& e) { return ParseCorrection(data, size, cc, format, e); }, record)) {
        size_t at = size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
        while (at < size && (data[at] == ' ' || data[at] == '\t' || data[at] == '\r' || data[at] == '\n'))
            ++at;
        FUZZ_CHECK((format == CorrectionFormat::Json) == (at < size && data[at] == '{'));
    }
    Check("ParseCorrectionJson", 0x3C, [&](tagCOLORCORRINFO& cc, std::string& e) { return ParseCorrectionJson(data, size, cc, e); }, record);
    if (Check("ParseCorrectionBinary", 0x96,
              [&](tagCOLORCORRINFO& cc, std::string& e) { return ParseCorrectionBinary(data, size, cc, e); }, record))
        FUZZ_CHECK(size == kCorrectionRecordBytes && std::memcmp(&record, data, size) == 0);
    return 0;
}
