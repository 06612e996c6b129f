#include "correction_processor.h"

#include <new>

#include "image_io.h"
#include "rgb_rows.h"

namespace colorcorrect::formats {

ChromaRange OutputChromaRange(const tagCOLORCORRINFO& record)
{
    const int limit = colorcorrect::OutputLevelsOf(record).chromaLimit;
    return {128 - limit, 128 + limit};
}

CorrectionProcessor::CorrectionProcessor() = default;
CorrectionProcessor::~CorrectionProcessor() = default;

bool CorrectionProcessor::Setup(const tagCOLORCORRINFO& record, std::string& error)
{
    try {
        // The filter holds tens of kilobytes of tables: keep it off the stack.
        auto filter = std::make_unique<CBaseColorCorrectionFilter>();
        if (!filter->SetupFilter(record)) {
            error = "the correction engine refused the correction (bad sizes, or no memory for its tables)";
            return false;
        }
        m_filter = std::move(filter);
        m_range = OutputChromaRange(record);
        return true;
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the correction engine";
        return false;
    }
}

bool CorrectionProcessor::Process(tagYUVBMINFOHEADER& header, BYTE* in, BYTE* out) const
{
    // Process only reads the filter; it is declared non-const in the
    // engine's interface.
    return m_filter != nullptr && m_filter->Process(&header, in, out) != 0;
}

bool CorrectionProcessor::ProcessInBands(tagYUVBMINFOHEADER& header, BYTE* in, BYTE* out,
                                         unsigned threads) const
{
    if (m_filter == nullptr)
        return false;
    BandProcessor bands(threads);
    return bands.Process(*m_filter, &header, in, out) != 0;
}

namespace {

bool SameGeometry(const PixelRows& a, const PixelRows& b)
{
    const size_t used = size_t(a.width) * size_t(a.channels);
    return a.data != nullptr && b.data != nullptr && a.width > 0 && a.height > 0 &&
           (a.channels == 3 || a.channels == 4) && a.width == b.width && a.height == b.height &&
           a.channels == b.channels && a.rowBytes >= used && b.rowBytes >= used;
}

// A header for one row of packed YUV pixels: a caller's rows are not padded
// the way the engine's pictures are, so each row goes through as a picture
// of its own (the correction is per pixel, so the bytes are the same).
tagYUVBMINFOHEADER RowHeader(int width, int channels)
{
    tagYUVBMINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = 1;
    h.biPlanes = 1;
    h.biBitCount = static_cast<uint16_t>(channels * 8);
    h.biCompression = YUV_COMPRESSION;
    h.biSizeImage = static_cast<uint32_t>(RowStride(width, channels * 8));
    return h;
}

// Runs row(y) for every row, on `threads` threads (0: one per core).
template <typename Row>
void ForEachRow(int height, unsigned threads, Row row)
{
    if (threads == 1 || height < 16) {
        for (int y = 0; y < height; ++y)
            row(y);
        return;
    }
    BandProcessor bands(threads);
    bands.ForEachBand(size_t(height), 8, [&](size_t first, size_t count) {
        for (size_t y = first; y < first + count; ++y)
            row(int(y));
    });
}

} // namespace

bool CorrectionProcessor::ProcessPixels(const PixelRows& in, const PixelRows& out, unsigned threads) const
{
    if (m_filter == nullptr || !SameGeometry(in, out))
        return false;
    CBaseColorCorrectionFilter& filter = *m_filter;
    ForEachRow(in.height, threads, [&](int y) {
        tagYUVBMINFOHEADER header = RowHeader(in.width, in.channels);
        filter.ProcessRows(&header, in.data + in.rowBytes * size_t(y), out.data + out.rowBytes * size_t(y), 0, 1);
    });
    return true;
}

bool CorrectionProcessor::ProcessRgbPixels(const PixelRows& in, const PixelRows& out, unsigned threads) const
{
    if (m_filter == nullptr || !SameGeometry(in, out))
        return false;
    CBaseColorCorrectionFilter& filter = *m_filter;
    const int c = in.channels;
    ForEachRow(in.height, threads, [&](int y) {
        const uint8_t* p = in.data + in.rowBytes * size_t(y);
        uint8_t* row = out.data + out.rowBytes * size_t(y);
        const size_t step = size_t(c), width = size_t(in.width);
        if (p == row)
            RgbRowToYuvInPlace(row, step, width);
        else
            RgbRowToYuv(p, step, row, step, width);
        tagYUVBMINFOHEADER header = RowHeader(in.width, c);
        filter.ProcessRows(&header, row, row, 0, 1);
        YuvRowToRgbInPlace(row, step, width);
    });
    return true;
}

bool CorrectionProcessor::ProcessImage(RgbImage& image, unsigned threads) const
{
    if (!image.Valid())
        return false;
    const PixelRows rows{image.pixels.data(), image.width, image.height, image.channels, image.RowBytes()};
    return ProcessRgbPixels(rows, rows, threads);
}

PipelineResult CorrectionProcessor::ProcessStream(Y4mReader& reader, Y4mWriter& writer, PipelineOptions options) const
{
    options.chromaLo = m_range.lo;
    options.chromaHi = m_range.hi;
    return RunStreamPipeline(reader, writer, Processor(), options);
}

PictureProcessor CorrectionProcessor::Processor() const
{
    return [this](tagYUVBMINFOHEADER& header, BYTE* in, BYTE* out) { return Process(header, in, out); };
}

} // namespace colorcorrect::formats
