#include "correction_file.h"

#include <nlohmann/json.hpp>

#include <bit>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <set>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "the binary correction record is little-endian and copied as it lies in memory");

namespace colorcorrect::formats {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// The fields, their keys and their limits come from the catalogue.
using colorcorrect::CorrectionField;
using colorcorrect::FieldGroup;
using colorcorrect::FlagBit;
using Bits = std::span<const FlagBit>;

constexpr uint32_t kMaxVectors = colorcorrect::kMatchVectorSlots;

std::string RangeText(int min, int max)
{
    return std::to_string(min) + ".." + std::to_string(max);
}

std::string OutsideText(const std::string& path, long long value, int min, int max)
{
    return path + " " + std::to_string(value) + " is outside " + RangeText(min, max);
}

std::string Hex(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

std::string BitsText(Bits bits)
{
    std::string text;
    for (size_t i = 0; i < bits.size(); ++i) {
        if (i != 0)
            text += ", ";
        text += std::string(bits[i].name) + " " + Hex(bits[i].value);
    }
    return text;
}

uint32_t AllBits(Bits bits)
{
    uint32_t all = 0;
    for (const FlagBit& b : bits)
        all |= b.value;
    return all;
}

std::string VectorPath(size_t i)
{
    return "match.vectors[" + std::to_string(i) + "]";
}

// ---- checks shared by both readers ------------------------------------------

std::string CheckSizes(const tagCOLORCORRINFO& r)
{
    auto wrong = [](const char* what, uint32_t got, uint32_t want) {
        return std::string(what) + " size field is " + std::to_string(got) + ", expected " +
               std::to_string(want);
    };
    if (r.dwSize != sizeof(tagCOLORCORRINFO))
        return wrong("record", r.dwSize, sizeof(tagCOLORCORRINFO));
    if (r.Base.dwSize != sizeof(tagBASECOLORCORRINFO))
        return wrong("base", r.Base.dwSize, sizeof(tagBASECOLORCORRINFO));
    if (r.Vector6.dwSize != sizeof(tagVECTOR6INFO))
        return wrong("vector6", r.Vector6.dwSize, sizeof(tagVECTOR6INFO));
    if (r.Match.dwSize != sizeof(tagMATCHVECTORINFO))
        return wrong("match", r.Match.dwSize, sizeof(tagMATCHVECTORINFO));
    for (size_t i = 0; i < kMaxVectors; ++i)
        if (r.Match.Vector[i].dwSize != sizeof(tagMATCHVECTOR))
            return wrong(VectorPath(i).c_str(), r.Match.Vector[i].dwSize, sizeof(tagMATCHVECTOR));
    return {};
}

// The first field of `group` outside its limits, or "".
std::string CheckGroup(const tagCOLORCORRINFO& r, const FieldGroup& group,
                       std::string (*elementPath)(size_t))
{
    for (size_t i = 0; i < group.count; ++i)
        for (const CorrectionField& f : group.fields) {
            const int v = colorcorrect::GetFieldValue(colorcorrect::GroupElement(r, group, i), f);
            if (v < f.min || v > f.max)
                return OutsideText(elementPath(i) + "." + f.name, v, f.min, f.max);
        }
    return {};
}

std::string BasePath(size_t)
{
    return "base";
}

std::string SegmentPath(size_t s)
{
    return std::string("vector6.") + colorcorrect::SegmentNames()[s];
}

std::string CheckValues(const tagCOLORCORRINFO& r)
{
    if ((r.dwFlags & ~AllBits(colorcorrect::CorrectionFlagBits())) != 0)
        return "flags " + Hex(r.dwFlags) + " has undefined bits (defined: " +
               BitsText(colorcorrect::CorrectionFlagBits()) + ")";
    if ((r.Base.wRangeFlags & ~AllBits(colorcorrect::RangeFlagBits())) != 0)
        return "base.range_flags " + Hex(r.Base.wRangeFlags) + " has undefined bits (defined: " +
               BitsText(colorcorrect::RangeFlagBits()) + ")";
    std::string problem = CheckGroup(r, colorcorrect::kBaseGroup, BasePath);
    if (problem.empty())
        problem = CheckGroup(r, colorcorrect::kSegmentGroup, SegmentPath);
    if (!problem.empty())
        return problem;
    if (r.Match.dwCount > kMaxVectors)
        return OutsideText("match.count", r.Match.dwCount, 0, kMaxVectors);
    return CheckGroup(r, colorcorrect::kMatchVectorGroup, VectorPath);
}

// ---- JSON reading -----------------------------------------------------------

struct JsonError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr size_t kMaxDepth = 32;

// Refuses duplicate keys (the parser would keep the last one silently) and
// deep nesting, naming the place.
class StructureCheck {
public:
    bool operator()(int /*depth*/, Json::parse_event_t event, Json& parsed)
    {
        switch (event) {
        case Json::parse_event_t::object_start:
        case Json::parse_event_t::array_start:
            if (m_stack.size() >= kMaxDepth)
                throw JsonError("nested more than " + std::to_string(kMaxDepth) + " levels deep");
            m_stack.push_back({event == Json::parse_event_t::object_start, {}, {}, 0});
            break;
        case Json::parse_event_t::key: {
            Frame& top = m_stack.back();
            std::string key = parsed.get<std::string>();
            if (!top.keys.insert(key).second)
                throw JsonError("duplicate key " + Path() + key);
            top.key = std::move(key);
            break;
        }
        case Json::parse_event_t::object_end:
        case Json::parse_event_t::array_end:
            m_stack.pop_back();
            ElementDone();
            break;
        case Json::parse_event_t::value:
            ElementDone();
            break;
        }
        return true;
    }

private:
    struct Frame {
        bool object;
        std::set<std::string> keys;
        std::string key;
        size_t index;
    };

    void ElementDone()
    {
        if (!m_stack.empty() && !m_stack.back().object)
            ++m_stack.back().index;
    }

    // The path of the current container, ending in "." for objects.
    std::string Path() const
    {
        std::string path;
        for (size_t i = 0; i < m_stack.size(); ++i) {
            const Frame& f = m_stack[i];
            if (i + 1 == m_stack.size())
                break;
            if (f.object)
                path += (path.empty() ? "" : ".") + f.key;
            else
                path += "[" + std::to_string(f.index) + "]";
        }
        return path.empty() ? path : path + ".";
    }

    std::vector<Frame> m_stack;
};

std::string TypeName(const Json& j)
{
    switch (j.type()) {
    case Json::value_t::null:
        return "null";
    case Json::value_t::boolean:
        return "a boolean";
    case Json::value_t::string:
        return "a string";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::object:
        return "an object";
    case Json::value_t::number_float:
        return "the number " + j.dump();
    default:
        return "a number";
    }
}

std::string Join(const std::string& path, const std::string& key)
{
    return path.empty() ? key : path + "." + key;
}

// Checks that `j` is an object whose keys are all in `known`.
void ExpectObject(const Json& j, const std::string& path, const std::vector<std::string>& known)
{
    if (!j.is_object())
        throw JsonError((path.empty() ? std::string("the file") : path) + " must be an object, not " +
                        TypeName(j));
    for (const auto& item : j.items()) {
        bool found = false;
        for (const std::string& k : known)
            found = found || k == item.key();
        if (!found) {
            std::string list;
            for (const std::string& k : known)
                list += (list.empty() ? "" : ", ") + k;
            throw JsonError("unknown key " + Join(path, item.key()) + " (known here: " + list + ")");
        }
    }
}

long long ReadInteger(const Json& j, const std::string& path, long long min, long long max)
{
    long long v = 0;
    if (j.is_number_integer() && !j.is_number_unsigned()) {
        v = j.get<long long>();
    } else if (j.is_number_unsigned()) {
        const auto u = j.get<unsigned long long>();
        if (u > static_cast<unsigned long long>(max))
            throw JsonError(path + " " + j.dump() + " is outside " + std::to_string(min) + ".." +
                            std::to_string(max));
        v = static_cast<long long>(u);
    } else if (j.is_number_float()) {
        // 30.0 means 30; 30.5 is refused.
        const double d = j.get<double>();
        if (!std::isfinite(d) || d != std::trunc(d))
            throw JsonError(path + " must be a whole number in " + std::to_string(min) + ".." +
                            std::to_string(max) + ", not " + j.dump());
        if (d < static_cast<double>(min) || d > static_cast<double>(max))
            throw JsonError(path + " " + j.dump() + " is outside " + std::to_string(min) + ".." +
                            std::to_string(max));
        v = static_cast<long long>(d);
    } else {
        throw JsonError(path + " must be a whole number in " + std::to_string(min) + ".." +
                        std::to_string(max) + ", not " + TypeName(j));
    }
    if (v < min || v > max)
        throw JsonError(path + " " + std::to_string(v) + " is outside " + std::to_string(min) + ".." +
                        std::to_string(max));
    return v;
}

bool ReadBool(const Json& j, const std::string& path)
{
    if (!j.is_boolean())
        throw JsonError(path + " must be true or false, not " + TypeName(j));
    return j.get<bool>();
}

uint32_t ReadBits(const Json& j, const std::string& path, Bits bits, uint32_t value)
{
    std::vector<std::string> known;
    for (const FlagBit& b : bits)
        known.emplace_back(b.name);
    ExpectObject(j, path, known);
    for (const FlagBit& b : bits) {
        const auto it = j.find(b.name);
        if (it == j.end())
            continue;
        if (ReadBool(*it, Join(path, b.name)))
            value |= b.value;
        else
            value &= ~b.value;
    }
    return value;
}

// Reads the fields of element `index` of `group`; `known` are the other keys
// the object may hold.
void ReadFields(const Json& j, const std::string& path, const FieldGroup& group, size_t index,
                tagCOLORCORRINFO& r, std::vector<std::string> known)
{
    for (const CorrectionField& f : group.fields)
        known.emplace_back(f.name);
    ExpectObject(j, path, known);
    void* element = colorcorrect::GroupElement(r, group, index);
    for (const CorrectionField& f : group.fields) {
        const auto it = j.find(f.name);
        if (it != j.end())
            colorcorrect::SetFieldValue(
                element, f, static_cast<int>(ReadInteger(*it, Join(path, f.name), f.min, f.max)));
    }
}

void ReadDocument(const Json& doc, tagCOLORCORRINFO& r)
{
    ExpectObject(doc, "", {"format", "version", "flags", "base", "vector6", "match"});
    const auto format = doc.find("format");
    if (format == doc.end())
        throw JsonError(std::string("not a correction file: no \"format\" key (expected \"") +
                        kCorrectionFormatName + "\")");
    if (!format->is_string() || format->get<std::string>() != kCorrectionFormatName)
        throw JsonError("format is " + format->dump() + ", expected \"" + kCorrectionFormatName + "\"");
    const auto version = doc.find("version");
    if (version == doc.end())
        throw JsonError("no \"version\" key");
    if (!version->is_number_integer() ||
        version->get<long long>() != kCorrectionFormatVersion) {
        throw JsonError("version " + version->dump() + " is not supported (this program reads version " +
                        std::to_string(kCorrectionFormatVersion) + ")");
    }

    if (const auto it = doc.find("flags"); it != doc.end())
        r.dwFlags = ReadBits(*it, "flags", colorcorrect::CorrectionFlagBits(), r.dwFlags);

    if (const auto base = doc.find("base"); base != doc.end()) {
        ReadFields(*base, "base", colorcorrect::kBaseGroup, 0, r, {"range_flags"});
        if (const auto it = base->find("range_flags"); it != base->end())
            r.Base.wRangeFlags = static_cast<uint16_t>(ReadBits(
                *it, "base.range_flags", colorcorrect::RangeFlagBits(), r.Base.wRangeFlags));
    }

    if (const auto v6 = doc.find("vector6"); v6 != doc.end()) {
        const auto names = colorcorrect::SegmentNames();
        ExpectObject(*v6, "vector6", std::vector<std::string>(names.begin(), names.end()));
        for (size_t s = 0; s < names.size(); ++s) {
            const auto seg = v6->find(names[s]);
            if (seg != v6->end())
                ReadFields(*seg, SegmentPath(s), colorcorrect::kSegmentGroup, s, r, {});
        }
    }

    if (const auto match = doc.find("match"); match != doc.end()) {
        ExpectObject(*match, "match", {"count", "vectors"});
        size_t listed = 0;
        if (const auto vectors = match->find("vectors"); vectors != match->end()) {
            if (!vectors->is_array())
                throw JsonError("match.vectors must be an array, not " + TypeName(*vectors));
            if (vectors->size() > kMaxVectors)
                throw JsonError("match.vectors has " + std::to_string(vectors->size()) +
                                " entries, at most " + std::to_string(kMaxVectors));
            listed = vectors->size();
            for (size_t i = 0; i < listed; ++i)
                ReadFields((*vectors)[i], VectorPath(i), colorcorrect::kMatchVectorGroup, i, r, {});
        }
        if (const auto count = match->find("count"); count != match->end())
            r.Match.dwCount = static_cast<uint32_t>(ReadInteger(*count, "match.count", 0, kMaxVectors));
        else
            r.Match.dwCount = static_cast<uint32_t>(listed);
    }
}

// ---- JSON writing -----------------------------------------------------------

bool IsScalar(const OrderedJson& j)
{
    return !j.is_object() && !j.is_array();
}

// Objects of plain values that fit on a line are written on one line; the
// rest one member per line.
void Emit(const OrderedJson& j, int indent, std::string& out)
{
    if (IsScalar(j)) {
        out += j.dump();
        return;
    }
    const bool object = j.is_object();
    if (j.empty()) {
        out += object ? "{}" : "[]";
        return;
    }
    std::string flat;
    bool allScalar = true;
    for (auto it = j.begin(); it != j.end(); ++it) {
        allScalar = allScalar && IsScalar(*it);
        if (!flat.empty())
            flat += ", ";
        if (object)
            flat += OrderedJson(it.key()).dump() + ": ";
        flat += it->dump();
    }
    if (allScalar && flat.size() + static_cast<size_t>(indent) < 96) {
        out += object ? "{" + flat + "}" : "[" + flat + "]";
        return;
    }
    const std::string pad(static_cast<size_t>(indent + 2), ' ');
    out += object ? "{\n" : "[\n";
    bool first = true;
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (!first)
            out += ",\n";
        first = false;
        out += pad;
        if (object)
            out += OrderedJson(it.key()).dump() + ": ";
        Emit(*it, indent + 2, out);
    }
    out += "\n" + std::string(static_cast<size_t>(indent), ' ') + (object ? "}" : "]");
}

OrderedJson WriteBits(uint32_t value, Bits bits)
{
    OrderedJson j = OrderedJson::object();
    for (const FlagBit& b : bits)
        j[b.name] = (value & b.value) != 0;
    return j;
}

void WriteFields(OrderedJson& j, const FieldGroup& group, size_t index, const tagCOLORCORRINFO& r)
{
    const void* element = colorcorrect::GroupElement(r, group, index);
    for (const CorrectionField& f : group.fields)
        j[f.name] = colorcorrect::GetFieldValue(element, f);
}

bool SameBytes(const tagMATCHVECTOR& a, const tagMATCHVECTOR& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

tagCOLORCORRINFO DefaultCorrection()
{
    tagCOLORCORRINFO r;
    std::memset(&r, 0, sizeof r);
    r.Init(sizeof(tagCOLORCORRINFO));
    return r;
}

std::string CheckCorrection(const tagCOLORCORRINFO& record)
{
    std::string problem = CheckSizes(record);
    if (problem.empty())
        problem = CheckValues(record);
    return problem;
}

bool ParseCorrectionBinary(const void* data, size_t size, tagCOLORCORRINFO& record,
                           std::string& error) noexcept
{
    try {
        if (data == nullptr || size != kCorrectionRecordBytes) {
            error = "a binary correction record has " + std::to_string(kCorrectionRecordBytes) +
                    " bytes, this has " + std::to_string(data == nullptr ? 0 : size);
            if (data != nullptr && size < kCorrectionRecordBytes)
                error += " (truncated?)";
            return false;
        }
        tagCOLORCORRINFO r;
        std::memcpy(&r, data, sizeof r);
        const std::string problem = CheckCorrection(r);
        if (!problem.empty()) {
            error = problem;
            return false;
        }
        record = r;
        return true;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (...) {
        error = "unexpected failure while reading the record";
    }
    return false;
}

namespace {

// Messages quote keys and values from the file, which may hold control
// characters (an escaped newline in a key): shown as \xNN so that every
// message stays one line.
std::string OneLine(const std::string& message)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(message.size());
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace

bool ParseCorrectionJson(const void* data, size_t size, tagCOLORCORRINFO& record,
                         std::string& error) noexcept
{
    try {
        if (size > kMaxCorrectionFileBytes) {
            error = "larger than " + std::to_string(kMaxCorrectionFileBytes) +
                    " bytes: not a correction file";
            return false;
        }
        const auto* text = static_cast<const char*>(data);
        if (text == nullptr)
            size = 0;
        StructureCheck check;
        Json doc;
        try {
            doc = Json::parse(text, text + size, std::ref(check), true, false);
        } catch (const Json::parse_error& e) {
            // what() reads "[json.exception.parse_error.101] parse error at line 1, ...".
            std::string message = e.what();
            const size_t close = message.find("] ");
            if (close != std::string::npos)
                message.erase(0, close + 2);
            error = "not valid JSON: " + OneLine(message);
            return false;
        }
        tagCOLORCORRINFO r = DefaultCorrection();
        ReadDocument(doc, r);
        record = r;
        return true;
    } catch (const JsonError& e) {
        error = OneLine(e.what());
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (const std::exception& e) {
        error = "cannot read: " + OneLine(e.what());
    } catch (...) {
        error = "unexpected failure while reading JSON";
    }
    return false;
}

bool ParseCorrection(const void* data, size_t size, tagCOLORCORRINFO& record,
                     CorrectionFormat& format, std::string& error) noexcept
{
    const auto* p = static_cast<const uint8_t*>(data);
    if (p == nullptr)
        size = 0;
    size_t i = 0;
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        i = 3;
    while (i < size && (p[i] == ' ' || p[i] == '\t' || p[i] == '\r' || p[i] == '\n'))
        ++i;
    if (i < size && p[i] == '{') {
        if (!ParseCorrectionJson(p + i, size - i, record, error))
            return false;
        format = CorrectionFormat::Json;
        return true;
    }
    if (size != kCorrectionRecordBytes) {
        error = "not a correction file: neither JSON (which starts with '{') nor a " +
                std::to_string(kCorrectionRecordBytes) + "-byte binary record (this has " +
                std::to_string(size) + " bytes)";
        return false;
    }
    if (!ParseCorrectionBinary(p, size, record, error))
        return false;
    format = CorrectionFormat::Binary;
    return true;
}

std::string CorrectionToJson(const tagCOLORCORRINFO& r)
{
    OrderedJson doc = OrderedJson::object();
    doc["format"] = kCorrectionFormatName;
    doc["version"] = kCorrectionFormatVersion;
    doc["flags"] = WriteBits(r.dwFlags, colorcorrect::CorrectionFlagBits());

    OrderedJson base = OrderedJson::object();
    base["range_flags"] = WriteBits(r.Base.wRangeFlags, colorcorrect::RangeFlagBits());
    WriteFields(base, colorcorrect::kBaseGroup, 0, r);
    doc["base"] = std::move(base);

    OrderedJson v6 = OrderedJson::object();
    for (size_t s = 0; s < colorcorrect::kHueSegments; ++s) {
        OrderedJson seg = OrderedJson::object();
        WriteFields(seg, colorcorrect::kSegmentGroup, s, r);
        v6[colorcorrect::SegmentNames()[s]] = std::move(seg);
    }
    doc["vector6"] = std::move(v6);

    // Slots from the count on have no effect, but they are part of the record
    // (its checksum and IsDefault see them): keep those that are not fresh.
    tagMATCHVECTOR fresh;
    fresh.Init();
    size_t written = std::min<size_t>(r.Match.dwCount, kMaxVectors);
    for (size_t i = written; i < kMaxVectors; ++i)
        if (!SameBytes(r.Match.Vector[i], fresh))
            written = i + 1;
    OrderedJson match = OrderedJson::object();
    match["count"] = r.Match.dwCount;
    OrderedJson vectors = OrderedJson::array();
    for (size_t i = 0; i < written; ++i) {
        OrderedJson v = OrderedJson::object();
        WriteFields(v, colorcorrect::kMatchVectorGroup, i, r);
        vectors.push_back(std::move(v));
    }
    match["vectors"] = std::move(vectors);
    doc["match"] = std::move(match);

    std::string out;
    Emit(doc, 0, out);
    out += "\n";
    return out;
}

std::array<uint8_t, kCorrectionRecordBytes> CorrectionToBinary(const tagCOLORCORRINFO& record)
{
    std::array<uint8_t, kCorrectionRecordBytes> bytes{};
    std::memcpy(bytes.data(), &record, bytes.size());
    return bytes;
}

CorrectionFormat CorrectionFormatForPath(const std::string& path)
{
    const auto endsWith = [&path](std::string_view tail) {
        if (path.size() < tail.size())
            return false;
        for (size_t i = 0; i < tail.size(); ++i) {
            char c = path[path.size() - tail.size() + i];
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            if (c != tail[i])
                return false;
        }
        return true;
    };
    return endsWith(".ccr") || endsWith(".bin") ? CorrectionFormat::Binary : CorrectionFormat::Json;
}

} // namespace colorcorrect::formats
