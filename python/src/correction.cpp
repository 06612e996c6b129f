// cc.Correction and the views of its groups. Every numeric field comes from
// the record's field catalogue, so the names and limits here are those of the
// correction file.

#include <array>
#include <string>

#include "bindings.h"

namespace colorcorrect::python {

namespace {

using colorcorrect::CorrectionField;
using colorcorrect::FieldGroup;
using colorcorrect::FlagBit;

// One element of a field group: the base record, a hue segment or a match
// vector. Kind tells the three Python classes apart.
template <int Kind>
struct GroupView {
    std::shared_ptr<tagCOLORCORRINFO> record;
    size_t index = 0;
    std::string path; // "base", "vector6.red", "match.vectors[3]"
};
using BaseView = GroupView<0>;
using SegmentView = GroupView<1>;
using VectorView = GroupView<2>;

// A flag word: the record's dwFlags or Base.wRangeFlags.
template <int Kind>
struct FlagsView {
    std::shared_ptr<tagCOLORCORRINFO> record;
};
using GroupFlags = FlagsView<0>;
using RangeFlags = FlagsView<1>;

struct Vector6View {
    std::shared_ptr<tagCOLORCORRINFO> record;
};
struct MatchView {
    std::shared_ptr<tagCOLORCORRINFO> record;
};

template <int Kind>
void AddFields(py::class_<GroupView<Kind>>& cls, const FieldGroup& group)
{
    for (const CorrectionField& field : group.fields) {
        const CorrectionField* f = &field;
        const FieldGroup* g = &group;
        cls.def_property(
            f->name,
            [f, g](const GroupView<Kind>& v) {
                return colorcorrect::GetFieldValue(colorcorrect::GroupElement(*v.record, *g, v.index), *f);
            },
            [f, g](GroupView<Kind>& v, long long value) {
                if (value < f->min || value > f->max)
                    throw py::value_error(v.path + "." + f->name + " " + std::to_string(value) + " is outside " +
                                          std::to_string(f->min) + ".." + std::to_string(f->max));
                colorcorrect::SetFieldValue(colorcorrect::GroupElement(*v.record, *g, v.index), *f, int(value));
            });
    }
    cls.def("__repr__", [g = &group](const GroupView<Kind>& v) {
        std::string text = v.path + "(";
        for (size_t i = 0; i < g->fields.size(); ++i) {
            const CorrectionField& f = g->fields[i];
            text += (i != 0 ? ", " : "") + std::string(f.name) + "=" +
                    std::to_string(colorcorrect::GetFieldValue(colorcorrect::GroupElement(*v.record, *g, v.index), f));
        }
        return text + ")";
    });
}

template <int Kind, typename Word>
void AddBits(py::class_<FlagsView<Kind>>& cls, std::span<const FlagBit> bits, Word* (*word)(tagCOLORCORRINFO&))
{
    for (const FlagBit& bit : bits) {
        const uint32_t value = bit.value;
        cls.def_property(
            bit.name, [word, value](const FlagsView<Kind>& v) { return (*word(*v.record) & value) != 0; },
            [word, value](FlagsView<Kind>& v, bool on) {
                Word& w = *word(*v.record);
                w = static_cast<Word>(on ? (w | value) : (w & ~value));
            });
    }
}

uint32_t* FlagsWord(tagCOLORCORRINFO& r)
{
    return &r.dwFlags;
}
uint16_t* RangeWord(tagCOLORCORRINFO& r)
{
    return &r.Base.wRangeFlags;
}

Correction FromBytes(const py::bytes& data, const std::string& shown)
{
    const std::string_view bytes = data;
    if (bytes.size() > formats::kMaxCorrectionFileBytes)
        throw py::value_error(shown + ": larger than a correction file can be");
    Correction c;
    formats::CorrectionFormat format;
    std::string error;
    if (!formats::ParseCorrection(bytes.data(), bytes.size(), *c.record, format, error))
        throw py::value_error(shown + ": " + error);
    return c;
}

void CheckWritable(const tagCOLORCORRINFO& record)
{
    const std::string problem = formats::CheckCorrection(record);
    if (!problem.empty())
        throw py::value_error("the correction cannot be written: " + problem);
}

} // namespace

void BindCorrection(py::module_& m)
{
    py::class_<GroupFlags> flags(m, "Flags", "The correction's active groups (correction file key \"flags\").");
    AddBits(flags, colorcorrect::CorrectionFlagBits(), FlagsWord);
    py::class_<RangeFlags> range(m, "RangeFlags", "Output range switches (\"base.range_flags\").");
    AddBits(range, colorcorrect::RangeFlagBits(), RangeWord);

    py::class_<BaseView> base(m, "Base", "Primary correction and clipping settings (\"base\").");
    AddFields(base, colorcorrect::kBaseGroup);
    base.def_property_readonly("range_flags", [](const BaseView& v) { return RangeFlags{v.record}; });

    py::class_<SegmentView> segment(m, "Segment", "One hue segment of the six-vector correction.");
    AddFields(segment, colorcorrect::kSegmentGroup);

    py::class_<Vector6View> vector6(m, "Vector6", "The six-vector correction (\"vector6\"), one segment per hue.");
    const auto names = colorcorrect::SegmentNames();
    for (size_t i = 0; i < names.size(); ++i)
        vector6.def_property_readonly(names[i], [i, name = std::string(names[i])](const Vector6View& v) {
            return SegmentView{v.record, i, "vector6." + name};
        });

    py::class_<VectorView> vector(m, "MatchVector", "One match vector (\"match.vectors[i]\").");
    AddFields(vector, colorcorrect::kMatchVectorGroup);

    py::class_<MatchView>(m, "Match", "The match vectors (\"match\").")
        .def_property(
            "count", [](const MatchView& v) { return v.record->Match.dwCount; },
            [](MatchView& v, long long count) {
                if (count < 0 || count > colorcorrect::kMatchVectorSlots)
                    throw py::value_error("match.count " + std::to_string(count) + " is outside 0..16");
                v.record->Match.dwCount = static_cast<uint32_t>(count);
            })
        .def_property_readonly("vectors", [](const MatchView& v) {
            py::list list;
            for (size_t i = 0; i < colorcorrect::kMatchVectorSlots; ++i)
                list.append(VectorView{v.record, i, "match.vectors[" + std::to_string(i) + "]"});
            return py::tuple(list);
        });

    py::class_<Correction>(m, "Correction",
                           "A correction record. Correction() is the neutral correction; fields are named as in "
                           "the correction file (look.base.y_gamma, look.vector6.red.sat, ...).")
        .def(py::init<>())
        .def_static(
            "load",
            [](const std::string& path) {
                std::vector<uint8_t> bytes;
                std::string error;
                if (!formats::ReadWholeFile(path, formats::kMaxCorrectionFileBytes, bytes, error))
                    ThrowOSError(path + ": " + error);
                Correction c = FromBytes(py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
                c.path = path;
                return c;
            },
            py::arg("path"), "Reads a JSON or binary correction file (the form is recognised by the content).")
        .def_static(
            "from_bytes", [](const py::bytes& data) { return FromBytes(data, "correction"); }, py::arg("data"),
            "A correction from the bytes of a JSON or binary correction file.")
        .def(
            "save",
            [](const Correction& c, const std::string& path) {
                CheckWritable(*c.record);
                std::string error;
                bool written;
                if (formats::CorrectionFormatForPath(path) == formats::CorrectionFormat::Binary) {
                    const auto bytes = formats::CorrectionToBinary(*c.record);
                    written = formats::WriteWholeFile(path, bytes.data(), bytes.size(), error);
                } else {
                    const std::string text = formats::CorrectionToJson(*c.record);
                    written = formats::WriteWholeFile(path, text.data(), text.size(), error);
                }
                if (!written)
                    ThrowOSError(path + ": " + error);
            },
            py::arg("path"), "Writes the binary record for names ending in .ccr or .bin, JSON otherwise.")
        .def("to_json",
             [](const Correction& c) {
                 CheckWritable(*c.record);
                 return formats::CorrectionToJson(*c.record);
             })
        .def("to_bytes",
             [](const Correction& c) {
                 CheckWritable(*c.record);
                 const auto bytes = formats::CorrectionToBinary(*c.record);
                 return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
             },
             "The 564 bytes of the binary record.")
        .def("copy",
             [](const Correction& c) {
                 Correction copy;
                 *copy.record = *c.record;
                 copy.path = c.path;
                 return copy;
             })
        .def("__eq__", [](const Correction& a, const Correction& b) { return *a.record == *b.record; }, py::is_operator())
        .def("__repr__", [](const Correction& c) { return "<colorcorrect.Correction flags=" +
                                                          std::to_string(c.record->dwFlags) + ">"; })
        .def_property_readonly("path", [](const Correction& c) { return c.path; })
        .def_property_readonly("flags", [](const Correction& c) { return GroupFlags{c.record}; })
        .def_property_readonly("base", [](const Correction& c) { return BaseView{c.record, 0, "base"}; })
        .def_property_readonly("vector6", [](const Correction& c) { return Vector6View{c.record}; })
        .def_property_readonly("match", [](const Correction& c) { return MatchView{c.record}; })
        .def(
            "rt_package",
            [](const Correction& c) {
                std::array<uint8_t, formats::kRtPackageBytes> bytes;
                std::string error;
                if (!formats::MakeRtPackage(*c.record, bytes, error))
                    throw py::value_error(error);
                return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            },
            "The 2052-byte real-time package of the correction's base settings.")
        .def(
            "write_cube",
            [](const Correction& c, const std::string& path, int size, std::optional<std::string> title) {
                formats::CorrectionProcessor processor;
                formats::CubeLut lut;
                std::string error;
                if (!processor.Setup(*c.record, error) || !formats::SampleCube(size, processor.Processor(), lut, error))
                    throw py::value_error(error);
                lut.title = title ? *title : formats::CubeTitleForPath(c.path.empty() ? "-" : c.path);
                const std::string text = formats::FormatCube(lut);
                if (!formats::WriteWholeFile(path, text.data(), text.size(), error))
                    ThrowOSError(path + ": " + error);
            },
            py::arg("path"), py::arg("size") = 33, py::arg("title") = py::none(),
            "Writes a .cube 3D LUT of size^3 points (2..256); the title defaults to the loaded file's name.");
}

} // namespace colorcorrect::python
