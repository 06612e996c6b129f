#include "command_support.h"

#include <cstdio>
#include <vector>

#include <colorcorrect/formats/file_io.h>

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

std::string DisplayName(const std::string& path, const char* stdioName)
{
    return IsStdio(path) ? std::string(stdioName) : path;
}

int Fail(const char* command, const std::string& file, const std::string& problem)
{
    std::fprintf(stderr, "%s: %s: %s\n", command, file.c_str(), problem.c_str());
    return 1;
}

int Fail(const char* command, const std::string& problem)
{
    std::fprintf(stderr, "%s: %s\n", command, problem.c_str());
    return 1;
}

bool LoadCorrection(const char* command, const std::string& path, tagCOLORCORRINFO& record,
                    CorrectionFormat* format)
{
    const std::string shown = DisplayName(path, "standard input");
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, kMaxCorrectionFileBytes, bytes, error)) {
        Fail(command, shown, error);
        return false;
    }
    CorrectionFormat found = CorrectionFormat::Json;
    if (!ParseCorrection(bytes.data(), bytes.size(), record, found, error)) {
        Fail(command, shown, error);
        return false;
    }
    if (format != nullptr)
        *format = found;
    return true;
}

bool LoadPicture(const char* command, const std::string& path, RgbImage& image)
{
    std::string error;
    if (!ReadImageFile(path, image, error)) {
        Fail(command, DisplayName(path, "standard input"), error);
        return false;
    }
    return true;
}

bool LoadYuvPicture(const char* command, const std::string& path, CVoraDib& picture)
{
    RgbImage image;
    if (!LoadPicture(command, path, image))
        return false;
    std::string error;
    if (!RgbImageToYuvPicture(image, picture, error)) {
        Fail(command, DisplayName(path, "standard input"), error);
        return false;
    }
    return true;
}

ImageFormat OutputFormatFor(const std::string& path)
{
    if (IsStdio(path))
        return ImageFormat::Png;
    return ImageFormatFromPath(path).value_or(ImageFormat::Png);
}

bool EncodeForOutput(const char* command, const std::string& path, const RgbImage& image,
                     std::vector<uint8_t>& bytes)
{
    std::string error;
    if (!EncodeImage(image, OutputFormatFor(path), EncodeOptions{}, bytes, error)) {
        Fail(command, DisplayName(path, "standard output"), error);
        return false;
    }
    return true;
}

bool WritePicture(const char* command, const std::string& path, const RgbImage& image)
{
    std::vector<uint8_t> bytes;
    if (!EncodeForOutput(command, path, image, bytes))
        return false;
    std::string error;
    if (!WriteWholeFile(path, bytes.data(), bytes.size(), error)) {
        Fail(command, DisplayName(path, "standard output"), error);
        return false;
    }
    return true;
}

bool WriteCorrectionFile(const char* command, const std::string& path, const tagCOLORCORRINFO& record)
{
    const std::string shown = DisplayName(path, "standard output");
    const std::string problem = CheckCorrection(record);
    if (!problem.empty()) {
        Fail(command, shown, "the correction cannot be written: " + problem);
        return false;
    }
    std::string error;
    bool written = false;
    if (CorrectionFormatForPath(path) == CorrectionFormat::Binary) {
        const auto bytes = CorrectionToBinary(record);
        written = WriteWholeFile(path, bytes.data(), bytes.size(), error);
    } else {
        const std::string text = CorrectionToJson(record);
        written = WriteWholeFile(path, text.data(), text.size(), error);
    }
    if (!written) {
        Fail(command, shown, error);
        return false;
    }
    return true;
}

} // namespace colorcorrect::cli
