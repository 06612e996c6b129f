// The correction file: JSON and the binary record carry the same record both
// ways, and every refusal names the field and what was expected.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>

#include <colorcorrect/formats/correction_file.h>
#include "support/record_bytes.h"

using namespace colorcorrect::formats;
using colorcorrect::test::SameBytes;

namespace {

const std::string kHead = R"({"format": "colorcorrect-correction", "version": 1)";

std::string Problem(const std::string& text)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    CorrectionFormat format{};
    std::string error;
    return ParseCorrection(text.data(), text.size(), r, format, error) ? "" : error;
}

tagCOLORCORRINFO FromJson(const std::string& json)
{
    tagCOLORCORRINFO r = colorcorrect::test::JunkRecord(1);
    std::string error;
    EXPECT_TRUE(ParseCorrectionJson(json.data(), json.size(), r, error)) << error << "\n" << json;
    return r;
}

// Every control at a random value inside its file range; some vector slots
// beyond the count keep their defaults, others not.
tagCOLORCORRINFO RandomValidRecord(std::mt19937& rng)
{
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = uint32_t(pick(0, 15));
    r.Base.wRangeFlags = uint16_t(pick(0, 7));
    r.Base.bySoftY = uint8_t(pick(0, 255));
    r.Base.bySoftC = uint8_t(pick(0, 255));
    for (int16_t* c = &r.Base.sYWhite; c <= &r.Base.sBBlack; ++c)
        *c = int16_t(c == &r.Base.sHue ? pick(-256, 256) : pick(-255, 255));
    for (int s = 0; s < 6; ++s)
        for (int16_t* c : {&r.Vector6.sWhite[s], &r.Vector6.sGamma[s], &r.Vector6.sBlack[s], &r.Vector6.sHue[s],
                           &r.Vector6.sSat[s]})
            *c = int16_t(c == &r.Vector6.sHue[s] ? pick(-256, 256) : pick(-255, 255));
    r.Match.dwCount = uint32_t(pick(0, 16));
    for (tagMATCHVECTOR& m : r.Match.Vector) {
        if (pick(0, 2) == 0)
            continue;
        for (uint8_t* b : {&m.byFlags, &m.byY, &m.byYRange, &m.byHueWidth, &m.bySatWidth, &m.byYSoft, &m.byHueSoft,
                           &m.bySatSoft})
            *b = uint8_t(pick(0, 255));
        m.cU = int8_t(pick(-128, 127));
        m.cV = int8_t(pick(-128, 127));
        for (int16_t* c : {&m.sWhite, &m.sGamma, &m.sBlack, &m.sSat, &m.sUOffset, &m.sVOffset})
            *c = int16_t(pick(-255, 255));
        m.sHue = int16_t(pick(-256, 256));
    }
    return r;
}

} // namespace

TEST(CorrectionFile, RandomRecordsGoThroughJsonAndBinaryUnchanged)
{
    std::mt19937 rng(1234);
    for (int i = 0; i < 300; ++i) {
        const tagCOLORCORRINFO r = RandomValidRecord(rng);
        ASSERT_EQ(CheckCorrection(r), "");
        const std::string json = CorrectionToJson(r);
        ASSERT_TRUE(SameBytes(r, FromJson(json))) << json;
        EXPECT_EQ(CorrectionToJson(FromJson(json)), json);
        const auto bytes = CorrectionToBinary(r);
        ASSERT_EQ(std::memcmp(bytes.data(), &r, sizeof r), 0);
        tagCOLORCORRINFO back = DefaultCorrection();
        CorrectionFormat format = CorrectionFormat::Json;
        std::string error;
        ASSERT_TRUE(ParseCorrection(bytes.data(), bytes.size(), back, format, error)) << error;
        ASSERT_TRUE(SameBytes(r, back));
        EXPECT_EQ(format, CorrectionFormat::Binary);
    }
}

TEST(CorrectionFile, UnusedVectorSlotsAreKeptButTrailingDefaultsLeftOut)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.Match.dwCount = 1;
    r.Match.Vector[5].sHue = 40; // beyond the count: no effect, still part of the record
    const std::string json = CorrectionToJson(r);
    size_t entries = 0;
    for (size_t at = json.find("\"hue_width\""); at != std::string::npos; at = json.find("\"hue_width\"", at + 1))
        ++entries;
    EXPECT_EQ(entries, 6u) << json;
    EXPECT_TRUE(SameBytes(r, FromJson(json)));
}

