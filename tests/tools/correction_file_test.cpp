#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include "support/record_bytes.h"

using colorcorrect::formats::CheckCorrection;
using colorcorrect::formats::CorrectionFormat;
using colorcorrect::formats::CorrectionToBinary;
using colorcorrect::formats::CorrectionToJson;
using colorcorrect::formats::DefaultCorrection;
using colorcorrect::formats::ParseCorrection;
using colorcorrect::formats::ParseCorrectionBinary;
using colorcorrect::formats::ParseCorrectionJson;
using colorcorrect::test::SameBytes;

namespace {

const std::string kHead = R"("format": "colorcorrect-correction", "version": 1)";

// The message ParseCorrection gives for `json` (empty when it is accepted).
std::string JsonError(const std::string& json)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    CorrectionFormat format{};
    std::string error;
    if (ParseCorrection(json.data(), json.size(), r, format, error))
        return {};
    return error;
}

tagCOLORCORRINFO FromJson(const std::string& json)
{
    tagCOLORCORRINFO r;
    std::memset(&r, 0xEE, sizeof r);
    std::string error;
    EXPECT_TRUE(ParseCorrectionJson(json.data(), json.size(), r, error)) << error << "\n" << json;
    return r;
}

std::string BinaryError(const tagCOLORCORRINFO& r)
{
    tagCOLORCORRINFO out = DefaultCorrection();
    std::string error;
    if (ParseCorrectionBinary(&r, sizeof r, out, error))
        return {};
    return error;
}

// A record with every control set to a random value inside its file range.
tagCOLORCORRINFO RandomValidRecord(std::mt19937& rng)
{
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = static_cast<uint32_t>(pick(0, 15));
    r.Base.wRangeFlags = static_cast<uint16_t>(pick(0, 7));
    r.Base.bySoftY = static_cast<uint8_t>(pick(0, 255));
    r.Base.bySoftC = static_cast<uint8_t>(pick(0, 255));
    int16_t* controls = &r.Base.sYWhite;
    for (int i = 0; i < 14; ++i)
        controls[i] = static_cast<int16_t>(pick(-255, 255));
    r.Base.sHue = static_cast<int16_t>(pick(-256, 256));
    for (int s = 0; s < 6; ++s) {
        r.Vector6.sWhite[s] = static_cast<int16_t>(pick(-255, 255));
        r.Vector6.sGamma[s] = static_cast<int16_t>(pick(-255, 255));
        r.Vector6.sBlack[s] = static_cast<int16_t>(pick(-255, 255));
        r.Vector6.sHue[s] = static_cast<int16_t>(pick(-256, 256));
        r.Vector6.sSat[s] = static_cast<int16_t>(pick(-255, 255));
    }
    r.Match.dwCount = static_cast<uint32_t>(pick(0, 16));
    // Some slots beyond the count keep their defaults, others not.
    for (int i = 0; i < 16; ++i) {
        if (pick(0, 2) == 0)
            continue;
        tagMATCHVECTOR& m = r.Match.Vector[i];
        m.byFlags = static_cast<uint8_t>(pick(0, 255));
        m.byY = static_cast<uint8_t>(pick(0, 255));
        m.cU = static_cast<int8_t>(pick(-128, 127));
        m.cV = static_cast<int8_t>(pick(-128, 127));
        m.byYRange = static_cast<uint8_t>(pick(0, 255));
        m.byHueWidth = static_cast<uint8_t>(pick(0, 255));
        m.bySatWidth = static_cast<uint8_t>(pick(0, 255));
        m.byYSoft = static_cast<uint8_t>(pick(0, 255));
        m.byHueSoft = static_cast<uint8_t>(pick(0, 255));
        m.bySatSoft = static_cast<uint8_t>(pick(0, 255));
        m.sWhite = static_cast<int16_t>(pick(-255, 255));
        m.sGamma = static_cast<int16_t>(pick(-255, 255));
        m.sBlack = static_cast<int16_t>(pick(-255, 255));
        m.sHue = static_cast<int16_t>(pick(-256, 256));
        m.sSat = static_cast<int16_t>(pick(-255, 255));
        m.sUOffset = static_cast<int16_t>(pick(-255, 255));
        m.sVOffset = static_cast<int16_t>(pick(-255, 255));
    }
    return r;
}

} // namespace

// ---- lossless both ways --------------------------------------------------------

