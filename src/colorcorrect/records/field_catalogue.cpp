#include "field_catalogue.h"

#include <algorithm>
#include <cstring>

namespace colorcorrect {

namespace {

constexpr int16_t C = kControlLimit;
constexpr int16_t H = kHueLimit;

constexpr CorrectionField kBaseFields[] = {
    {"soft_y", offsetof(tagBASECOLORCORRINFO, bySoftY), FieldType::U8, 0, 255, 0},
    {"soft_c", offsetof(tagBASECOLORCORRINFO, bySoftC), FieldType::U8, 0, 255, 0},
    {"y_white", offsetof(tagBASECOLORCORRINFO, sYWhite), FieldType::I16, -C, C, 0},
    {"y_gamma", offsetof(tagBASECOLORCORRINFO, sYGamma), FieldType::I16, -C, C, 0},
    {"y_black", offsetof(tagBASECOLORCORRINFO, sYBlack), FieldType::I16, -C, C, 0},
    {"hue", offsetof(tagBASECOLORCORRINFO, sHue), FieldType::I16, -H, H, 0},
    {"sat", offsetof(tagBASECOLORCORRINFO, sSat), FieldType::I16, -C, C, 0},
    {"r_white", offsetof(tagBASECOLORCORRINFO, sRWhite), FieldType::I16, -C, C, 0},
    {"r_gamma", offsetof(tagBASECOLORCORRINFO, sRGamma), FieldType::I16, -C, C, 0},
    {"r_black", offsetof(tagBASECOLORCORRINFO, sRBlack), FieldType::I16, -C, C, 0},
    {"g_white", offsetof(tagBASECOLORCORRINFO, sGWhite), FieldType::I16, -C, C, 0},
    {"g_gamma", offsetof(tagBASECOLORCORRINFO, sGGamma), FieldType::I16, -C, C, 0},
    {"g_black", offsetof(tagBASECOLORCORRINFO, sGBlack), FieldType::I16, -C, C, 0},
    {"b_white", offsetof(tagBASECOLORCORRINFO, sBWhite), FieldType::I16, -C, C, 0},
    {"b_gamma", offsetof(tagBASECOLORCORRINFO, sBGamma), FieldType::I16, -C, C, 0},
    {"b_black", offsetof(tagBASECOLORCORRINFO, sBBlack), FieldType::I16, -C, C, 0},
};

constexpr CorrectionField kSegmentFields[] = {
    {"white", offsetof(tagVECTOR6INFO, sWhite), FieldType::I16, -C, C, 0},
    {"gamma", offsetof(tagVECTOR6INFO, sGamma), FieldType::I16, -C, C, 0},
    {"black", offsetof(tagVECTOR6INFO, sBlack), FieldType::I16, -C, C, 0},
    {"hue", offsetof(tagVECTOR6INFO, sHue), FieldType::I16, -H, H, 0},
    {"sat", offsetof(tagVECTOR6INFO, sSat), FieldType::I16, -C, C, 0},
};

constexpr CorrectionField kMatchVectorFields[] = {
    {"flags", offsetof(tagMATCHVECTOR, byFlags), FieldType::U8, 0, 255, 0},
    {"y", offsetof(tagMATCHVECTOR, byY), FieldType::U8, 0, 255, 128},
    {"u", offsetof(tagMATCHVECTOR, cU), FieldType::I8, -128, 127, 0},
    {"v", offsetof(tagMATCHVECTOR, cV), FieldType::I8, -128, 127, 0},
    {"y_range", offsetof(tagMATCHVECTOR, byYRange), FieldType::U8, 0, 255, 128},
    {"hue_width", offsetof(tagMATCHVECTOR, byHueWidth), FieldType::U8, 0, 255, 14},
    {"sat_width", offsetof(tagMATCHVECTOR, bySatWidth), FieldType::U8, 0, 255, 20},
    {"y_soft", offsetof(tagMATCHVECTOR, byYSoft), FieldType::U8, 0, 255, 10},
    {"hue_soft", offsetof(tagMATCHVECTOR, byHueSoft), FieldType::U8, 0, 255, 50},
    {"sat_soft", offsetof(tagMATCHVECTOR, bySatSoft), FieldType::U8, 0, 255, 50},
    {"white", offsetof(tagMATCHVECTOR, sWhite), FieldType::I16, -C, C, 0},
    {"gamma", offsetof(tagMATCHVECTOR, sGamma), FieldType::I16, -C, C, 0},
    {"black", offsetof(tagMATCHVECTOR, sBlack), FieldType::I16, -C, C, 0},
    {"hue", offsetof(tagMATCHVECTOR, sHue), FieldType::I16, -H, H, 0},
    {"sat", offsetof(tagMATCHVECTOR, sSat), FieldType::I16, -C, C, 0},
    {"u_offset", offsetof(tagMATCHVECTOR, sUOffset), FieldType::I16, -C, C, 0},
    {"v_offset", offsetof(tagMATCHVECTOR, sVOffset), FieldType::I16, -C, C, 0},
};

constexpr FlagBit kFlagBits[] = {
    {"primary", CC_PRIMARY},
    {"six_vector", CC_SIX_VECTOR},
    {"match_vector", CC_MATCH_VECTOR},
    {"clipping", CC_CLIPPING},
};

constexpr FlagBit kRangeBits[] = {
    {"video_luma", RANGE_VIDEO_LUMA},
    {"legal", RANGE_LEGAL},
    {"chroma_reduced", RANGE_CHROMA_REDUCED},
};

constexpr const char* kSegmentNames[kHueSegments] = {"magenta", "red",  "yellow",
                                                     "green",   "cyan", "blue"};

} // namespace

const FieldGroup kBaseGroup = {"base", offsetof(tagCOLORCORRINFO, Base), 1, 0, kBaseFields};
const FieldGroup kSegmentGroup = {"vector6", offsetof(tagCOLORCORRINFO, Vector6), kHueSegments,
                                  sizeof(int16_t), kSegmentFields};
const FieldGroup kMatchVectorGroup = {
    "vectors", offsetof(tagCOLORCORRINFO, Match) + offsetof(tagMATCHVECTORINFO, Vector),
    kMatchVectorSlots, sizeof(tagMATCHVECTOR), kMatchVectorFields};

std::span<const FlagBit> CorrectionFlagBits() { return kFlagBits; }
std::span<const FlagBit> RangeFlagBits() { return kRangeBits; }
std::span<const char* const> SegmentNames() { return kSegmentNames; }

const CorrectionField* FindField(const FieldGroup& group, std::string_view name)
{
    for (const CorrectionField& f : group.fields)
        if (name == f.name)
            return &f;
    return nullptr;
}

int GetFieldValue(const void* element, const CorrectionField& field)
{
    const auto* p = static_cast<const uint8_t*>(element) + field.offset;
    switch (field.type) {
    case FieldType::U8:
        return *p;
    case FieldType::I8:
        return static_cast<int8_t>(*p);
    case FieldType::I16: {
        int16_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    }
    return 0;
}

void SetFieldValue(void* element, const CorrectionField& field, int value)
{
    auto* p = static_cast<uint8_t*>(element) + field.offset;
    if (field.type == FieldType::I16) {
        const auto v = static_cast<int16_t>(value);
        std::memcpy(p, &v, sizeof v);
    } else {
        *p = static_cast<uint8_t>(value);
    }
}

int ClampToField(const CorrectionField& field, int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, field.min, field.max));
}

void* GroupElement(tagCOLORCORRINFO& record, const FieldGroup& group, size_t index)
{
    return reinterpret_cast<uint8_t*>(&record) + group.offset + index * group.stride;
}

const void* GroupElement(const tagCOLORCORRINFO& record, const FieldGroup& group, size_t index)
{
    return reinterpret_cast<const uint8_t*>(&record) + group.offset + index * group.stride;
}

} // namespace colorcorrect