TEST(CorrectionFile, MissingKeysKeepDefaultsAndLenientForms)
{
    const tagCOLORCORRINFO r = FromJson("\xEF\xBB\xBF \n" + kHead + R"(, "flags": {"primary": true, "clipping": true,
        "six_vector": false}, "base": {"y_gamma": -30, "hue": -2e2, "sat": 30.0, "range_flags": {"legal": true}},
        "vector6": {"cyan": {"sat": 12}}, "match": {"vectors": [{}, {"u": -5, "v": 7}]}})");
    tagCOLORCORRINFO want = DefaultCorrection();
    want.dwFlags = CC_PRIMARY | CC_CLIPPING;
    want.Base.sYGamma = -30;
    want.Base.sHue = -200;
    want.Base.sSat = 30;
    want.Base.wRangeFlags = RANGE_LEGAL;
    want.Vector6.sSat[4] = 12;
    want.Match.dwCount = 2; // the number of entries when "count" is absent
    want.Match.Vector[1].cU = -5;
    want.Match.Vector[1].cV = 7;
    EXPECT_TRUE(SameBytes(want, r));
    EXPECT_EQ(FromJson(kHead + R"(, "match": {"count": 3, "vectors": [{"sat": 4}]}})").Match.dwCount, 3u);
}

struct JsonRefusal {
    std::string text;
    std::string message;
};

const JsonRefusal kJsonRefusals[] = {
    {kHead + R"(, "base": {"y_gamma": 300}})", "base.y_gamma 300 is outside -255..255"},
    {kHead + R"(, "base": {"soft_y": 256}})", "base.soft_y 256 is outside 0..255"},
    {kHead + R"(, "vector6": {"red": {"sat": -256}}})", "vector6.red.sat -256 is outside -255..255"},
    {kHead + R"(, "vector6": {"blue": {"hue": 257}}})", "vector6.blue.hue 257 is outside -256..256"},
    {kHead + R"(, "match": {"vectors": [{}, {"u": -129}]}})", "match.vectors[1].u -129 is outside -128..127"},
    {kHead + R"(, "match": {"vectors": [{"v_offset": 256}]}})", "match.vectors[0].v_offset 256 is outside -255..255"},
    {kHead + R"(, "match": {"count": 17}})", "match.count 17 is outside 0..16"},
    {kHead + R"(, "base": {"sat": 18446744073709551615}})", "base.sat 18446744073709551615 is outside -255..255"},
    {kHead + R"(, "base": {"sat": "10"}})", "base.sat must be a whole number in -255..255, not a string"},
    {kHead + R"(, "base": {"sat": 1.5}})", "base.sat must be a whole number in -255..255, not 1.5"},
    {kHead + R"(, "flags": {"primary": 1}})", "flags.primary must be true or false, not a number"},
    {kHead + R"(, "base": []})", "base must be an object, not an array"},
    {kHead + R"(, "match": {"vectors": [1]}})", "match.vectors[0] must be an object, not a number"},
    {kHead + R"(, "base": {"y_gama": 3}})",
     "unknown key base.y_gama (known here: range_flags, soft_y, soft_c, y_white, y_gamma, y_black, hue, sat, "
     "r_white, r_gamma, r_black, g_white, g_gamma, g_black, b_white, b_gamma, b_black)"},
    {kHead + R"(, "vector6": {"orange": {}}})",
     "unknown key vector6.orange (known here: magenta, red, yellow, green, cyan, blue)"},
    {kHead + R"(, "base": {"range_flags": {"full": true}}})",
     "unknown key base.range_flags.full (known here: video_luma, legal, chroma_reduced)"},
    {kHead + R"(, "match": {"vectors": [{}, {"hue": 1, "hue": 1}]}})", "duplicate key match.vectors[1].hue"},
    {kHead + R"(, "versi\n": 1})", "unknown key versi\\x0A (known here: format, version, flags, base, vector6, match)"},
    {R"({"format": "a\r\tb", "version": 1})", "format is \"a\\r\\tb\", expected \"colorcorrect-correction\""},
    {R"({"version": 1})", "not a correction file: no \"format\" key (expected \"colorcorrect-correction\")"},
    {R"({"format": "colorcorrect-correction"})", "no \"version\" key"},
    {R"({"format": "colorcorrect-correction", "version": 2})", "version 2 is not supported (this program reads version 1)"},
    {kHead + ", \"base\": " + std::string(200, '[') + std::string(200, ']') + "}", "nested more than 32 levels deep"},
    {kHead + ",\n \"base\": {sat: 1}}",
     "not valid JSON: parse error at line 2, column 11: syntax error while parsing object key - invalid literal; "
     "last read: '\"base\": {s'; expected string literal"},
    {std::string(100, 'x'),
     "not a correction file: neither JSON (which starts with '{') nor a 564-byte binary record (this has 100 bytes)"},
    {"", "not a correction file: neither JSON (which starts with '{') nor a 564-byte binary record (this has 0 bytes)"},
};