TEST(CorrectionFileRoundTrip, DefaultRecordThroughJson)
{
    const tagCOLORCORRINFO def = DefaultCorrection();
    EXPECT_TRUE(SameBytes(def, FromJson(CorrectionToJson(def))));
}

TEST(CorrectionFileRoundTrip, RandomRecordsThroughJsonAndBinary)
{
    std::mt19937 rng(1234);
    for (int i = 0; i < 300; ++i) {
        const tagCOLORCORRINFO r = RandomValidRecord(rng);
        ASSERT_EQ(CheckCorrection(r), "");
        const std::string json = CorrectionToJson(r);
        ASSERT_TRUE(SameBytes(r, FromJson(json))) << json;

        const auto bytes = CorrectionToBinary(r);
        tagCOLORCORRINFO back = DefaultCorrection();
        std::string error;
        ASSERT_TRUE(ParseCorrectionBinary(bytes.data(), bytes.size(), back, error)) << error;
        ASSERT_TRUE(SameBytes(r, back));
        // JSON -> record -> JSON gives the same text.
        EXPECT_EQ(CorrectionToJson(FromJson(json)), json);
    }
}

TEST(CorrectionFileRoundTrip, BinaryIsTheRecordsBytes)
{
    std::mt19937 rng(7);
    const tagCOLORCORRINFO r = RandomValidRecord(rng);
    const auto bytes = CorrectionToBinary(r);
    ASSERT_EQ(bytes.size(), 564u);
    EXPECT_EQ(std::memcmp(bytes.data(), &r, 564), 0);
    EXPECT_EQ(bytes[0], 0x34); // 564 = 0x234, little-endian
    EXPECT_EQ(bytes[1], 0x02);
}

TEST(CorrectionFileRoundTrip, UnusedVectorSlotsAreKeptButTrailingDefaultsLeftOut)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.Match.dwCount = 1;
    r.Match.Vector[5].sHue = 40; // beyond the count: no effect, still part of the record
    const std::string json = CorrectionToJson(r);
    EXPECT_NE(json.find("\"count\": 1"), std::string::npos);
    // Entries 0..5 are written, 6..15 (fresh) are not.
    size_t entries = 0;
    for (size_t at = json.find("\"hue_width\""); at != std::string::npos; at = json.find("\"hue_width\"", at + 1))
        ++entries;
    EXPECT_EQ(entries, 6u);
    EXPECT_TRUE(SameBytes(r, FromJson(json)));
}

TEST(CorrectionFileRoundTrip, KeysAreWrittenInRecordOrder)
{
    const std::string json = CorrectionToJson(DefaultCorrection());
    const char* keys[] = {"\"format\"", "\"version\"", "\"flags\"", "\"base\"", "\"range_flags\"", "\"soft_y\"",
                          "\"soft_c\"", "\"y_white\"", "\"y_gamma\"", "\"y_black\"", "\"hue\"", "\"sat\"",
                          "\"r_white\"", "\"b_black\"", "\"vector6\"", "\"magenta\"", "\"red\"", "\"yellow\"",
                          "\"green\"", "\"cyan\"", "\"blue\"", "\"match\"", "\"count\"", "\"vectors\""};
    size_t last = 0;
    for (const char* key : keys) {
        const size_t at = json.find(key, last);
        ASSERT_NE(at, std::string::npos) << key << " missing or out of order in\n" << json;
        last = at;
    }
}

// ---- reading JSON ----------------------------------------------------------------

TEST(CorrectionFileJson, FormatAndVersionAloneGiveTheDefaultRecord)
{
    EXPECT_TRUE(SameBytes(DefaultCorrection(), FromJson("{" + kHead + "}")));
}

TEST(CorrectionFileJson, MissingKeysKeepDefaults)
{
    const tagCOLORCORRINFO r = FromJson("{" + kHead +
                                        R"(, "flags": {"primary": true, "clipping": true},
        "base": {"y_gamma": -30, "hue": 256, "range_flags": {"legal": true}, "soft_c": 9},
        "vector6": {"cyan": {"sat": 12}},
        "match": {"vectors": [{}, {"u": -5, "v": 7}]}})");
    tagCOLORCORRINFO want = DefaultCorrection();
    want.dwFlags = CC_PRIMARY | CC_CLIPPING;
    want.Base.sYGamma = -30;
    want.Base.sHue = 256;
    want.Base.wRangeFlags = RANGE_LEGAL;
    want.Base.bySoftC = 9;
    want.Vector6.sSat[4] = 12;
    want.Match.dwCount = 2; // the number of entries when "count" is absent
    want.Match.Vector[1].cU = -5;
    want.Match.Vector[1].cV = 7;
    EXPECT_TRUE(SameBytes(want, r));
}

