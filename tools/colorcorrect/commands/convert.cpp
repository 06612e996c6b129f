// colorcorrect convert: JSON correction file <-> binary correction record.

#include <new>
#include <string_view>

#include <colorcorrect/formats/file_io.h>

#include "command_support.h"
#include "commands.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

constexpr const char* kCommand = "convert";

bool EndsWith(std::string_view text, std::string_view tail)
{
    if (text.size() < tail.size())
        return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        char c = text[text.size() - tail.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != tail[i])
            return false;
    }
    return true;
}

} // namespace

int RunConvert(const ConvertOptions& o)
{
    try {
        tagCOLORCORRINFO record;
        CorrectionFormat from = CorrectionFormat::Json;
        if (!LoadCorrection(kCommand, o.input, record, &from))
            return 1;
        CorrectionFormat to = from == CorrectionFormat::Json ? CorrectionFormat::Binary : CorrectionFormat::Json;
        if (o.to == CorrectionFormatChoice::Json)
            to = CorrectionFormat::Json;
        else if (o.to == CorrectionFormatChoice::Binary)
            to = CorrectionFormat::Binary;
        else if (EndsWith(o.output, ".json"))
            to = CorrectionFormat::Json;
        else if (EndsWith(o.output, ".ccr") || EndsWith(o.output, ".bin"))
            to = CorrectionFormat::Binary;

        std::string error;
        bool written = false;
        if (to == CorrectionFormat::Json) {
            const std::string text = CorrectionToJson(record);
            written = WriteWholeFile(o.output, text.data(), text.size(), error);
        } else {
            const auto bytes = CorrectionToBinary(record);
            written = WriteWholeFile(o.output, bytes.data(), bytes.size(), error);
        }
        if (!written)
            return Fail(kCommand, DisplayName(o.output, "standard output"), error);
        return 0;
    } catch (const std::bad_alloc&) {
        return Fail(kCommand, "not enough memory");
    }
}

} // namespace colorcorrect::cli
