#include "preview_sink.h"

#include <algorithm>
#include <map>
#include <string>

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

bool PreviewSink::Store(const CVoraDib& picture)
{
    try {
        // The worker renders the next preview into the same block: the copy
        // needs one of its own.
        auto copy = std::make_shared<CVoraDib>(picture);
        if (copy->Realloc(0, 0, 24, 0) == 0)
            return false;
        {
            std::lock_guard lock(m_mutex);
            m_latest.sequence += 1;
            m_latest.width = copy->GetWidth();
            m_latest.height = copy->GetHeight();
            m_picture = std::move(copy);
        }
        m_changed.notify_all();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
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
    }
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
        CVoraDib scaled;
        const CVoraDib* source = picture.get();
        if (p.jpegWidth != p.width || p.jpegHeight != p.height) {
            scaled = *picture;
            if (scaled.Realloc(p.jpegWidth, p.jpegHeight, 24, 0) == 0)
                return p;
            source = &scaled;
        }
        RgbImage image;
        std::string error;
        auto jpeg = std::make_shared<std::vector<uint8_t>>();
        if (!YuvPictureToRgbImage(*source, 3, image, error) || !EncodeJpeg(image, kPreviewJpegQuality, *jpeg, error))
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
