// colorcorrect scope: draws one scope display of a picture under a correction.

#include <charconv>
#include <new>
#include <string_view>
#include <vector>

#include <colorcorrect/formats/file_io.h>
#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/scope_render.h>

#include "command_support.h"
#include "commands.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

constexpr const char* kCommand = "scope";

// A whole decimal number, optionally signed, and nothing else.
bool ParseInt(std::string_view text, int& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool ParseAngles(const std::string& text, CubeAngles& angles, std::string& error)
{
    int values[3] = {};
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = text.find(',', start);
        const bool last = i == 2;
        if (last != (comma == std::string::npos) ||
            !ParseInt(std::string_view(text).substr(start, last ? std::string::npos : comma - start), values[i])) {
            error = "--angles '" + text + "': expected three whole numbers of degrees, A,B,G (for example 90,90,-90)";
            return false;
        }
        start = comma + 1;
    }
    angles = {values[0], values[1], values[2]};
    return true;
}

bool ParseIsolate(const std::string& text, ScopeSettings& settings, std::string& error)
{
    const size_t colon = text.find(':');
    int vector = 0, type = 0;
    const bool ok = ParseInt(std::string_view(text).substr(0, colon), vector) &&
                    (colon == std::string::npos || ParseInt(std::string_view(text).substr(colon + 1), type));
    if (!ok || vector < 0 || type < 0) {
        error = "--isolate '" + text + "': expected a match vector number N or N:TYPE (for example 1 or 1:7)";
        return false;
    }
    settings.isolateVector = static_cast<unsigned>(vector);
    settings.isolateType = static_cast<unsigned>(type);
    return true;
}

bool ParseChannel(const std::string& text, unsigned& channel, std::string& error)
{
    static constexpr const char* kNames[] = {"all", "red", "green", "blue", "luma"};
    if (text.empty()) {
        channel = 0;
        return true;
    }
    for (unsigned i = 0; i < 5; ++i)
        if (text == kNames[i]) {
            channel = i;
            return true;
        }
    error = "--channel '" + text + "': expected all, red, green, blue or luma";
    return false;
}

} // namespace

int RunScope(const ScopeOptions& o)
{
    try {
        ScopeSettings settings;
        std::string error;
        const std::optional<ScopeMode> mode = ScopeModeFromName(o.mode);
        if (!mode)
            return Fail(kCommand, "unknown display '" + o.mode +
                                      "': expected vector, waveform, histogram, lightning, cube or combined");
        settings.mode = *mode;
        settings.intensity = o.intensity;
        if (!o.angles.empty()) {
            CubeAngles angles{};
            if (!ParseAngles(o.angles, angles, error))
                return Fail(kCommand, error);
            settings.angles = angles;
        }
        if (!o.isolate.empty() && !ParseIsolate(o.isolate, settings, error))
            return Fail(kCommand, error);
        if (!ParseChannel(o.channel, settings.channel, error))
            return Fail(kCommand, error);
        int fromStdin = 0;
        for (const std::string* path : {&o.correction, &o.input, &o.reference})
            fromStdin += IsStdio(*path) ? 1 : 0;
        if (fromStdin > 1)
            return Fail(kCommand, "only one of the inputs can come from standard input");
        if (IsStdio(o.output) && IsStdio(o.picture))
            return Fail(kCommand, "the display and the picture cannot both go to standard output");

        tagCOLORCORRINFO record = DefaultCorrection();
        if (!o.correction.empty() && !LoadCorrection(kCommand, o.correction, record))
            return 1;
        const std::string problem = ScopeSettingsProblem(record, settings);
        if (!problem.empty()) {
            const std::string file = o.correction.empty() ? std::string() : DisplayName(o.correction, "standard input");
            return file.empty() ? Fail(kCommand, problem) : Fail(kCommand, file, problem);
        }

        CVoraDib source;
        if (!LoadYuvPicture(kCommand, o.input, source))
            return 1;
        CVoraDib reference;
        if (!o.reference.empty() && !LoadYuvPicture(kCommand, o.reference, reference))
            return 1;

        CVoraDib display, corrected;
        if (!RenderScope(record, source, o.reference.empty() ? nullptr : &reference, settings, display, corrected,
                         error))
            return Fail(kCommand, DisplayName(o.input, "standard input"), error);
        source.Free();

        // Encode everything before writing anything, so that a failure
        // leaves no output behind.
        RgbImage image;
        std::vector<uint8_t> displayBytes, pictureBytes;
        if (!RgbPictureToRgbImage(display, image, error))
            return Fail(kCommand, DisplayName(o.output, "standard output"), error);
        if (!EncodeForOutput(kCommand, o.output, image, displayBytes))
            return 1;
        if (!o.picture.empty()) {
            if (!RgbPictureToRgbImage(corrected, image, error))
                return Fail(kCommand, DisplayName(o.picture, "standard output"), error);
            if (!EncodeForOutput(kCommand, o.picture, image, pictureBytes))
                return 1;
        }
        if (!WriteWholeFile(o.output, displayBytes.data(), displayBytes.size(), error))
            return Fail(kCommand, DisplayName(o.output, "standard output"), error);
        if (!o.picture.empty() && !WriteWholeFile(o.picture, pictureBytes.data(), pictureBytes.size(), error))
            return Fail(kCommand, DisplayName(o.picture, "standard output"), error);
        return 0;
    } catch (const std::bad_alloc&) {
        return Fail(kCommand, "not enough memory");
    }
}

} // namespace colorcorrect::cli
