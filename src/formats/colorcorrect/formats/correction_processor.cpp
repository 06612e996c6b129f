#include "correction_processor.h"

#include <new>

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

PictureProcessor CorrectionProcessor::Processor() const
{
    return [this](tagYUVBMINFOHEADER& header, BYTE* in, BYTE* out) { return Process(header, in, out); };
}

} // namespace colorcorrect::formats
