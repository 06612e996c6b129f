#include "jpeg_codec.h"

#include <turbojpeg.h>

#include <new>

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

} // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, RgbImage& image, std::string& error) noexcept
{
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
        if (const char* problem = ImageSizeProblem(static_cast<uint64_t>(width), static_cast<uint64_t>(height))) {
            error = problem;
            return false;
        }
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
        out.assign(buffer, buffer + length);
        return true;
    });
}

} // namespace colorcorrect::formats