class CorrectionJsonRefusal : public ::testing::TestWithParam<JsonRefusal> {};

TEST_P(CorrectionJsonRefusal, NamesTheFieldAndLeavesTheRecord)
{
    EXPECT_EQ(Problem(GetParam().text), GetParam().message);
    tagCOLORCORRINFO r = colorcorrect::test::JunkRecord(3);
    const tagCOLORCORRINFO before = r;
    std::string error;
    EXPECT_FALSE(ParseCorrectionJson(GetParam().text.data(), GetParam().text.size(), r, error));
    EXPECT_TRUE(SameBytes(before, r));
}

INSTANTIATE_TEST_SUITE_P(Json, CorrectionJsonRefusal, ::testing::ValuesIn(kJsonRefusals));

TEST(CorrectionFile, BinaryRecordsAreCheckedLikeJson)
{
    const std::pair<std::function<void(tagCOLORCORRINFO&)>, std::string> cases[] = {
        {[](auto& r) { r.dwSize = 500; }, "record size field is 500, expected 564"},
        {[](auto& r) { r.Base.dwSize = 40; }, "base size field is 40, expected 36"},
        {[](auto& r) { r.Vector6.dwSize = 60; }, "vector6 size field is 60, expected 64"},
        {[](auto& r) { r.Match.dwSize = 0; }, "match size field is 0, expected 456"},
        {[](auto& r) { r.Match.Vector[3].dwSize = 0; }, "match.vectors[3] size field is 0, expected 28"},
        {[](auto& r) { r.Base.sYGamma = 300; }, "base.y_gamma 300 is outside -255..255"},
        {[](auto& r) { r.Vector6.sHue[5] = -300; }, "vector6.blue.hue -300 is outside -256..256"},
        {[](auto& r) { r.Match.Vector[15].sUOffset = -256; }, "match.vectors[15].u_offset -256 is outside -255..255"},
        {[](auto& r) { r.dwFlags = 0x11; },
         "flags 0x11 has undefined bits (defined: primary 0x1, six_vector 0x2, match_vector 0x4, clipping 0x8)"},
        {[](auto& r) { r.Base.wRangeFlags = 0x8; },
         "base.range_flags 0x8 has undefined bits (defined: video_luma 0x1, legal 0x2, chroma_reduced 0x4)"},
    };
    for (const auto& [change, message] : cases) {
        tagCOLORCORRINFO r = DefaultCorrection();
        change(r);
        tagCOLORCORRINFO out = DefaultCorrection();
        std::string error;
        EXPECT_FALSE(ParseCorrectionBinary(&r, sizeof r, out, error));
        EXPECT_EQ(error, message);
    }
    tagCOLORCORRINFO out;
    CorrectionFormat format{};
    std::string error;
    EXPECT_FALSE(ParseCorrection(nullptr, 0, out, format, error));
    EXPECT_EQ(error, "not a correction file: neither JSON (which starts with '{') nor a 564-byte binary record "
                     "(this has 0 bytes)");
    EXPECT_FALSE(ParseCorrectionJson(nullptr, 0, out, error));
    EXPECT_EQ(error.rfind("not valid JSON: ", 0), 0u) << error;
}