TEST(CorrectionFileJson, ExplicitCountMayDifferFromTheEntries)
{
    const tagCOLORCORRINFO r = FromJson("{" + kHead + R"(, "match": {"count": 3, "vectors": [{"sat": 4}]}})");
    EXPECT_EQ(r.Match.dwCount, 3u);
    EXPECT_EQ(r.Match.Vector[0].sSat, 4);
    EXPECT_EQ(r.Match.Vector[2].byHueWidth, 14); // a default vector
}

TEST(CorrectionFileJson, FalseSwitchesClearBits)
{
    const tagCOLORCORRINFO r = FromJson(
        "{" + kHead + R"(, "flags": {"primary": true, "six_vector": false, "match_vector": true, "clipping": false}})");
    EXPECT_EQ(r.dwFlags, CC_PRIMARY | CC_MATCH_VECTOR);
}

TEST(CorrectionFileJson, WholeNumbersWrittenWithAFractionAreAccepted)
{
    EXPECT_EQ(FromJson("{" + kHead + R"(, "base": {"sat": 30.0, "hue": -2e2}})").Base.sSat, 30);
    EXPECT_EQ(FromJson("{" + kHead + R"(, "base": {"hue": -2e2}})").Base.sHue, -200);
}

TEST(CorrectionFileJson, ByteOrderMarkAndWhiteSpaceBeforeTheObject)
{
    const std::string json = "\xEF\xBB\xBF \n\t{" + kHead + "}";
    tagCOLORCORRINFO r = DefaultCorrection();
    CorrectionFormat format = CorrectionFormat::Binary;
    std::string error;
    ASSERT_TRUE(ParseCorrection(json.data(), json.size(), r, format, error)) << error;
    EXPECT_EQ(format, CorrectionFormat::Json);
}

TEST(CorrectionFileJson, OutOfRangeValuesNameFieldAndRange)
{
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"y_gamma": 300}})"), "base.y_gamma 300 is outside -255..255");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"hue": -257}})"), "base.hue -257 is outside -256..256");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"soft_y": 256}})"), "base.soft_y 256 is outside 0..255");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "vector6": {"red": {"sat": -256}}})"),
              "vector6.red.sat -256 is outside -255..255");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "match": {"vectors": [{}, {"u": -129}]}})"),
              "match.vectors[1].u -129 is outside -128..127");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "match": {"vectors": [{"v_offset": 256}]}})"),
              "match.vectors[0].v_offset 256 is outside -255..255");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "match": {"count": 17}})"), "match.count 17 is outside 0..16");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"sat": 18446744073709551615}})"),
              "base.sat 18446744073709551615 is outside -255..255");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"sat": 1e30}})"), "base.sat 1e+30 is outside -255..255");
}

TEST(CorrectionFileJson, WrongTypesNameFieldAndExpectation)
{
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"sat": "10"}})"),
              "base.sat must be a whole number in -255..255, not a string");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"sat": 1.5}})"),
              "base.sat must be a whole number in -255..255, not 1.5");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"sat": null}})"),
              "base.sat must be a whole number in -255..255, not null");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "flags": {"primary": 1}})"),
              "flags.primary must be true or false, not a number");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": []})"), "base must be an object, not an array");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "match": {"vectors": {}}})"),
              "match.vectors must be an array, not an object");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "match": {"vectors": [1]}})"),
              "match.vectors[0] must be an object, not a number");
}

TEST(CorrectionFileJson, UnknownKeysAreRefusedWithTheKnownOnes)
{
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"y_gama": 3}})"),
              "unknown key base.y_gama (known here: range_flags, soft_y, soft_c, y_white, y_gamma, y_black, "
              "hue, sat, r_white, r_gamma, r_black, g_white, g_gamma, g_black, b_white, b_gamma, b_black)");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "look": 1})"),
              "unknown key look (known here: format, version, flags, base, vector6, match)");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "vector6": {"orange": {}}})"),
              "unknown key vector6.orange (known here: magenta, red, yellow, green, cyan, blue)");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"range_flags": {"full": true}}})"),
              "unknown key base.range_flags.full (known here: video_luma, legal, chroma_reduced)");
}

