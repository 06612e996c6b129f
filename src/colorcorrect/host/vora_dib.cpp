#include "vora_dib.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "bmp_codec.h"
#include "file_lookup.h"
#include "picture_scale.h"
#include "wide_text.h"
#include "yuv_rgb.h"

using colorcorrect::MAX_PICTURE_BYTES;
using colorcorrect::PICTURE_PIXEL_OFFSET;
using colorcorrect::YUV_COMPRESSION;

namespace {

// Bytes of the block for a picture of this size, or 0 when the size is not
// one this class makes.
uint64_t BlockBytes(int w, int h, int bits)
{
    if (w <= 0 || h <= 0 || (bits != 24 && bits != 32))
        return 0;
    const uint64_t stride = colorcorrect::RowStride(w, bits);
    if (stride > MAX_PICTURE_BYTES || uint64_t(h) > MAX_PICTURE_BYTES / stride)
        return 0;
    const uint64_t total = PICTURE_PIXEL_OFFSET + stride * static_cast<uint64_t>(h);
    return total <= MAX_PICTURE_BYTES ? total : 0;
}

tagDIBINFO* HeaderOf(CPMemory& block)
{
    return reinterpret_cast<tagDIBINFO*>(static_cast<BYTE*>(block));
}

// A new block with a filled-in header and zeroed pixels, or an empty block
// when the size is refused or cannot be allocated.
CPMemory NewBlock(int w, int h, int bits, uint32_t compression, uint32_t flags,
                  uint32_t fieldOrder)
{
    CPMemory block;
    const uint64_t total = BlockBytes(w, h, bits);
    if (total == 0 || block.Realloc(static_cast<unsigned long>(total), 0, 0) == 0)
        return block;
    tagDIBINFO* hd = HeaderOf(block);
    hd->bfType = 0x4D42; // "BM"
    hd->bfSize = static_cast<uint32_t>(total);
    hd->bfOffBits = PICTURE_PIXEL_OFFSET;
    tagYUVBMINFOHEADER& bi = hd->bmiHeader;
    bi.biSize = 40;
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = static_cast<uint16_t>(bits);
    bi.biCompression = compression;
    bi.biSizeImage = static_cast<uint32_t>(total - PICTURE_PIXEL_OFFSET);
    bi.dwFlags = flags;
    bi.dwFieldOrder = fieldOrder;
    return block;
}

// Writes `b0, b1, b2` (and `b3` at 32 bits) into every pixel; padding stays 0.
void FillPixels(CPMemory& block, BYTE b0, BYTE b1, BYTE b2, BYTE b3)
{
    const tagDIBINFO* hd = HeaderOf(block);
    const int w = hd->bmiHeader.biWidth, h = hd->bmiHeader.biHeight;
    const int bits = hd->bmiHeader.biBitCount;
    const unsigned step = bits == 32 ? 4 : 3;
    const uint64_t stride = colorcorrect::RowStride(w, bits);
    BYTE* row = static_cast<BYTE*>(block) + hd->bfOffBits;
    for (int y = 0; y < h; ++y, row += stride) {
        BYTE* p = row;
        for (int x = 0; x < w; ++x, p += step) {
            p[0] = b0;
            p[1] = b1;
            p[2] = b2;
            if (step == 4)
                p[3] = b3;
        }
    }
}

// The layout of a header's pixels when the header describes a picture this
// class could hold, with its pixels within `available` bytes from the header's
// start.
bool PlausibleHeader(const tagDIBINFO* hd, uint64_t available, colorcorrect::PixelLayout& layout)
{
    if (hd == nullptr)
        return false;
    const int w = hd->bmiHeader.biWidth, h = hd->bmiHeader.biHeight;
    const int bits = hd->bmiHeader.biBitCount;
    if (w <= 0 || h <= 0 || (bits != 24 && bits != 32))
        return false;
    const uint64_t stride = colorcorrect::RowStride(w, bits);
    const uint64_t offset = hd->bfOffBits;
    if (offset < sizeof(tagDIBINFO) || stride > MAX_PICTURE_BYTES ||
        uint64_t(h) > MAX_PICTURE_BYTES / stride ||
        offset + stride * static_cast<uint64_t>(h) > available)
        return false;
    layout = {w, h, bits, stride};
    return true;
}

} // namespace

// ---- header access --------------------------------------------------------

CVoraDib::operator const tagDIBINFO*() const
{
    const unsigned long size = m_Memory.GetSize();
    if (size < sizeof(tagDIBINFO))
        return nullptr;
    const tagDIBINFO* hd = reinterpret_cast<const tagDIBINFO*>(static_cast<const BYTE*>(m_Memory));
    colorcorrect::PixelLayout layout;
    return PlausibleHeader(hd, size, layout) ? hd : nullptr;
}

