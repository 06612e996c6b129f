#include "jpeg_codec.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "codec_guard.h"

namespace colorcorrect::formats {

namespace {

struct Handle {
    tjhandle h;
    ~Handle()
    {
        if (h != nullptr)
            tjDestroy(h);
    }
};

std::string TjMessage(tjhandle h)
{
    const char* text = tjGetErrorStr2(h);
    return text != nullptr ? text : "unknown error";
}

// An ICC profile travels in APP2 segments that start with this name, then the
// chunk's number and the number of chunks (each from 1).
constexpr char kIccName[] = "ICC_PROFILE";
constexpr size_t kIccHeader = sizeof kIccName + 2;   // name, its NUL, number, count
constexpr size_t kIccChunk = 65535 - 2 - kIccHeader; // profile bytes a segment holds

// The profile of a JPEG file, put together from its chunks; empty when there
// is none or its chunks do not make up one profile (which is then dropped).
std::vector<uint8_t> ReadIccProfile(const uint8_t* data, size_t size)
{
    std::vector<std::vector<uint8_t>> chunks;
    size_t pos = 2; // after SOI
    while (pos + 4 <= size && data[pos] == 0xFF) {
        const uint8_t marker = data[pos + 1];
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            break;
        const size_t length = size_t(data[pos + 2]) << 8 | data[pos + 3];
        if (length < 2 || pos + 2 + length > size)
            break;
        const uint8_t* body = data + pos + 4;
        if (marker == 0xE2 && length - 2 > kIccHeader && std::memcmp(body, kIccName, sizeof kIccName) == 0) {
            const unsigned number = body[sizeof kIccName], count = body[sizeof kIccName + 1];
            if (number == 0 || number > count || (!chunks.empty() && chunks.size() != count))
                return {};
            chunks.resize(count);
            chunks[number - 1].assign(body + kIccHeader, body + (length - 2));
        }
        pos += 2 + length;
    }
    std::vector<uint8_t> profile;
    for (const std::vector<uint8_t>& chunk : chunks) {
        if (chunk.empty())
            return {};
        profile.insert(profile.end(), chunk.begin(), chunk.end());
    }
    return profile;
}

// `jpeg` with the profile's APP2 segments inserted after SOI and the JFIF
// segment (which must stay first).
std::vector<uint8_t> WithIccProfile(const uint8_t* jpeg, size_t size, const std::vector<uint8_t>& icc)
{
    size_t at = 2;
    if (size >= 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0)
        at = 4 + (size_t(jpeg[4]) << 8 | jpeg[5]);
    const size_t count = (icc.size() + kIccChunk - 1) / kIccChunk;
    std::vector<uint8_t> out(jpeg, jpeg + std::min(at, size));
    for (size_t i = 0; i < count; ++i) {
        const size_t n = std::min(kIccChunk, icc.size() - i * kIccChunk);
        const size_t length = 2 + kIccHeader + n;
        out.insert(out.end(), {0xFF, 0xE2, uint8_t(length >> 8), uint8_t(length)});
        out.insert(out.end(), kIccName, kIccName + sizeof kIccName);
        out.insert(out.end(), {uint8_t(i + 1), uint8_t(count)});
        out.insert(out.end(), icc.begin() + std::ptrdiff_t(i * kIccChunk), icc.begin() + std::ptrdiff_t(i * kIccChunk + n));
    }
    out.insert(out.end(), jpeg + std::min(at, size), jpeg + size);
    return out;
}

} // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, RgbImage& image, std::string& error, uint64_t maxPixels,
               bool* tooLarge) noexcept
{
    if (tooLarge != nullptr)
        *tooLarge = false;
    return GuardCodec(error, CodecStep::Reading, "JPEG", [&] {
        if (data == nullptr || size == 0) {
            error = "empty JPEG file";
            return false;
        }
        Handle d{tjInitDecompress()};
        if (d.h == nullptr) {
            error = "cannot start the JPEG decoder";
            return false;
        }
        int width = 0, height = 0, subsamp = 0, colorspace = 0;
        if (tjDecompressHeader3(d.h, data, static_cast<unsigned long>(size), &width, &height, &subsamp,
                                &colorspace) != 0) {
            error = "damaged JPEG: " + TjMessage(d.h);
            return false;
        }
        if (width <= 0 || height <= 0) {
            error = "damaged JPEG: no picture size";
            return false;
        }
        if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) {
            error = "CMYK JPEG files are not supported: convert the picture to RGB first";
            return false;
        }
        error = ImageSizeProblem(uint64_t(width), uint64_t(height), maxPixels, tooLarge);
        if (!error.empty())
            return false;
        RgbImage result;
        result.Resize(width, height, 3);
        // Warnings (a truncated file, corrupt data) stop decoding as well;
        // LIMITSCANS refuses progressive files built to take forever.
        const int flags = TJFLAG_ACCURATEDCT | TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
        if (tjDecompress2(d.h, data, static_cast<unsigned long>(size), result.pixels.data(), width, 0,
                          height, TJPF_RGB, flags) != 0) {
            error = "damaged JPEG: " + TjMessage(d.h);
            return false;
        }
        result.icc = ReadIccProfile(data, size);
        image = std::move(result);
        return true;
    });
}

bool EncodeJpeg(const RgbImage& image, int quality, std::vector<uint8_t>& out,
                std::string& error) noexcept
{
    return GuardCodec(error, CodecStep::Writing, "JPEG", [&] {
        if (!image.Valid()) {
            error = "no picture to write";
            return false;
        }
        if (quality < 1 || quality > 100) {
            error = "JPEG quality must be 1..100";
            return false;
        }
        Handle c{tjInitCompress()};
        if (c.h == nullptr) {
            error = "cannot start the JPEG encoder";
            return false;
        }
        unsigned char* buffer = nullptr;
        unsigned long length = 0;
        const int format = image.channels == 4 ? TJPF_RGBA : TJPF_RGB;
        if (tjCompress2(c.h, image.pixels.data(), image.width, 0, image.height, format, &buffer, &length,
                        TJSAMP_444, quality, TJFLAG_ACCURATEDCT) != 0) {
            tjFree(buffer);
            error = "cannot encode JPEG: " + TjMessage(c.h);
            return false;
        }
        struct Free {
            unsigned char* p;
            ~Free() { tjFree(p); }
        } release{buffer};
        // At most 255 chunks fit the numbering; a larger profile is left out.
        if (!image.icc.empty() && image.icc.size() <= 255 * kIccChunk)
            out = WithIccProfile(buffer, length, image.icc);
        else
            out.assign(buffer, buffer + length);
        return true;
    });
}

} // namespace colorcorrect::formats