TEST(CorrectionFileJson, DuplicateKeysAreRefused)
{
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"sat": 1, "sat": 2}})"), "duplicate key base.sat");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "match": {"vectors": [{}, {"hue": 1, "hue": 1}]}})"),
              "duplicate key match.vectors[1].hue");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "version": 1})"), "duplicate key version");
}

// Keys and values from the file may hold control characters; the message
// shows them escaped so that it stays one line.
TEST(CorrectionFileJson, ControlCharactersInKeysAndValuesKeepTheMessageOneLine)
{
    EXPECT_EQ(JsonError("{" + kHead + R"(, "versi\n": 1})"),
              "unknown key versi\\x0A (known here: format, version, flags, base, vector6, match)");
    EXPECT_EQ(JsonError("{" + kHead + R"(, "base": {"s\u0001at": 1}})"),
              "unknown key base.s\\x01at (known here: range_flags, soft_y, soft_c, y_white, y_gamma, "
              "y_black, hue, sat, r_white, r_gamma, r_black, g_white, g_gamma, g_black, b_white, "
              "b_gamma, b_black)");
    // Values are quoted as JSON strings, escapes and all.
    EXPECT_EQ(JsonError(R"({"format": "a\r\tb", "version": 1})"),
              "format is \"a\\r\\tb\", expected \"colorcorrect-correction\"");
}

TEST(CorrectionFileJson, FormatAndVersionAreChecked)
{
    EXPECT_EQ(JsonError(R"({"version": 1})"),
              "not a correction file: no \"format\" key (expected \"colorcorrect-correction\")");
    EXPECT_EQ(JsonError(R"({"format": "look", "version": 1})"),
              "format is \"look\", expected \"colorcorrect-correction\"");
    EXPECT_EQ(JsonError(R"({"format": "colorcorrect-correction"})"), "no \"version\" key");
    EXPECT_EQ(JsonError(R"({"format": "colorcorrect-correction", "version": 2})"),
              "version 2 is not supported (this program reads version 1)");
}

TEST(CorrectionFileJson, SyntaxErrorsSayWhere)
{
    const std::string error = JsonError("{" + kHead + ",\n \"base\": {sat: 1}}");
    EXPECT_EQ(error.rfind("not valid JSON: parse error at line 2, column", 0), 0u) << error;
}

TEST(CorrectionFileJson, DeepNestingIsRefused)
{
    const std::string json = "{" + kHead + ", \"base\": " + std::string(200, '[') + std::string(200, ']') + "}";
    EXPECT_EQ(JsonError(json), "nested more than 32 levels deep");
}

TEST(CorrectionFileJson, TooLargeIsRefusedBeforeParsing)
{
    const std::string json = "{" + kHead + "," + std::string(2 << 20, ' ') + "}";
    EXPECT_EQ(JsonError(json).rfind("larger than", 0), 0u);
}

TEST(CorrectionFileJson, RecordUnchangedOnFailure)
{
    tagCOLORCORRINFO r = colorcorrect::test::JunkRecord(3);
    const tagCOLORCORRINFO before = r;
    const std::string json = "{" + kHead + R"(, "base": {"sat": 1000}})";
    std::string error;
    EXPECT_FALSE(ParseCorrectionJson(json.data(), json.size(), r, error));
    EXPECT_TRUE(SameBytes(before, r));
}

// ---- reading binary -----------------------------------------------------------

TEST(CorrectionFileBinary, SizeOfTheFileIsChecked)
{
    const tagCOLORCORRINFO r = DefaultCorrection();
    tagCOLORCORRINFO out = DefaultCorrection();
    std::string error;
    EXPECT_FALSE(ParseCorrectionBinary(&r, 563, out, error));
    EXPECT_EQ(error, "a binary correction record has 564 bytes, this has 563 (truncated?)");
    std::vector<uint8_t> longer(565, 0);
    std::memcpy(longer.data(), &r, 564);
    EXPECT_FALSE(ParseCorrectionBinary(longer.data(), longer.size(), out, error));
    EXPECT_EQ(error, "a binary correction record has 564 bytes, this has 565");
}

