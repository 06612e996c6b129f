#pragma once
// The catalogue of the correction record's fields: for each one its key in the
// correction file, its byte offset, type, limits and neutral value. The file
// format, the gestures, the analyses, the engine's clamps and the browser page
// all read these limits here, so that they cannot drift apart.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "correction_records.h"

namespace colorcorrect {

// Curve, saturation and chroma offset controls: the range the table builders
// clamp to.
inline constexpr int kControlLimit = 255;
// Hue: 256 units are 180 degrees, the most the builders turn.
inline constexpr int kHueLimit = 256;
// Match vector slots of a record.
inline constexpr uint32_t kMatchVectorSlots = 16;
// Hue segments of the six-vector correction.
inline constexpr size_t kHueSegments = 6;

enum class FieldType : uint8_t { U8, I8, I16 };

// One numeric control.
struct CorrectionField {
    const char* name; // key in the correction file
    uint16_t offset;  // bytes from the start of its group's element
    FieldType type;
    int16_t min;      // limits the engine works with; a file outside them is refused
    int16_t max;
    int16_t neutral;  // the value of the default record
};

// One bit of a flag word.
struct FlagBit {
    const char* name; // key in the correction file
    uint32_t value;
};

// Fields that repeat: `count` elements `stride` bytes apart, the first at
// `offset` from the start of tagCOLORCORRINFO. An element of the six-vector
// group is one hue segment (one entry of each array), of the match group one
// tagMATCHVECTOR.
struct FieldGroup {
    const char* name; // key in the correction file
    uint16_t offset;
    uint16_t count;
    uint16_t stride;
    std::span<const CorrectionField> fields;
};

// tagBASECOLORCORRINFO apart from its size and wRangeFlags; offsets within Base.
extern const FieldGroup kBaseGroup;
// tagVECTOR6INFO, one element per hue segment; offsets of segment 0 within Vector6.
extern const FieldGroup kSegmentGroup;
// One tagMATCHVECTOR apart from its size; offsets within the vector.
extern const FieldGroup kMatchVectorGroup;

// dwFlags of tagCOLORCORRINFO (offset 4) and wRangeFlags of tagBASECOLORCORRINFO (offset 4).
std::span<const FlagBit> CorrectionFlagBits();
std::span<const FlagBit> RangeFlagBits();
// The six segments' keys, in the order of the Vector6 arrays.
std::span<const char* const> SegmentNames();

// The field of `group` called `name`, or null.
const CorrectionField* FindField(const FieldGroup& group, std::string_view name);

// The value of `field` in the element at `element`, and storing one (cut to the type).
int GetFieldValue(const void* element, const CorrectionField& field);
void SetFieldValue(void* element, const CorrectionField& field, int value);

// The field's value limited to its range.
int ClampToField(const CorrectionField& field, int64_t value);

// Element `index` of `group` within `record`.
void* GroupElement(tagCOLORCORRINFO& record, const FieldGroup& group, size_t index);
const void* GroupElement(const tagCOLORCORRINFO& record, const FieldGroup& group, size_t index);

} // namespace colorcorrect
