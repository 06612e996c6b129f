// A program outside the project, built against the installed formats library:
// both umbrella headers, a correction file round trip and a picture through
// each encoder (the codecs come from the consumer's own link).
#include <colorcorrect/colorcorrect.h>
#include <colorcorrect/formats.h>

#include <cstdio>
#include <string>
#include <vector>

namespace fmt = colorcorrect::formats;

int main()
{
    const tagCOLORCORRINFO start = fmt::DefaultCorrection();
    const std::string json = fmt::CorrectionToJson(start);
    tagCOLORCORRINFO back;
    fmt::CorrectionFormat format;
    std::string error;
    if (!fmt::ParseCorrection(json.data(), json.size(), back, format, error) ||
        format != fmt::CorrectionFormat::Json || !back.IsDefault()) {
        std::printf("correction round trip failed: %s\n", error.c_str());
        return 1;
    }

    fmt::RgbImage image;
    image.width = 3;
    image.height = 2;
    image.channels = 3;
    image.pixels.assign(image.RowBytes() * 2, 200);
    for (fmt::ImageFormat f : {fmt::ImageFormat::Png, fmt::ImageFormat::Jpeg, fmt::ImageFormat::Bmp}) {
        std::vector<uint8_t> bytes;
        fmt::RgbImage decoded;
        if (!fmt::EncodeImage(image, f, {}, bytes, error) || !fmt::DecodeImage(bytes.data(), bytes.size(), decoded, error) ||
            decoded.width != 3 || decoded.height != 2) {
            std::printf("%s round trip failed: %s\n", fmt::ImageFormatName(f), error.c_str());
            return 1;
        }
    }
    std::puts("formats consumer ok");
    return 0;
}