TEST(CorrectionFileBinary, SizeFieldsAreChecked)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwSize = 500;
    EXPECT_EQ(BinaryError(r), "record size field is 500, expected 564");
    r = DefaultCorrection();
    r.Base.dwSize = 40;
    EXPECT_EQ(BinaryError(r), "base size field is 40, expected 36");
    r = DefaultCorrection();
    r.Vector6.dwSize = 60;
    EXPECT_EQ(BinaryError(r), "vector6 size field is 60, expected 64");
    r = DefaultCorrection();
    r.Match.dwSize = 0;
    EXPECT_EQ(BinaryError(r), "match size field is 0, expected 456");
    r = DefaultCorrection();
    r.Match.Vector[3].dwSize = 0;
    EXPECT_EQ(BinaryError(r), "match.vectors[3] size field is 0, expected 28");
}

TEST(CorrectionFileBinary, ValuesAreCheckedLikeJson)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.Base.sYGamma = 300;
    EXPECT_EQ(BinaryError(r), "base.y_gamma 300 is outside -255..255");
    r = DefaultCorrection();
    r.Vector6.sHue[5] = -300;
    EXPECT_EQ(BinaryError(r), "vector6.blue.hue -300 is outside -256..256");
    r = DefaultCorrection();
    r.Match.dwCount = 17;
    EXPECT_EQ(BinaryError(r), "match.count 17 is outside 0..16");
    r = DefaultCorrection();
    r.Match.Vector[15].sUOffset = -256; // an unused slot is checked as well
    EXPECT_EQ(BinaryError(r), "match.vectors[15].u_offset -256 is outside -255..255");
}

TEST(CorrectionFileBinary, UndefinedBitsAreRefused)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = 0x11;
    EXPECT_EQ(BinaryError(r),
              "flags 0x11 has undefined bits (defined: primary 0x1, six_vector 0x2, match_vector 0x4, clipping 0x8)");
    r = DefaultCorrection();
    r.Base.wRangeFlags = 0x8;
    EXPECT_EQ(BinaryError(r), "base.range_flags 0x8 has undefined bits (defined: video_luma 0x1, legal 0x2, "
                              "chroma_reduced 0x4)");
}

TEST(CorrectionFileBinary, FormIsRecognisedByContent)
{
    const auto bytes = CorrectionToBinary(DefaultCorrection());
    tagCOLORCORRINFO r;
    CorrectionFormat format = CorrectionFormat::Json;
    std::string error;
    ASSERT_TRUE(ParseCorrection(bytes.data(), bytes.size(), r, format, error)) << error;
    EXPECT_EQ(format, CorrectionFormat::Binary);

    EXPECT_FALSE(ParseCorrection(bytes.data(), 100, r, format, error));
    EXPECT_EQ(error, "not a correction file: neither JSON (which starts with '{') nor a 564-byte binary record "
                     "(this has 100 bytes)");
    EXPECT_FALSE(ParseCorrection(nullptr, 0, r, format, error));
    EXPECT_FALSE(error.empty());
}

// ---- arbitrary bytes ----------------------------------------------------------

TEST(CorrectionFileRobustness, RandomBytesNeverCrashAndAlwaysExplain)
{
    std::mt19937 rng(99);
    for (int i = 0; i < 2000; ++i) {
        const size_t size = i % 3 == 0 ? 564 : std::uniform_int_distribution<size_t>(0, 700)(rng);
        std::vector<uint8_t> bytes(size);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(rng());
        if (i % 2 == 0 && size >= 4) { // make some look like records
            const uint32_t s = 564;
            std::memcpy(bytes.data(), &s, 4);
        }
        tagCOLORCORRINFO r;
        CorrectionFormat format{};
        std::string error;
        if (!ParseCorrection(bytes.data(), bytes.size(), r, format, error)) {
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST(CorrectionFileRobustness, MutatedJsonNeverCrashes)
{
    std::mt19937 rng(5);
    tagCOLORCORRINFO base = RandomValidRecord(rng);
    base.Match.dwCount = 3;
    const std::string json = CorrectionToJson(base);
    for (int i = 0; i < 1500; ++i) {
        std::string mutated = json;
        const int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng() % mutated.size();
            switch (rng() % 3) {
            case 0:
                mutated[at] = static_cast<char>(rng());
                break;
            case 1:
                mutated.erase(at, 1 + rng() % 8);
                break;
            default:
                mutated.insert(at, 1, "{}[]\",:-09e."[rng() % 12]);
                break;
            }
            if (mutated.empty())
                mutated = "{";
        }
        tagCOLORCORRINFO r;
        std::string error;
        if (ParseCorrectionJson(mutated.data(), mutated.size(), r, error)) {
            EXPECT_EQ(CheckCorrection(r), "") << mutated;
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}
