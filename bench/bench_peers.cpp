#include "bench_peers.h"

#ifdef COLORCORRECT_BENCH_STREAMS

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/cube_lut.h>
#include <colorcorrect/formats/file_io.h>

#ifdef COLORCORRECT_BENCH_OPENCOLORIO
#include <OpenColorIO/OpenColorIO.h>
#endif

#include "bench_frames.h"
#include "bench_records.h"

namespace colorcorrect::bench {
namespace {

using namespace colorcorrect::formats;

// The same frames as the Process cases (natural content, 24 bits): the YUV
// frame as made, and its RGB picture with the library's conversion, packed
// without row padding as an RGB pipeline holds it.
struct PeerFrames {
    Frame yuv;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> exactRgb; // the look applied to `rgb` as stills are corrected
};

bool LoadLook(tagCOLORCORRINFO& record, std::string& error)
{
    // The suite's `all` case; scripts/peers-compare.sh hands the tools the
    // same look as a correction file, so the two must not drift apart.
    record = AllStagesRecord();
    std::vector<uint8_t> bytes;
    tagCOLORCORRINFO fromFile;
    CorrectionFormat format;
    if (!ReadWholeFile(COLORCORRECT_BENCH_LOOK, kMaxCorrectionFileBytes, bytes, error) ||
        !ParseCorrection(bytes.data(), bytes.size(), fromFile, format, error)) {
        error = std::string(COLORCORRECT_BENCH_LOOK) + ": " + error;
        return false;
    }
    if (std::memcmp(&fromFile, &record, sizeof record) != 0) {
        error = std::string(COLORCORRECT_BENCH_LOOK) + " is not AllStagesRecord(): write it again with CorrectionToJson";
        return false;
    }
    return true;
}

const PeerFrames* FramesOf(int width, int height, const CorrectionProcessor& processor)
{
    static std::map<std::pair<int, int>, std::unique_ptr<PeerFrames>> frames;
    auto& slot = frames[{width, height}];
    if (slot)
        return slot.get();
    auto f = std::make_unique<PeerFrames>();
    f->yuv = MakeFrame(width, height, 24, Content::Natural);
    const size_t rowBytes = size_t(width) * 3;
    f->rgb.resize(rowBytes * size_t(height));
    for (int y = 0; y < height; ++y) {
        const BYTE* p = f->yuv.pixels.data() + f->yuv.stride * size_t(y);
        uint8_t* q = f->rgb.data() + rowBytes * size_t(y);
        for (int x = 0; x < width; ++x, p += 3, q += 3)
            YuvBytesToRgbBytes(p[0], p[1], p[2], q[0], q[1], q[2]);
    }
    f->exactRgb.resize(f->rgb.size());
    const PixelRows in{f->rgb.data(), width, height, 3, rowBytes};
    const PixelRows out{f->exactRgb.data(), width, height, 3, rowBytes};
    if (!processor.ProcessRgbPixels(in, out, 1))
        return nullptr;
    slot = std::move(f);
    return slot.get();
}

void SetRates(benchmark::State& state, const PeerFrames& f)
{
    state.counters["pixels"] = benchmark::Counter(static_cast<double>(f.yuv.Pixels()),
                                                  benchmark::Counter::kIsIterationInvariantRate);
    state.counters["fps"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

// Set-up shared by every case: the look's processor and the frames.
const PeerFrames* Prepare(benchmark::State& state, int width, int height, CorrectionProcessor& processor)
{
    tagCOLORCORRINFO record;
    std::string error;
    if (!LoadLook(record, error) || !processor.Setup(record, error)) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    const PeerFrames* f = FramesOf(width, height, processor);
    if (f == nullptr)
        state.SkipWithError("the RGB frame was not corrected");
    return f;
}

// Stills: RGB to the library's YUV, corrected, back to RGB, on one thread.
void ColorcorrectRgb(benchmark::State& state, int width, int height)
{
    CorrectionProcessor processor;
    const PeerFrames* f = Prepare(state, width, height, processor);
    if (f == nullptr)
        return;
    std::vector<uint8_t> in = f->rgb;
    std::vector<uint8_t> out(in.size());
    const size_t rowBytes = size_t(width) * 3;
    const PixelRows src{in.data(), width, height, 3, rowBytes};
    const PixelRows dst{out.data(), width, height, 3, rowBytes};
    for (auto _ : state) {
        benchmark::DoNotOptimize(processor.ProcessRgbPixels(src, dst, 1));
        benchmark::ClobberMemory();
    }
    SetRates(state, *f);
    state.SetLabel("RGB->YUV, Process, YUV->RGB");
}

// The library's own YUV frame: Process alone.
void ColorcorrectYuv(benchmark::State& state, int width, int height)
{
    CorrectionProcessor processor;
    const PeerFrames* f = Prepare(state, width, height, processor);
    if (f == nullptr)
        return;
    Frame in = f->yuv;
    std::vector<BYTE> out(in.pixels.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(processor.Process(in.header, in.pixels.data(), out.data()));
        benchmark::ClobberMemory();
    }
    SetRates(state, *f);
    state.SetLabel("Process");
}

#ifdef COLORCORRECT_BENCH_OPENCOLORIO

namespace OCIO = OCIO_NAMESPACE;

// Largest and mean absolute difference of each channel from the exact
// result, as counters (max_r, mean_r, ...), and the share of pixels with a
// channel off by more than 2 (off2, in percent).
void SetAccuracy(benchmark::State& state, const std::vector<uint8_t>& got, const std::vector<uint8_t>& exact)
{
    int largest[3] = {0, 0, 0};
    uint64_t sum[3] = {0, 0, 0};
    uint64_t off = 0;
    for (size_t i = 0; i + 2 < got.size(); i += 3) {
        bool far = false;
        for (size_t c = 0; c < 3; ++c) {
            const int d = std::abs(int(got[i + c]) - int(exact[i + c]));
            largest[c] = d > largest[c] ? d : largest[c];
            sum[c] += uint64_t(d);
            far = far || d > 2;
        }
        off += far ? 1 : 0;
    }
    const char* const names[3] = {"r", "g", "b"};
    const double pixels = double(got.size() / 3);
    for (int c = 0; c < 3; ++c) {
        state.counters[std::string("max_") + names[c]] = largest[c];
        state.counters[std::string("mean_") + names[c]] = double(sum[c]) / pixels;
    }
    state.counters["off2"] = 100.0 * double(off) / pixels;
}

// What a pipeline built on OpenColorIO does with an exported look: a
// FileTransform of the .cube, an optimised CPU processor for 8-bit RGB in
// and out, applied to the packed frame on the calling thread.
void OcioCube(benchmark::State& state, int width, int height, int points, OCIO::Interpolation interpolation)
{
    CorrectionProcessor processor;
    const PeerFrames* f = Prepare(state, width, height, processor);
    if (f == nullptr)
        return;
    CubeLut lut;
    std::string error;
    if (!SampleCube(points, processor.Processor(), lut, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    // OpenColorIO reads the table from a file; it caches files by path, so
    // each size gets its own name.
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("colorcorrect-bench-" + std::to_string(getpid()) + "-" +
                                        std::to_string(points) + ".cube");
    {
        std::ofstream file(path, std::ios::binary);
        file << FormatCube(lut);
        if (!file) {
            state.SkipWithError("cannot write the .cube file");
            return;
        }
    }
    try {
        OCIO::ConstConfigRcPtr config = OCIO::Config::CreateRaw();
        OCIO::FileTransformRcPtr transform = OCIO::FileTransform::Create();
        transform->setSrc(path.c_str());
        transform->setInterpolation(interpolation);
        transform->setDirection(OCIO::TRANSFORM_DIR_FORWARD);
        OCIO::ConstCPUProcessorRcPtr cpu = config->getProcessor(transform)->getOptimizedCPUProcessor(
            OCIO::BIT_DEPTH_UINT8, OCIO::BIT_DEPTH_UINT8, OCIO::OPTIMIZATION_DEFAULT);
        std::filesystem::remove(path);
        std::vector<uint8_t> in = f->rgb;
        std::vector<uint8_t> out(in.size());
        const ptrdiff_t rowBytes = ptrdiff_t(width) * 3;
        const OCIO::PackedImageDesc src(in.data(), width, height, OCIO::CHANNEL_ORDERING_RGB,
                                        OCIO::BIT_DEPTH_UINT8, 1, 3, rowBytes);
        OCIO::PackedImageDesc dst(out.data(), width, height, OCIO::CHANNEL_ORDERING_RGB,
                                  OCIO::BIT_DEPTH_UINT8, 1, 3, rowBytes);
        for (auto _ : state) {
            cpu->apply(src, dst);
            benchmark::ClobberMemory();
        }
        SetRates(state, *f);
        SetAccuracy(state, out, f->exactRgb);
        state.SetLabel(std::string("OpenColorIO ") + OCIO::GetVersion() + ", " +
                       OCIO::InterpolationToString(interpolation));
    } catch (const OCIO::Exception& e) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        state.SkipWithError(e.what());
    }
}

#endif

} // namespace

void RegisterPeerBenchmarks()
{
    for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
        const std::string frame = "/natural/" + std::to_string(w) + "x" + std::to_string(h) + "/24";
#ifdef COLORCORRECT_BENCH_OPENCOLORIO
        for (const int points : {33, 65})
            for (const auto& [name, interpolation] :
                 {std::pair{"tetrahedral", OCIO::INTERP_TETRAHEDRAL}, std::pair{"default", OCIO::INTERP_DEFAULT}})
                benchmark::RegisterBenchmark(
                    ("Peers/ocio-cube" + std::to_string(points) + "-" + name + frame).c_str(), OcioCube, w, h,
                    points, interpolation)
                    ->Unit(benchmark::kMillisecond);
#endif
        benchmark::RegisterBenchmark(("Peers/colorcorrect-rgb" + frame).c_str(), ColorcorrectRgb, w, h)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Peers/colorcorrect-yuv" + frame).c_str(), ColorcorrectYuv, w, h)
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace colorcorrect::bench

#else

namespace colorcorrect::bench {
void RegisterPeerBenchmarks() {}
} // namespace colorcorrect::bench

#endif
