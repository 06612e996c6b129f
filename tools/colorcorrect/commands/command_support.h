#pragma once
// Helpers shared by the subcommands: the one-line error reports and loading
// the correction file.

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/rgb_image.h>

namespace colorcorrect::cli {

// "<command>: <file>: <problem>" on standard error; returns 1. The file is
// shown as "standard input"/"standard output" for "-" when `output` says
// which.
int Fail(const char* command, const std::string& file, const std::string& problem);
int Fail(const char* command, const std::string& problem);

// The name of a file for messages: "-" becomes `stdioName`.
std::string DisplayName(const std::string& path, const char* stdioName);

// Reads and checks a correction file ("-": standard input). On failure the
// message has been written (with the command's name) and false returned.
bool LoadCorrection(const char* command, const std::string& path, tagCOLORCORRINFO& record,
                    formats::CorrectionFormat* format = nullptr);

using formats::kMaxImageFileBytes;

// Reads and decodes a PNG, JPEG or BMP picture ("-": standard input). On
// failure the message has been written and false returned.
bool LoadPicture(const char* command, const std::string& path, formats::RgbImage& image);

// The same, brought to the library's packed YUV (24 bits, or 32 with alpha).
bool LoadYuvPicture(const char* command, const std::string& path, CVoraDib& picture);

// The picture format an output name asks for by its extension, PNG when it
// names none (or for "-").
formats::ImageFormat OutputFormatFor(const std::string& path);

// Encodes an image in the format its name asks for (OutputFormatFor). On
// failure the message has been written and false returned.
bool EncodeForOutput(const char* command, const std::string& path, const formats::RgbImage& image,
                     std::vector<uint8_t>& bytes);

// Encodes and writes an image (see EncodeForOutput); the file appears only
// when complete. On failure the message has been written and false returned.
bool WritePicture(const char* command, const std::string& path, const formats::RgbImage& image);

// Writes a correction file: the binary record when the name ends in .ccr or
// .bin (any case), JSON otherwise (also for "-"). On failure the message has
// been written and false returned.
bool WriteCorrectionFile(const char* command, const std::string& path, const tagCOLORCORRINFO& record);

} // namespace colorcorrect::cli
