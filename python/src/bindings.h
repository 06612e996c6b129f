#pragma once
// Shared pieces of the Python bindings: the correction object the Python
// classes wrap, and the checks that turn a caller's NumPy array into pixels
// the formats library can use in place.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>

#include <colorcorrect/formats.h>

namespace colorcorrect::python {

namespace py = pybind11;

// A correction record shared by a Correction and the views of its groups
// (look.base, look.vector6.red, look.match.vectors[3], ...), so that a view
// outlives neither its record nor a copy of it.
struct Correction {
    std::shared_ptr<tagCOLORCORRINFO> record = std::make_shared<tagCOLORCORRINFO>(formats::DefaultCorrection());
    std::string path; // the file it was loaded from; empty: none
};

// An H x W x 3 or 4 uint8 C-contiguous array, checked. `data` points into
// the array, which `array` keeps alive.
struct PixelArray {
    py::array array;
    formats::PixelRows rows;
};

// Checks `object` as a picture array; ValueError naming `what` and what was
// expected otherwise. `writable`: the array is written to.
PixelArray CheckPixels(const py::handle& object, const char* what, bool writable);

// Raises OSError (a file could not be read or written).
[[noreturn]] void ThrowOSError(const std::string& message);

// A new H x W x C uint8 array.
PixelArray NewPixels(int height, int width, int channels);

// An array holding a copy of the image's pixels.
py::array ImageToArray(const formats::RgbImage& image);

void BindCorrection(py::module_& m);

// YUV4MPEG2 streams, corrected as `colorcorrect apply` corrects them. Both
// raise ValueError with the failure's message; they return the frames
// written.
// A whole stream from one descriptor to another (pipes included).
uint64_t CorrectStreamFds(const formats::CorrectionProcessor& processor, int inFd, int outFd, unsigned threads,
                          bool progressive);
// The frames in bytes [offset, offset + length) of a stream file whose
// frames all have the same size (see Y4mLayout), written to the same bytes
// of `output`, which must exist: a clip cut into ranges is corrected range
// by range, in any order and on any machine, into one file.
uint64_t CorrectY4mRange(const formats::CorrectionProcessor& processor, const std::string& input,
                         const std::string& output, uint64_t offset, uint64_t length, unsigned threads,
                         bool progressive);
// {"header": the header line, "frame_bytes": bytes a frame takes with its
// FRAME line, "frames": count, "uniform": whether every frame line is a
// bare "FRAME" and the header is written back as it was read, so that the
// stream can be cut into byte ranges}.
py::dict Y4mLayout(const std::string& path);

} // namespace colorcorrect::python
