#pragma once
// Correction files: a correction record (tagCOLORCORRINFO) as JSON text or as
// its 564 binary bytes. Both forms hold exactly the same information: every
// record these readers accept converts to the other form and back to the same
// bytes. The JSON form is described in docs/correction-file.md.
//
// The readers take a byte buffer of any content and never crash; every
// refusal comes with a one-line message that names the field and, for a value
// out of range, the allowed range, e.g. "base.y_gamma 300 is outside
// -255..255". Callers put the file name in front.
//
// Beyond the record's own size fields, the readers refuse what the engine
// would only clamp or ignore, so that a file means exactly what it says:
// controls outside the range the engine uses, undefined flag bits and more
// than sixteen match vectors.

#include <colorcorrect/colorcorrect.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace colorcorrect::formats {

enum class CorrectionFormat { Json, Binary };

// The "format" value every JSON correction file carries, and the version of
// the layout this program reads and writes.
inline constexpr const char* kCorrectionFormatName = "colorcorrect-correction";
inline constexpr int kCorrectionFormatVersion = 1;
// Correction files larger than this are refused before parsing.
inline constexpr size_t kMaxCorrectionFileBytes = size_t{1} << 20;
// Size of the binary form.
inline constexpr size_t kCorrectionRecordBytes = sizeof(tagCOLORCORRINFO);

// Reads a correction in either form. A buffer whose first character (after
// an optional UTF-8 byte-order mark and white space) is '{' is JSON;
// anything else is taken for the binary form. On success `record` holds the
// correction and `format` the form found; on failure `record` is unchanged
// and `error` says why. Any size and content is safe.
bool ParseCorrection(const void* data, size_t size, tagCOLORCORRINFO& record,
                     CorrectionFormat& format, std::string& error) noexcept;

// The JSON form alone. Missing keys take the values of a default record
// (tagCOLORCORRINFO::Init); "format" and "version" are required.
bool ParseCorrectionJson(const void* data, size_t size, tagCOLORCORRINFO& record,
                         std::string& error) noexcept;

// The binary form alone: exactly 564 bytes with correct size fields, then the
// checks of CheckCorrection.
bool ParseCorrectionBinary(const void* data, size_t size, tagCOLORCORRINFO& record,
                           std::string& error) noexcept;

// Empty when the record is one the files can hold; otherwise the reason, in
// the JSON field names ("match.vectors[2].hue_width ...").
std::string CheckCorrection(const tagCOLORCORRINFO& record);

// The JSON text of a record that passes CheckCorrection, ending in a newline.
// Match vector slots from the count on are written only up to the last one
// that differs from a freshly initialised vector, so nothing is lost.
std::string CorrectionToJson(const tagCOLORCORRINFO& record);

// The 564 bytes of the binary form (little-endian, as the record is laid out).
std::array<uint8_t, kCorrectionRecordBytes> CorrectionToBinary(const tagCOLORCORRINFO& record);

// The form a file name asks for: binary when it ends in .ccr or .bin (any
// case), JSON otherwise ("-" included).
CorrectionFormat CorrectionFormatForPath(const std::string& path);

// A default record: Init(564).
tagCOLORCORRINFO DefaultCorrection();

} // namespace colorcorrect::formats
