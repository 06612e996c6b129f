#include "preview_sink.h"

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
        RgbImage image;
        std::string error;
        if (!YuvPictureToRgbImage(picture, 3, image, error))
            return false;
        auto jpeg = std::make_shared<std::vector<uint8_t>>();
        if (!EncodeJpeg(image, kPreviewJpegQuality, *jpeg, error))
            return false;
        {
            std::lock_guard lock(m_mutex);
            m_latest.sequence += 1;
            m_latest.width = image.width;
            m_latest.height = image.height;
            m_latest.jpeg = std::move(jpeg);
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
