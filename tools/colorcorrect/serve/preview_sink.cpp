#include "preview_sink.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/jpeg_codec.h>

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

// Previews are for looking at; a high quality keeps colour edges honest.
constexpr int kPreviewJpegQuality = 90;

struct Registry {
    std::mutex mutex;
    unsigned long next = 1;
    std::map<unsigned long, std::weak_ptr<PreviewSink>> sinks;
};

Registry& Sinks()
{
    static Registry* registry = new Registry; // never destroyed: workers may outlive static destruction
    return *registry;
}

// Adds n bytes of a picture row to n sums. Written in fixed runs of 32 so
// that the compiler makes vector code of it at the usual optimisation level.
void AddRow(uint32_t* __restrict sums, const BYTE* __restrict row, size_t n)
{
    size_t i = 0;
    for (; i + 32 <= n; i += 32)
        for (size_t k = 0; k < 32; ++k)
            sums[i + k] += row[i + k];
    for (; i < n; ++i)
        sums[i] += row[i];
}

// The packed YUV picture `yuv` at dw x dh (smaller) as RGB: each pixel the
// average of the block of whole reduction steps at its place, converted
// once. It reads each source pixel about once, where an exact area average
// of a 4K preview takes some ten times as long; at the reductions a screen
// asks for the two look alike. The rows of a block are summed whole first,
// then each pixel adds up its columns of the sums.
void ShrinkToRgb(const CVoraDib& yuv, int dw, int dh, RgbImage& image)
{
    const int sw = yuv.GetWidth(), sh = yuv.GetHeight();
    const int kx = std::max(1, sw / dw), ky = std::max(1, sh / dh);
    const uint32_t n = uint32_t(kx * ky);
    // Rounded division by n as a multiply and shift: exact while a sum
    // (at most 255 n) stays below 2^32 / n, that is for n below 4096.
    const uint64_t half = n / 2, inverse = ((uint64_t(1) << 32) + n - 1) / n;
    const auto average = [&](uint32_t sum) {
        return BYTE(n < 4096 ? ((sum + half) * inverse) >> 32 : (sum + half) / n);
    };
    unsigned step = 0, stride = 0;
    yuv.GetIncrements(step, stride);
    const BYTE* base = yuv;
    image.Resize(dw, dh, 3);
    const size_t rowBytes = size_t(sw) * step;
    std::vector<uint32_t> sums(rowBytes);
    for (int y = 0; y < dh; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const int top = int(int64_t(y) * sh / dh);
        for (int r = top; r < top + ky; ++r)
            AddRow(sums.data(), base + size_t(sh - 1 - r) * stride, rowBytes); // the picture keeps its bottom row first
        uint8_t* q = image.Row(y);
        for (int x = 0; x < dw; ++x, q += 3) {
            const uint32_t* p = &sums[size_t(int64_t(x) * sw / dw) * step];
            uint32_t s0 = 0, s1 = 0, s2 = 0;
            for (int i = 0; i < kx; ++i, p += step) {
                s0 += p[0];
                s1 += p[1];
                s2 += p[2];
            }
            YuvBytesToRgbBytes(average(s0), average(s1), average(s2), q[0], q[1], q[2]);
        }
    }
}

} // namespace

std::shared_ptr<PreviewSink> PreviewSink::Create()
{
    Registry& registry = Sinks();
    std::lock_guard lock(registry.mutex);
    const unsigned long key = registry.next++;
    std::shared_ptr<PreviewSink> sink(new PreviewSink(key));
    registry.sinks[key] = sink;
    return sink;
}

PreviewSink::~PreviewSink()
{
    Registry& registry = Sinks();
    std::lock_guard lock(registry.mutex);
    registry.sinks.erase(m_key);
}

int PreviewSink::OnViewerPreview(CVoraDib& picture, unsigned long key)
{
    std::shared_ptr<PreviewSink> sink;
    {
        Registry& registry = Sinks();
        std::lock_guard lock(registry.mutex);
        const auto it = registry.sinks.find(key);
        if (it != registry.sinks.end())
            sink = it->second.lock();
    }
    if (sink)
        sink->Store(picture);
    return 1;
}

bool PreviewSink::Store(CVoraDib& picture)
{
    // The preview is taken, not copied, and the worker gets the block shown
    // before back to render the next one into. Copying a 4K preview into new
    // memory took some 30 ms, most of it the first touch of each page. A
    // block that an encoding still reads is not handed back: the worker then
    // makes a new one.
    std::shared_ptr<CVoraDib> taken;
    try {
        taken = std::make_shared<CVoraDib>(std::move(picture));
    } catch (const std::bad_alloc&) {
        return false; // nothing was moved
    }
    if (taken->GetWidth() <= 0 || taken->GetHeight() <= 0) {
        picture = std::move(*taken);
        return false;
    }
    std::shared_ptr<CVoraDib> previous;
    bool handBack = false;
    {
        std::lock_guard lock(m_mutex);
        m_latest.sequence += 1;
        m_latest.width = taken->GetWidth();
        m_latest.height = taken->GetHeight();
        previous = std::exchange(m_picture, std::move(taken));
        // Out of m_picture, no encoding can start on `previous` any more.
        handBack = previous != nullptr && previous.get() != m_reading;
    }
    m_changed.notify_all();
    if (handBack)
        picture = std::move(*previous);
    return true;
}

EncodedPreview PreviewSink::Latest() const
{
    std::lock_guard lock(m_mutex);
    return m_latest;
}

EncodedPreview PreviewSink::Encoded(int maxWidth, int maxHeight)
{
    std::lock_guard encoding(m_encodeMutex);
    EncodedPreview p;
    std::shared_ptr<const CVoraDib> picture;
    {
        std::lock_guard lock(m_mutex);
        p = m_latest;
        picture = m_picture;
        m_reading = picture.get();
    }
    // Told under the lock, so that Store sees every read of the block done
    // before it hands the block back to the worker.
    struct Reading {
        PreviewSink& sink;
        ~Reading()
        {
            std::lock_guard lock(sink.m_mutex);
            sink.m_reading = nullptr;
        }
    } reading{*this};
    if (!picture)
        return p;
    const double scale = std::min({1.0, maxWidth > 0 ? double(maxWidth) / p.width : 1.0,
                                   maxHeight > 0 ? double(maxHeight) / p.height : 1.0});
    p.jpegWidth = std::max(1, int(p.width * scale + 0.5));
    p.jpegHeight = std::max(1, int(p.height * scale + 0.5));
    if (m_encoded.jpeg && m_encoded.sequence == p.sequence && m_encoded.jpegWidth == p.jpegWidth &&
        m_encoded.jpegHeight == p.jpegHeight)
        return m_encoded;
    try {
        RgbImage image;
        std::string error;
        if (p.jpegWidth != p.width || p.jpegHeight != p.height)
            ShrinkToRgb(*picture, p.jpegWidth, p.jpegHeight, image);
        else if (!YuvPictureToRgbImage(*picture, 3, image, error))
            return p;
        auto jpeg = std::make_shared<std::vector<uint8_t>>();
        if (!EncodeJpeg(image, kPreviewJpegQuality, *jpeg, error))
            return p;
        p.jpeg = std::move(jpeg);
        m_encoded = p;
    } catch (const std::bad_alloc&) {
    }
    return p;
}

EncodedPreview PreviewSink::WaitForNewer(uint64_t after, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [&] { return m_closed || m_latest.sequence > after; });
    return m_latest;
}

void PreviewSink::Close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_changed.notify_all();
}

bool PreviewSink::Closed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

} // namespace colorcorrect::cli