CVoraDib::operator tagDIBINFO*()
{
    return const_cast<tagDIBINFO*>(static_cast<const tagDIBINFO*>(std::as_const(*this)));
}

CVoraDib::operator const BYTE*() const
{
    const tagDIBINFO* hd = *this;
    return hd == nullptr ? nullptr : reinterpret_cast<const BYTE*>(hd) + hd->bfOffBits;
}

CVoraDib::operator BYTE*()
{
    return const_cast<BYTE*>(static_cast<const BYTE*>(std::as_const(*this)));
}

int CVoraDib::GetWidth() const
{
    const tagDIBINFO* hd = *this;
    return hd == nullptr ? 0 : hd->bmiHeader.biWidth;
}

int CVoraDib::GetHeight() const
{
    const tagDIBINFO* hd = *this;
    return hd == nullptr ? 0 : hd->bmiHeader.biHeight;
}

void CVoraDib::GetIncrements(unsigned& pixel, unsigned& line) const
{
    const tagDIBINFO* hd = *this;
    if (hd == nullptr) {
        pixel = 0;
        line = 0;
        return;
    }
    const int bits = hd->bmiHeader.biBitCount;
    pixel = bits == 32 ? 4u : 3u;
    line = static_cast<unsigned>(colorcorrect::RowStride(hd->bmiHeader.biWidth, bits));
}

void CVoraDib::Free()
{
    m_Memory.Free();
}

// ---- making pictures -------------------------------------------------------

int CVoraDib::Alloc(int w, int h, int bits, unsigned long flags)
{
    CPMemory block = NewBlock(w, h, bits, 0, static_cast<uint32_t>(flags), 0);
    if (static_cast<BYTE*>(block) == nullptr)
        return 0;
    FillPixels(block, 0, 0, 0, 255);
    m_Memory = std::move(block);
    return 1;
}

int CVoraDib::AllocYUV(int w, int h, int bits, unsigned long flags)
{
    CPMemory block = NewBlock(w, h, bits, YUV_COMPRESSION, static_cast<uint32_t>(flags), 0);
    if (static_cast<BYTE*>(block) == nullptr)
        return 0;
    FillPixels(block, 0, 128, 128, 255);
    m_Memory = std::move(block);
    return 1;
}

