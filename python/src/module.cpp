// The extension module _colorcorrect: filters on NumPy arrays, pictures,
// scopes, LUTs and the automatic analyses, each through the formats library
// function the command-line tool calls, so that both give the same bytes.


#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bindings.h"

namespace colorcorrect::python {

using namespace colorcorrect::formats;

void ThrowOSError(const std::string& message)
{
    PyErr_SetString(PyExc_OSError, message.c_str());
    throw py::error_already_set();
}

PixelArray CheckPixels(const py::handle& object, const char* what, bool writable)
{
    const std::string expected = std::string(what) +
                                 ": expected a C-contiguous numpy array of uint8, height x width x 3 or 4";
    if (!py::isinstance<py::array>(object))
        throw py::value_error(expected + ", not " + std::string(py::str(py::type::of(object))));
    py::array array = py::reinterpret_borrow<py::array>(object);
    if (array.dtype().kind() != 'u' || array.itemsize() != 1)
        throw py::value_error(expected + " (got dtype " + std::string(py::str(array.dtype())) + ")");
    if (array.ndim() != 3 || (array.shape(2) != 3 && array.shape(2) != 4))
        throw py::value_error(expected + " (got shape " + std::string(py::str(py::tuple(py::cast(
                                  std::vector<py::ssize_t>(array.shape(), array.shape() + array.ndim()))))) + ")");
    if ((array.flags() & py::array::c_style) == 0)
        throw py::value_error(expected + " (this one is not C-contiguous: use numpy.ascontiguousarray)");
    if (writable && !array.writeable())
        throw py::value_error(std::string(what) + ": the array is read-only");
    if (const char* problem = ImageSizeProblem(uint64_t(array.shape(1)), uint64_t(array.shape(0))))
        throw py::value_error(std::string(what) + ": " + problem);
    PixelArray p{array, {}};
    p.rows.data = static_cast<uint8_t*>(const_cast<void*>(array.data()));
    p.rows.height = int(array.shape(0));
    p.rows.width = int(array.shape(1));
    p.rows.channels = int(array.shape(2));
    p.rows.rowBytes = size_t(p.rows.width) * size_t(p.rows.channels);
    return p;
}

PixelArray NewPixels(int height, int width, int channels)
{
    py::array_t<uint8_t> array({py::ssize_t(height), py::ssize_t(width), py::ssize_t(channels)});
    PixelArray p{array, {array.mutable_data(), width, height, channels, size_t(width) * size_t(channels)}};
    return p;
}

py::array ImageToArray(const RgbImage& image)
{
    PixelArray p = NewPixels(image.height, image.width, image.channels);
    std::memcpy(p.rows.data, image.pixels.data(), image.pixels.size());
    return p.array;
}

namespace {

// The scope backgrounds are looked up beside the running executable, which
// for Python is the interpreter; the package carries its own copies.
void LoadResources(const std::string& dir)
{
    const std::pair<CVoraDib*, const char*> pictures[] = {
        {&g_dibVector, "vector"},       {&g_dibWaveform, "waveform"}, {&g_dibLightning, "lightning"},
        {&g_dibHistogram, "histogram"}, {&g_dibVectLight, "vectlight"},
    };
    for (const auto& [dib, name] : pictures) {
        CVoraDib loaded;
        const std::wstring path = colorcorrect::WideFromUtf8(dir + "/" + name + ".bmp");
        if (loaded.LoadFromFile(path.c_str(), 0, 0, 24, 0) == 0)
            throw py::value_error("scope background " + dir + "/" + name + ".bmp could not be read");
        *dib = std::move(loaded);
    }
}

struct Filter {
    std::shared_ptr<CorrectionProcessor> processor = std::make_shared<CorrectionProcessor>();
    unsigned threads = 1;
};

// More threads than this for one frame only cost memory.
constexpr unsigned kMaxThreads = 256;

unsigned CheckThreads(unsigned threads)
{
    if (threads > kMaxThreads)
        throw py::value_error("threads " + std::to_string(threads) + " is outside 0.." + std::to_string(kMaxThreads));
    return threads;
}

unsigned Threads(const Filter& f, std::optional<unsigned> threads)
{
    return threads ? CheckThreads(*threads) : f.threads;
}

// The output array of apply/apply_rgb: `out`, checked against the input, or
// a new one.
PixelArray Output(const PixelArray& in, const py::object& out)
{
    if (out.is_none())
        return NewPixels(in.rows.height, in.rows.width, in.rows.channels);
    PixelArray o = CheckPixels(out, "out", true);
    if (o.rows.width != in.rows.width || o.rows.height != in.rows.height || o.rows.channels != in.rows.channels)
        throw py::value_error("out: expected the input's shape");
    return o;
}

CVoraDib YuvPicture(const py::handle& object, const char* what)
{
    PixelArray p = CheckPixels(object, what, false);
    CVoraDib picture;
    std::string error;
    if (!RgbPixelsToYuvPicture(p.rows.data, p.rows.width, p.rows.height, p.rows.channels, p.rows.rowBytes, picture,
                               error))
        throw py::value_error(std::string(what) + ": " + error);
    return picture;
}

const tagCOLORCORRINFO& RecordOf(const std::optional<Correction>& c, const tagCOLORCORRINFO& fallback)
{
    return c ? *c->record : fallback;
}

using Rect = std::array<int, 4>;

std::optional<PictureRect> ToRect(const std::optional<Rect>& r)
{
    if (!r)
        return std::nullopt;
    return PictureRect{(*r)[0], (*r)[1], (*r)[2], (*r)[3]};
}

Correction RunAuto(const std::string& kind, const py::object& source, const py::object& reference,
                   const std::optional<Correction>& correction, const std::vector<std::pair<int, int>>& points,
                   const std::vector<std::pair<std::pair<int, int>, std::pair<int, int>>>& pairs, unsigned mode,
                   const std::optional<Rect>& sourceRect, const std::optional<Rect>& referenceRect,
                   const std::optional<Rect>& rect, const std::vector<Rect>& widen, const std::optional<Rect>& to,
                   std::optional<unsigned> index)
{
    AutoRequest request;
    const std::optional<AutoKind> k = AutoKindFromName(kind);
    if (!k)
        throw py::value_error("unknown analysis '" + kind + "'");
    request.kind = *k;
    for (const auto& [x, y] : points)
        request.points.push_back({x, y});
    for (const auto& [s, r] : pairs)
        request.pairs.push_back({{s.first, s.second}, {r.first, r.second}});
    request.mode = mode;
    request.sourceRect = ToRect(sourceRect);
    request.referenceRect = ToRect(referenceRect);
    request.rect = ToRect(rect);
    for (const Rect& w : widen)
        request.widen.push_back(*ToRect(w));
    request.to = ToRect(to);
    request.index = index;
    if (AutoNeedsReference(request) == reference.is_none())
        throw py::value_error(reference.is_none() ? "this analysis needs a reference picture"
                                                  : "this analysis does not use a reference picture");
    const CVoraDib src = YuvPicture(source, "source");
    CVoraDib ref;
    if (!reference.is_none())
        ref = YuvPicture(reference, "reference");
    const tagCOLORCORRINFO start = RecordOf(correction, DefaultCorrection());
    Correction result;
    std::string error;
    bool ok;
    {
        py::gil_scoped_release release;
        ok = RunAutoAnalysis(request, start, src, reference.is_none() ? nullptr : &ref, *result.record, error);
    }
    if (!ok)
        throw py::value_error(error);
    return result;
}

py::object Scope(const std::string& modeName, const py::object& rgb, const std::optional<Correction>& correction,
                 const py::object& reference, std::optional<std::array<int, 3>> angles, int intensity,
                 std::optional<unsigned> isolate, unsigned isolateType, const std::string& channel, bool picture)
{
    ScopeSettings settings;
    const std::optional<ScopeMode> mode = ScopeModeFromName(modeName);
    if (!mode)
        throw py::value_error("unknown display '" + modeName +
                              "': expected vector, waveform, histogram, lightning, cube or combined");
    settings.mode = *mode;
    settings.intensity = intensity;
    if (angles)
        settings.angles = CubeAngles{(*angles)[0], (*angles)[1], (*angles)[2]};
    settings.isolateVector = isolate;
    settings.isolateType = isolateType;
    static constexpr const char* kChannels[] = {"all", "red", "green", "blue", "luma"};
    settings.channel = 5;
    for (unsigned i = 0; i < 5; ++i)
        if (channel == kChannels[i])
            settings.channel = i;
    if (settings.channel == 5)
        throw py::value_error("channel '" + channel + "': expected all, red, green, blue or luma");
    const tagCOLORCORRINFO record = RecordOf(correction, DefaultCorrection());
    const std::string problem = ScopeSettingsProblem(record, settings);
    if (!problem.empty())
        throw py::value_error(problem);
    const CVoraDib source = YuvPicture(rgb, "picture");
    CVoraDib ref;
    if (!reference.is_none())
        ref = YuvPicture(reference, "reference");
    CVoraDib display, corrected;
    RgbImage displayImage, correctedImage;
    std::string error;
    bool ok;
    {
        py::gil_scoped_release release;
        ok = RenderScope(record, source, reference.is_none() ? nullptr : &ref, settings, display, corrected, error) &&
             RgbPictureToRgbImage(display, displayImage, error) &&
             (!picture || RgbPictureToRgbImage(corrected, correctedImage, error));
    }
    if (!ok)
        throw py::value_error(error);
    if (picture)
        return py::make_tuple(ImageToArray(displayImage), ImageToArray(correctedImage));
    return ImageToArray(displayImage);
}

ImageFormat FormatForName(const std::string& path)
{
    const std::optional<ImageFormat> format = ImageFormatFromPath(path);
    if (!format)
        throw py::value_error(path + ": cannot tell the picture format from the name: use .png, .jpg, .jpeg or .bmp");
    return *format;
}

void WriteImage(const std::string& path, const RgbImage& image, int quality)
{
    if (quality < 1 || quality > 100)
        throw py::value_error("quality " + std::to_string(quality) + " is outside 1..100");
    const ImageFormat format = FormatForName(path);
    std::vector<uint8_t> encoded;
    EncodeOptions options;
    options.jpegQuality = quality;
    std::string error;
    bool encodedOk, written = false;
    {
        py::gil_scoped_release release;
        encodedOk = EncodeImage(image, format, options, encoded, error);
        if (encodedOk)
            written = WriteWholeFile(path, encoded.data(), encoded.size(), error);
    }
    if (!encodedOk)
        throw py::value_error(path + ": " + error);
    if (!written)
        ThrowOSError(path + ": " + error);
}

RgbImage ReadImage(const std::string& path)
{
    RgbImage image;
    std::string error;
    bool ok;
    {
        py::gil_scoped_release release;
        ok = ReadImageFile(path, image, error);
    }
    if (!ok)
        throw py::value_error(path + ": " + error);
    return image;
}

} // namespace

PYBIND11_MODULE(_colorcorrect, m)
{
    m.doc() = "Bit-exact colour correction: the library and its formats on NumPy arrays.";
    m.def("_load_resources", &LoadResources, py::arg("directory"));
    BindCorrection(m);

    py::class_<Filter>(m, "Filter",
                       "The correction engine set up once from a correction; apply it to many frames. Safe to "
                       "use from several threads at once.")
        .def(py::init([](const Correction& look, unsigned threads) {
                 Filter f;
                 f.threads = CheckThreads(threads);
                 std::string error;
                 if (!f.processor->Setup(*look.record, error))
                     throw py::value_error(error);
                 return f;
             }),
             py::arg("correction"), py::arg("threads") = 1,
             "threads: threads sharing each frame's rows (0: one per core).")
        .def(
            "apply",
            [](const Filter& f, const py::object& yuv, const py::object& out, std::optional<unsigned> threads) {
                const PixelArray in = CheckPixels(yuv, "yuv", false);
                PixelArray o = Output(in, out);
                bool ok;
                {
                    py::gil_scoped_release release;
                    ok = f.processor->ProcessPixels(in.rows, o.rows, Threads(f, threads));
                }
                if (!ok)
                    throw py::value_error("yuv: the correction could not be applied");
                return o.array;
            },
            py::arg("yuv"), py::arg("out") = py::none(), py::arg("threads") = py::none(),
            "Corrects packed Y, U+128, V+128 (+ straight alpha) pixels, H x W x 3 or 4 uint8. Returns a new "
            "array, or `out` (which may be `yuv` itself).")
        .def(
            "apply_rgb",
            [](const Filter& f, const py::object& rgb, const py::object& out, std::optional<unsigned> threads) {
                const PixelArray in = CheckPixels(rgb, "rgb", false);
                PixelArray o = Output(in, out);
                bool ok;
                {
                    py::gil_scoped_release release;
                    ok = f.processor->ProcessRgbPixels(in.rows, o.rows, Threads(f, threads));
                }
                if (!ok)
                    throw py::value_error("rgb: the correction could not be applied");
                return o.array;
            },
            py::arg("rgb"), py::arg("out") = py::none(), py::arg("threads") = py::none(),
            "Corrects RGB(A) pixels as `colorcorrect apply` corrects still pictures.")
        .def(
            "apply_file",
            [](const Filter& f, const std::string& input, const std::string& output, int quality,
               std::optional<unsigned> threads) {
                RgbImage image = ReadImage(input);
                bool ok;
                {
                    py::gil_scoped_release release;
                    ok = f.processor->ProcessImage(image, Threads(f, threads));
                }
                if (!ok)
                    throw py::value_error(input + ": the correction could not be applied to this picture");
                WriteImage(output, image, quality);
            },
            py::arg("input"), py::arg("output"), py::arg("quality") = 95, py::arg("threads") = py::none(),
            "Corrects a picture file into another, as `colorcorrect apply` does (colour profile kept).");

    m.def(
        "read_picture", [](const std::string& path) { return ImageToArray(ReadImage(path)); }, py::arg("path"),
        "Reads a PNG, JPEG or BMP picture as an H x W x 3 (or 4, with transparency) uint8 RGB(A) array.");
    m.def(
        "write_picture",
        [](const std::string& path, const py::object& rgb, int quality) {
            const PixelArray p = CheckPixels(rgb, "rgb", false);
            RgbImage image;
            image.Resize(p.rows.width, p.rows.height, p.rows.channels);
            std::memcpy(image.pixels.data(), p.rows.data, image.pixels.size());
            WriteImage(path, image, quality);
        },
        py::arg("path"), py::arg("rgb"), py::arg("quality") = 95,
        "Writes an RGB(A) array as PNG, JPEG or BMP, chosen by the name's extension.");
    m.def(
        "cube",
        [](const Correction& look, int size) {
            CorrectionProcessor processor;
            CubeLut lut;
            std::string error;
            if (!processor.Setup(*look.record, error) || !SampleCube(size, processor.Processor(), lut, error))
                throw py::value_error(error);
            py::array_t<float> cube({py::ssize_t(size), py::ssize_t(size), py::ssize_t(size), py::ssize_t(3)});
            float* out = cube.mutable_data();
            for (size_t i = 0; i < lut.rgb.size(); ++i)
                out[i] = float(lut.rgb[i]) / 255.0f;
            return cube;
        },
        py::arg("correction"), py::arg("size") = 33,
        "The correction sampled on a size^3 grid as a float32 array [blue][green][red][channel] in 0..1 (red "
        "fastest in memory, as in a .cube file).");
    m.def("scope", &Scope, py::arg("mode"), py::arg("rgb"), py::arg("correction") = py::none(),
          py::arg("reference") = py::none(), py::arg("angles") = py::none(), py::arg("intensity") = 120,
          py::arg("isolate") = py::none(), py::arg("isolate_type") = 0, py::arg("channel") = "all",
          py::arg("picture") = false,
          "A scope display (vector, waveform, histogram, lightning, cube, combined) of an RGB(A) array under a "
          "correction, as a 288 x 384 x 3 RGB array; with picture=True also the corrected display picture.");
    m.def("_auto", &RunAuto, py::arg("kind"), py::arg("source"), py::arg("reference") = py::none(),
          py::arg("correction") = py::none(), py::arg("points") = std::vector<std::pair<int, int>>{},
          py::arg("pairs") = std::vector<std::pair<std::pair<int, int>, std::pair<int, int>>>{}, py::arg("mode") = 0,
          py::arg("source_rect") = py::none(), py::arg("reference_rect") = py::none(), py::arg("rect") = py::none(),
          py::arg("widen") = std::vector<Rect>{}, py::arg("to") = py::none(), py::arg("index") = py::none());
    m.def("y4m_layout", &Y4mLayout, py::arg("path"),
          "The layout of a YUV4MPEG2 file: header, frame size, frame count and whether its frames can be cut "
          "into byte ranges.");
    m.def(
        "_correct_stream_fds",
        [](const Filter& f, int inFd, int outFd, unsigned threads, bool progressive) {
            CheckThreads(threads);
            py::gil_scoped_release release;
            return CorrectStreamFds(*f.processor, inFd, outFd, threads, progressive);
        },
        py::arg("filter"), py::arg("in_fd"), py::arg("out_fd"), py::arg("threads") = 1,
        py::arg("progressive") = false);
    m.def(
        "_correct_y4m_range",
        [](const Filter& f, const std::string& input, const std::string& output, uint64_t offset, uint64_t length,
           unsigned threads, bool progressive) {
            CheckThreads(threads);
            py::gil_scoped_release release;
            return CorrectY4mRange(*f.processor, input, output, offset, length, threads, progressive);
        },
        py::arg("filter"), py::arg("input"), py::arg("output"), py::arg("offset"), py::arg("length"),
        py::arg("threads") = 1, py::arg("progressive") = false);
}

} // namespace colorcorrect::python
