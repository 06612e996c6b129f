#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

using namespace colorcorrect;

namespace {

struct Expected {
    const FieldGroup* group;
    const char* name;
    size_t offset; // offsetof the record's own member
};

#define BASE(name, member) {&kBaseGroup, name, offsetof(tagBASECOLORCORRINFO, member)}
#define SEG(name, member) {&kSegmentGroup, name, offsetof(tagVECTOR6INFO, member)}
#define VEC(name, member) {&kMatchVectorGroup, name, offsetof(tagMATCHVECTOR, member)}

const Expected kExpected[] = {
    BASE("soft_y", bySoftY), BASE("soft_c", bySoftC), BASE("y_white", sYWhite),
    BASE("y_gamma", sYGamma), BASE("y_black", sYBlack), BASE("hue", sHue), BASE("sat", sSat),
    BASE("r_white", sRWhite), BASE("r_gamma", sRGamma), BASE("r_black", sRBlack),
    BASE("g_white", sGWhite), BASE("g_gamma", sGGamma), BASE("g_black", sGBlack),
    BASE("b_white", sBWhite), BASE("b_gamma", sBGamma), BASE("b_black", sBBlack),
    SEG("white", sWhite), SEG("gamma", sGamma), SEG("black", sBlack), SEG("hue", sHue),
    SEG("sat", sSat),
    VEC("flags", byFlags), VEC("y", byY), VEC("u", cU), VEC("v", cV), VEC("y_range", byYRange),
    VEC("hue_width", byHueWidth), VEC("sat_width", bySatWidth), VEC("y_soft", byYSoft),
    VEC("hue_soft", byHueSoft), VEC("sat_soft", bySatSoft), VEC("white", sWhite),
    VEC("gamma", sGamma), VEC("black", sBlack), VEC("hue", sHue), VEC("sat", sSat),
    VEC("u_offset", sUOffset), VEC("v_offset", sVOffset),
};

const FieldGroup* const kGroups[] = {&kBaseGroup, &kSegmentGroup, &kMatchVectorGroup};

} // namespace

TEST(FieldCatalogue, OffsetsAgreeWithTheRecordAndEveryFieldIsListed)
{
    size_t listed = 0;
    for (const FieldGroup* g : kGroups)
        listed += g->fields.size();
    EXPECT_EQ(listed, std::size(kExpected));
    for (const Expected& e : kExpected) {
        const CorrectionField* f = FindField(*e.group, e.name);
        ASSERT_NE(f, nullptr) << e.group->name << "." << e.name;
        EXPECT_EQ(f->offset, e.offset) << e.group->name << "." << e.name;
    }
}

TEST(FieldCatalogue, NeutralValuesAreTheDefaultRecordsAndLimitsRoundTrip)
{
    tagCOLORCORRINFO def{};
    def.Init(sizeof def);
    for (const FieldGroup* g : kGroups)
        for (size_t i = 0; i < g->count; ++i)
            for (const CorrectionField& f : g->fields) {
                SCOPED_TRACE(std::string(g->name) + "[" + std::to_string(i) + "]." + f.name);
                EXPECT_EQ(FindField(*g, f.name), &f);
                EXPECT_EQ(GetFieldValue(GroupElement(def, *g, i), f), f.neutral);
                tagCOLORCORRINFO r = def;
                for (const int v : {int{f.min}, int{f.max}}) {
                    SetFieldValue(GroupElement(r, *g, i), f, v);
                    EXPECT_EQ(GetFieldValue(GroupElement(r, *g, i), f), v);
                }
                EXPECT_EQ(ClampToField(f, f.max + 1000LL), f.max);
            }
}