int CVoraDib::SetDIB(const tagDIBINFO* src, int w, int h, int bits, unsigned long flags)
{
    colorcorrect::PixelLayout from;
    if (src == nullptr || !PlausibleHeader(src, src->bfSize, from))
        return 0;
    const uint32_t compression = src->bmiHeader.biCompression;
    if (compression != 0 && compression != YUV_COMPRESSION)
        return 0;
    if (w == 0 && h == 0) {
        w = from.width;
        h = from.height;
    }
    CPMemory block = NewBlock(w, h, bits, compression, static_cast<uint32_t>(flags),
                              src->bmiHeader.dwFieldOrder);
    if (static_cast<BYTE*>(block) == nullptr)
        return 0;
    const colorcorrect::PixelLayout to{w, h, bits, colorcorrect::RowStride(w, bits)};
    try {
        colorcorrect::ScalePixels(reinterpret_cast<const BYTE*>(src) + src->bfOffBits, from,
                                  static_cast<BYTE*>(block) + PICTURE_PIXEL_OFFSET, to);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    // `src` may lie in the block being replaced: it is not read after this.
    m_Memory = std::move(block);
    return 1;
}

int CVoraDib::Realloc(int w, int h, int bits, unsigned long flags)
{
    const tagDIBINFO* hd = *this;
    if (hd == nullptr)
        return 0;
    return SetDIB(hd, w, h, bits, flags);
}

CVoraDib CVoraDib::GetDIB(int x, int y, int w, int h) const
{
    CVoraDib part;
    const tagDIBINFO* hd = *this;
    if (hd == nullptr || w <= 0 || h <= 0)
        return part;
    const int64_t width = hd->bmiHeader.biWidth, height = hd->bmiHeader.biHeight;
    const int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(int64_t{x} + w, width);
    const int64_t y0 = std::max<int64_t>(y, 0), y1 = std::min<int64_t>(int64_t{y} + h, height);
    if (x1 <= x0 || y1 <= y0)
        return part;
    const int bits = hd->bmiHeader.biBitCount;
    const int pw = static_cast<int>(x1 - x0), ph = static_cast<int>(y1 - y0);
    CPMemory block = NewBlock(pw, ph, bits, hd->bmiHeader.biCompression, hd->bmiHeader.dwFlags,
                              hd->bmiHeader.dwFieldOrder);
    if (static_cast<BYTE*>(block) == nullptr)
        return part;
    const unsigned step = bits == 32 ? 4 : 3;
    const uint64_t srcStride = colorcorrect::RowStride(static_cast<int>(width), bits);
    const uint64_t dstStride = colorcorrect::RowStride(pw, bits);
    const BYTE* srcPixels = static_cast<const BYTE*>(*this);
    BYTE* dstPixels = static_cast<BYTE*>(block) + PICTURE_PIXEL_OFFSET;
    // Memory row r of the part (0 = its bottom) is picture row y1 - 1 - r from
    // the top, that is storage row height - y1 + r of this picture.
    for (int r = 0; r < ph; ++r) {
        const BYTE* s = srcPixels + static_cast<uint64_t>(height - y1 + r) * srcStride +
                        static_cast<uint64_t>(x0) * step;
        std::memcpy(dstPixels + r * dstStride, s, size_t{step} * static_cast<unsigned>(pw));
    }
    part.m_Memory = std::move(block);
    return part;
}

int CVoraDib::ToYUV()
{
    tagDIBINFO* hd = *this;
    if (hd == nullptr)
        return 0;
    tagYUVBMINFOHEADER& bi = hd->bmiHeader;
    if (bi.biCompression == YUV_COMPRESSION)
        return 1;
    if (bi.biCompression != 0)
        return 0;
    unsigned step = 0, stride = 0;
    GetIncrements(step, stride);
    const int w = bi.biWidth, h = bi.biHeight;
    BYTE* row = static_cast<BYTE*>(*this);
    for (int y = 0; y < h; ++y, row += stride) {
        BYTE* p = row;
        for (int x = 0; x < w; ++x, p += step)
            colorcorrect::RgbBytesToYuvBytes(p[2], p[1], p[0], p[0], p[1], p[2]);
    }
    bi.biCompression = YUV_COMPRESSION;
    return 1;
}

// ---- files -------------------------------------------------------------------

namespace {

// Files larger than any picture this class may hold plus generous room for
// headers and palettes are refused without reading them.
constexpr uint64_t kMaxFileBytes = MAX_PICTURE_BYTES + (uint64_t{1} << 20);

bool ReadWholeFile(const std::string& path, std::vector<BYTE>& data)
{
    // Not blocking: a named pipe in the file's place must not hang the caller;
    // it is refused below as not a regular file.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              static_cast<uint64_t>(st.st_size) <= kMaxFileBytes;
    if (ok)
        data.resize(static_cast<size_t>(st.st_size)); // may throw std::bad_alloc
    size_t done = 0;
    while (ok && done < data.size()) {
        const ssize_t n = read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false; // an error, or the file shrank while being read
        else
            done += static_cast<size_t>(n);
    }
    close(fd);
    return ok;
}

bool WriteAll(int fd, const BYTE* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

int CVoraDib::LoadFromFile(const wchar_t* path, int w, int h, int bits, unsigned long flags)
{
    if (path == nullptr || (bits != 24 && bits != 32))
        return 0;
    if (!(w == 0 && h == 0) && (w <= 0 || h <= 0))
        return 0;
    CVoraDib picture;
    try {
        const std::string name =
            colorcorrect::FindFileCaseInsensitive(colorcorrect::Utf8FromWide(path));
        std::vector<BYTE> data;
        if (name.empty() || !ReadWholeFile(name, data))
            return 0;
        if (colorcorrect::LoadBmpFromMemory(picture, data.data(), data.size(), bits) == 0)
            return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (w == 0 && h == 0) {
        static_cast<tagDIBINFO*>(picture)->bmiHeader.dwFlags = static_cast<uint32_t>(flags);
    } else if (picture.SetDIB(picture, w, h, bits, flags) == 0) {
        return 0;
    }
    *this = std::move(picture);
    return 1;
}

int CVoraDib::SaveToFile(const wchar_t* path) const
{
    std::vector<BYTE> file;
    std::string target, temporary;
    try {
        file = colorcorrect::EncodeBmp(*this);
        if (path != nullptr)
            target = colorcorrect::Utf8FromWide(path);
        temporary = target + ".XXXXXX";
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (file.empty() || target.empty())
        return 0;
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return 0;
    bool ok = fchmod(fd, 0644) == 0 && WriteAll(fd, file.data(), file.size());
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        unlink(temporary.c_str());
    return ok ? 1 : 0;
}
