// colorcorrect lut: exports a correction as a 3D LUT.

#include <array>
#include <cstdio>
#include <new>

#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/cube_lut.h>
#include <colorcorrect/formats/file_io.h>
#include <colorcorrect/formats/rt_package.h>

#include "command_support.h"
#include "commands.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

constexpr const char* kCommand = "lut";

} // namespace

int RunLut(const LutOptions& o)
{
    try {
        tagCOLORCORRINFO record;
        if (!LoadCorrection(kCommand, o.correction, record))
            return 1;
        std::string error;
        if (o.realTime) {
            if ((record.dwFlags & CC_PRIMARY) == 0)
                std::fprintf(stderr,
                             "%s: %s: note: the primary group is off, but the package carries base's settings "
                             "as they are\n",
                             kCommand, DisplayName(o.correction, "standard input").c_str());
            std::array<uint8_t, kRtPackageBytes> bytes;
            if (!MakeRtPackage(record, bytes, error))
                return Fail(kCommand, error);
            if (!WriteWholeFile(o.output, bytes.data(), bytes.size(), error))
                return Fail(kCommand, DisplayName(o.output, "standard output"), error);
            return 0;
        }
        CorrectionProcessor processor;
        if (!processor.Setup(record, error))
            return Fail(kCommand, DisplayName(o.correction, "standard input"), error);
        CubeLut lut;
        lut.title = o.title.empty() ? CubeTitleForPath(o.correction) : o.title;
        if (!SampleCube(o.cubeSize, processor.Processor(), lut, error))
            return Fail(kCommand, error);
        const std::string text = FormatCube(lut);
        if (!WriteWholeFile(o.output, text.data(), text.size(), error))
            return Fail(kCommand, DisplayName(o.output, "standard output"), error);
        return 0;
    } catch (const std::bad_alloc&) {
        return Fail(kCommand, "not enough memory");
    }
}

} // namespace colorcorrect::cli
