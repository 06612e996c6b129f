// colorcorrect info: a readable summary of a correction.

#include <cstdio>
#include <new>

#include <colorcorrect/formats/correction_summary.h>

#include "command_support.h"
#include "commands.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

int RunInfo(const InfoOptions& o)
{
    try {
        tagCOLORCORRINFO record;
        CorrectionFormat format = CorrectionFormat::Json;
        if (!LoadCorrection("info", o.correction, record, &format))
            return 1;
        std::string text = DisplayName(o.correction, "standard input") + ": " +
                           (format == CorrectionFormat::Json
                                ? "correction file (JSON, version " + std::to_string(kCorrectionFormatVersion) + ")"
                                : std::string("correction record (binary, 564 bytes)")) +
                           "\n" + DescribeCorrection(record);
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
            return Fail("info", "standard output", "write failed");
        return 0;
    } catch (const std::bad_alloc&) {
        return Fail("info", "not enough memory");
    }
}

} // namespace colorcorrect::cli
